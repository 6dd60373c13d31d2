# Installation and the packages that cpack makes in a build folder:
#
#   Linux (and other POSIX systems): malha-VERSION-linux-x86_64.tar.gz with
#     bin/malha, bin/malha-vtk, share/malha/ (the plot scripts and the
#     command processor tools/cmd), share/man/man1/ (the manual pages) and
#     share/doc/malha/ (README.md and changelog.gz), the usual prefix layout.
#   Debian (cpack -G DEB): malha_VERSION_ARCH.deb, the same files under /usr,
#     depending on what dpkg-shlibdeps finds the programs need and on the
#     Python packages that malha's Python package imports, with maintainer
#     scripts (docs/debian/) that compile and remove its bytecode.
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

  # The manual pages and the package's change log, compressed as Debian
  # installs them.
  set(MALHA_COMPRESSED)
  foreach(source IN ITEMS docs/man/malha.1 docs/man/malha-vtk.1 docs/debian/changelog)
    get_filename_component(name ${source} NAME)
    set(compressed ${PROJECT_BINARY_DIR}/compressed/${name}.gz)
    add_custom_command(OUTPUT ${compressed}
      COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/${source} -DOUTPUT=${compressed}
              -P ${PROJECT_SOURCE_DIR}/cmake/gzip_file.cmake
      DEPENDS ${PROJECT_SOURCE_DIR}/${source} ${PROJECT_SOURCE_DIR}/cmake/gzip_file.cmake
      COMMENT "Compressing ${source}"
      VERBATIM)
    list(APPEND MALHA_COMPRESSED ${compressed})
  endforeach()
  add_custom_target(malha_compressed_docs ALL DEPENDS ${MALHA_COMPRESSED})
  install(FILES ${PROJECT_BINARY_DIR}/compressed/malha.1.gz
                ${PROJECT_BINARY_DIR}/compressed/malha-vtk.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_BINARY_DIR}/compressed/changelog.gz DESTINATION ${MALHA_INSTALL_DOCDIR})
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

# The Debian package. Its install prefix (/usr) is set for that generator
# alone, in the file that cpack reads per generator.
set(MALHA_PACKAGE_MAINTAINER
  "malha maintainers <maintainers@users.noreply.c-seed-8580a5a0.example>"
  CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MALHA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The extended description; cpack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
malha asks four questions at the console (the mesh level, the lengths of the
rectangle along x and y, and whether to plot), cuts the rectangle into
2^level triangles, adds one fictitious (ghost) volume outside each boundary
edge, finds every volume's neighbours and barycentre, and writes eleven
fixed-format text files into the current directory.

malha-vtk turns those files into malha.vtu, a VTK unstructured grid for
ParaView and VisIt. The package also holds the gnuplot scripts that draw the
mesh, the C++ library with its headers and CMake package, and the Python
package malha, which gives the mesh as numpy arrays.")
# libc6, libstdc++6 and libgcc-s1, as dpkg-shlibdeps finds them in the
# programs, and what the Python package imports.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The compiled core of the Python package loads only in the Python version
# it was built for.
if(TARGET malha_python)
  math(EXPR MALHA_PYTHON_NEXT_MINOR "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}), python3 (<< ${Python3_VERSION_MAJOR}.${MALHA_PYTHON_NEXT_MINOR}), python3-numpy")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, python3-numpy")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnuplot, python3-meshio")
# The Python package's bytecode: compiled at installation (postinst) and
# removed before the package's files (prerm), so that removing the package
# leaves no __pycache__ and no folder behind.
if(TARGET malha_python)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/docs/debian/postinst ${PROJECT_SOURCE_DIR}/docs/debian/prerm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/package_config.cmake)
include(CPack)
