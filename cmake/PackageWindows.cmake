# What a Windows user downloads, made by cpack in the Windows build: a portable ZIP and an
# installer (NSIS, makensis from Debian's nsis). Both hold the two programs, the guide, a
# short text for the Windows user (packaging/windows/README.txt, not the developer's README)
# and the licence, in one folder:
#
#   treadle.exe  treadlectl.exe  README.txt  LICENSE.txt  docs\guide.html (and guide.zh.html, and the pictures
#   both show)
#
# The files go into a component of their own, so the other install rules (man page, udev rule,
# shell completion: Linux's) stay out of the Windows packages.
set(TREADLE_WINDOWS_COMPONENT windows)
install(TARGETS treadle treadlectl RUNTIME DESTINATION . COMPONENT ${TREADLE_WINDOWS_COMPONENT})
# With Windows line ends, for any editor a Windows user opens it with.
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt ${CMAKE_BINARY_DIR}/windows-package/README.txt
    @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/windows-package/README.txt DESTINATION . COMPONENT ${TREADLE_WINDOWS_COMPONENT})
include(${PROJECT_SOURCE_DIR}/cmake/GuideFiles.cmake)
foreach(guide IN LISTS TREADLE_GUIDE_FILES)
    get_filename_component(folder ${guide} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/docs/${guide} DESTINATION docs/${folder} COMPONENT ${TREADLE_WINDOWS_COMPONENT})
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT ${TREADLE_WINDOWS_COMPONENT})

set(CPACK_GENERATOR "ZIP;NSIS")
set(CPACK_PACKAGE_NAME "Treadle")
set(CPACK_PACKAGE_VENDOR "Treadle")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Programs a four-pedal USB foot switch")
set(CPACK_PACKAGE_FILE_NAME "treadle-${PROJECT_VERSION}-windows-x64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Treadle")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Treadle")
set(CPACK_COMPONENTS_ALL ${TREADLE_WINDOWS_COMPONENT})
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
# The ZIP unpacks into one folder; the installer puts the files straight into its own.
set(TREADLE_CPACK_PER_GENERATOR ${CMAKE_BINARY_DIR}/cpack-per-generator.cmake)
file(WRITE ${TREADLE_CPACK_PER_GENERATOR}
    "if(CPACK_GENERATOR STREQUAL \"ZIP\")\n    set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)\nendif()\n")
set(CPACK_PROJECT_CONFIG_FILE ${TREADLE_CPACK_PER_GENERATOR})
set(CPACK_COMPONENT_WINDOWS_DISPLAY_NAME "Treadle")
set(CPACK_COMPONENT_WINDOWS_REQUIRED ON)
set(CPACK_COMPONENT_WINDOWS_HIDDEN ON)

# The installer: into Program Files (the 64-bit one), a Start-menu shortcut with the window's
# icon, an uninstaller that takes away what it put there; /S installs and uninstalls silently.
set(TREADLE_ICON ${PROJECT_SOURCE_DIR}/src/window/win32/resources/treadle.ico)
# A 64-bit installer, like the programs it installs (and so it runs where only 64-bit Wine
# is): CMake's own installer template with the target named before anything is compiled.
set(TREADLE_NSIS_TEMPLATE_DIR ${CMAKE_BINARY_DIR}/nsis-template)
file(READ ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in TREADLE_NSIS_TEMPLATE)
string(REPLACE "@CPACK_NSIS_DEFINES@" "  Target amd64-unicode\n@CPACK_NSIS_DEFINES@" TREADLE_NSIS_TEMPLATE
    "${TREADLE_NSIS_TEMPLATE}")
file(WRITE ${TREADLE_NSIS_TEMPLATE_DIR}/NSIS.template.in "${TREADLE_NSIS_TEMPLATE}")
set(CPACK_MODULE_PATH ${TREADLE_NSIS_TEMPLATE_DIR})
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "Treadle")  # also the Start-menu folder
set(CPACK_NSIS_DISPLAY_NAME "Treadle")
set(CPACK_NSIS_MUI_ICON ${TREADLE_ICON})
set(CPACK_NSIS_MUI_UNIICON ${TREADLE_ICON})
set(CPACK_NSIS_INSTALLED_ICON_NAME "treadle.exe")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
set(CPACK_PACKAGE_EXECUTABLES "treadle;Treadle")
set(CPACK_NSIS_UNINSTALL_NAME "Uninstall")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MODIFY_PATH OFF)
# The installer shows the licence before it installs (a silent install, /S, skips the page).
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# The guide beside the window's shortcut in the Start menu, taken away with it.
set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "  CreateShortCut '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\Treadle guide.lnk' '$INSTDIR\\\\docs\\\\guide.html'")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "  Delete '$SMPROGRAMS\\\\$MUI_TEMP\\\\Treadle guide.lnk'")
include(CPack)
