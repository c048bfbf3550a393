# The Debian package: `cpack -G DEB` in a build configured with CMAKE_INSTALL_PREFIX=/usr
# (scripts/package-deb makes one). The package holds what `cmake --install` installs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME treadle)
set(CPACK_PACKAGE_VENDOR "The Treadle developers")
set(CPACK_PACKAGE_CONTACT "The Treadle developers <treadle@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "program a four-pedal USB foot switch")
# The synopsis is the summary above; this is the long description under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Treadle writes a key with any modifiers, or a mouse click, into each pedal
of a USB foot switch with four pedals. The foot switch keeps the assignments
and then acts towards any computer as a keyboard or a mouse.
.
This package holds the window (treadle), the command line (treadlectl) and a
udev rule that gives the user at the seat access to the foot switch, so
neither program needs root rights.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# packaging/deb/finish.cmake strips the programs and adds the lintian overrides.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/deb/finish.cmake)
set(CPACK_TREADLE_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TREADLE_HOMEPAGE}")
# Depends: computed by dpkg-shlibdeps from the libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The udev rule tags the device for the seat's user; udev and logind turn that into access.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/deb/postinst ${PROJECT_SOURCE_DIR}/packaging/deb/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
