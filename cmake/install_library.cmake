# The installed C++ package: the static library, the public headers and the
# CMake files that find_package(malha CONFIG) reads.
#
#   lib/libmalha.a
#   include/malha/malha.h, faces.h, vtu.h, cell_gradients.h      (from src/malha/)
#   include/malha/faces/faces.h, include/malha/faces/cell_gradients.h,
#   include/malha/vtk/vtu.h, include/malha/mesh/mesh.h, include/malha/mesh/lattice_lines.h,
#   include/malha/mesh/lattice_part.h,
#   include/malha/system/error.h
#   lib/cmake/malha/malhaConfig.cmake, malhaConfigVersion.cmake, malhaTargets*.cmake
#
# One rule places the headers: include/malha/ mirrors src/, with src/malha/
# as its root (src/malha/H.h is <malha/H.h>, src/F/H.h is <malha/F/H.h>).
# The headers include each other by paths that hold in both trees.
# Not part of the Windows package, which holds the programs alone.
if(WIN32)
  return()
endif()
include(CMakePackageConfigHelpers)

set(MALHA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/malha)
install(TARGETS malha_lib EXPORT malhaTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
foreach(header IN ITEMS malha/malha.h malha/faces.h malha/vtu.h malha/cell_gradients.h
    faces/faces.h faces/cell_gradients.h vtk/vtu.h mesh/lattice_lines.h mesh/lattice_part.h
    mesh/mesh.h system/error.h)
  get_filename_component(folder ${header} DIRECTORY)
  if(folder STREQUAL "malha")
    set(folder "")
  endif()
  install(FILES src/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/malha/${folder})
endforeach()
install(EXPORT malhaTargets NAMESPACE malha:: DESTINATION ${MALHA_INSTALL_CMAKEDIR})

configure_package_config_file(cmake/malhaConfig.cmake.in
  ${PROJECT_BINARY_DIR}/malhaConfig.cmake INSTALL_DESTINATION ${MALHA_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/malhaConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/malhaConfig.cmake ${PROJECT_BINARY_DIR}/malhaConfigVersion.cmake
  DESTINATION ${MALHA_INSTALL_CMAKEDIR})
