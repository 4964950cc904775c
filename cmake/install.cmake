# The installed system, laid out as it runs (paths below the prefix):
#
#   lib/clarivo/                   the program directory: clarivo, twain-acquire, the message
#                                  queue library, the test scanner's test/ folder, and cache/
#                                  when the user may write there
#   lib/clarivo/windows/           the Windows directory: TWAIN_32.DLL and its helper program
#                                  twain_32-helper
#   lib/clarivo/windows/twain_32/  the data sources: Clarivo.ds
#   bin/clarivo, bin/twain-acquire links into lib/clarivo, for the program path
#
# Each module finds the message queue library relative to itself, so the prefix can move.
set(CLARIVO_INSTALL_PROGRAM_DIR lib/clarivo)
set(CLARIVO_INSTALL_WINDOWS_DIR ${CLARIVO_INSTALL_PROGRAM_DIR}/windows)

install(TARGETS clarivo_messages LIBRARY DESTINATION ${CLARIVO_INSTALL_PROGRAM_DIR})

set_target_properties(clarivo twain-acquire PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS clarivo twain-acquire RUNTIME DESTINATION ${CLARIVO_INSTALL_PROGRAM_DIR})

set_target_properties(clarivo_sourcemanager twain_32-helper PROPERTIES INSTALL_RPATH "$ORIGIN/..")
install(TARGETS clarivo_sourcemanager LIBRARY DESTINATION ${CLARIVO_INSTALL_WINDOWS_DIR})
install(TARGETS twain_32-helper RUNTIME DESTINATION ${CLARIVO_INSTALL_WINDOWS_DIR})

# The data source Clarivo.ds, once it is built.
if(TARGET clarivo_datasource)
  set_target_properties(clarivo_datasource PROPERTIES INSTALL_RPATH "$ORIGIN/../..")
  install(TARGETS clarivo_datasource LIBRARY DESTINATION ${CLARIVO_INSTALL_WINDOWS_DIR}/twain_32)
endif()

# The test scanner's folder: the pages it makes and every bitmap a user puts there.
install(DIRECTORY DESTINATION ${CLARIVO_INSTALL_PROGRAM_DIR}/test)

foreach(program clarivo twain-acquire)
  install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(MAKE_DIRECTORY \"\${bin}\")
    message(STATUS \"Installing: \${bin}/${program}\")
    file(CREATE_LINK \"../${CLARIVO_INSTALL_PROGRAM_DIR}/${program}\" \"\${bin}/${program}\"
         SYMBOLIC)")
endforeach()
