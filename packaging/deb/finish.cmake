# Run by CPack on the staged files before it builds the .deb: what debhelper would do. Strips
# the programs as dh_strip does (with the sections strip alone leaves in) and adds the
# package's lintian overrides.
set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
if(NOT EXISTS ${root}/bin)
    message(FATAL_ERROR "no programs staged in ${root}/bin")
endif()
file(GLOB programs ${root}/bin/*)
foreach(program IN LISTS programs)
    execute_process(COMMAND strip --remove-section=.comment --remove-section=.note ${program}
        COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# (file(INSTALL) would put DESTDIR, which CPack sets, in front of the staged path again.)
file(MAKE_DIRECTORY ${root}/share/lintian/overrides)
file(COPY_FILE ${CPACK_TREADLE_SOURCE_DIR}/packaging/deb/lintian-overrides ${root}/share/lintian/overrides/treadle)
