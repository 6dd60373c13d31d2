# Installation and the packages that cpack makes in a build folder:
#
#   Linux (and other POSIX systems): malha-VERSION-linux-x86_64.tar.gz with
#     bin/malha, share/malha/ (the plot scripts and the command processor
#     tools/cmd) and share/doc/malha/README.md, the usual prefix layout.
#   Windows: malha-VERSION-windows-x86_64.zip with one folder as a user
#     unpacks it: malha.exe, plots\ (the plot scripts), README.md and
#     README-windows.txt. tools/cmd is a POSIX script and stays out.
#
# Every program of the project installs into MALHA_INSTALL_BINDIR:
#   install(TARGETS NAME RUNTIME DESTINATION ${MALHA_INSTALL_BINDIR})
if(WIN32)
  set(MALHA_INSTALL_BINDIR .)
  set(MALHA_INSTALL_PLOTDIR plots)
  set(MALHA_INSTALL_DOCDIR .)
else()
  include(GNUInstallDirs)
  set(MALHA_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(MALHA_INSTALL_PLOTDIR ${CMAKE_INSTALL_DATADIR}/malha)
  set(MALHA_INSTALL_DOCDIR ${CMAKE_INSTALL_DOCDIR})
endif()

install(TARGETS malha malha-vtk RUNTIME DESTINATION ${MALHA_INSTALL_BINDIR})
# The plot scripts go beside the output files a user wants to see.
install(FILES plots/malha_real.gnu plots/malha.gnu plots/malha_baricentros.gnu
  DESTINATION ${MALHA_INSTALL_PLOTDIR})
install(FILES README.md DESTINATION ${MALHA_INSTALL_DOCDIR})
if(WIN32)
  # Notepad's own line ends, so that every editor shows the lines.
  configure_file(${PROJECT_SOURCE_DIR}/docs/README-windows.txt
    ${PROJECT_BINARY_DIR}/README-windows.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README-windows.txt DESTINATION ${MALHA_INSTALL_DOCDIR})
else()
  # The command processor that shows the results on Linux and macOS.
  install(PROGRAMS tools/cmd DESTINATION ${MALHA_INSTALL_PLOTDIR})
endif()

set(CPACK_PACKAGE_NAME malha)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Structured triangular mesh of a rectangle for cell-centred finite-volume solvers")
string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" MALHA_PACKAGE_SYSTEM)
set(CPACK_PACKAGE_FILE_NAME malha-${PROJECT_VERSION}-${MALHA_PACKAGE_SYSTEM})
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
endif()
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_VERBATIM_VARIABLES ON)
include(CPack)
