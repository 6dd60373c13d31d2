# The installed C++ package: the static library, the public headers and the
# CMake files that find_package(malha CONFIG) reads.
#
#   lib/libmalha.a
#   include/malha/malha.h, include/malha/faces.h, include/malha/cell_gradients.h,
#   include/malha/vtu.h,
#   include/malha/mesh/mesh.h, include/malha/system/error.h
#   lib/cmake/malha/malhaConfig.cmake, malhaConfigVersion.cmake, malhaTargets*.cmake
#
# malha.h, faces.h, cell_gradients.h and vtu.h include the other two by paths relative to their
# own folder, so the same lines serve in the source tree (src/) and under the
# prefix.
# Not part of the Windows package, which holds the programs alone.
if(WIN32)
  return()
endif()
include(CMakePackageConfigHelpers)

set(MALHA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/malha)
install(TARGETS malha_lib EXPORT malhaTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES src/malha/malha.h src/faces/faces.h src/faces/cell_gradients.h src/vtk/vtu.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/malha)
install(FILES src/mesh/mesh.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/malha/mesh)
install(FILES src/system/error.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/malha/system)
install(EXPORT malhaTargets NAMESPACE malha:: DESTINATION ${MALHA_INSTALL_CMAKEDIR})

configure_package_config_file(cmake/malhaConfig.cmake.in
  ${PROJECT_BINARY_DIR}/malhaConfig.cmake INSTALL_DESTINATION ${MALHA_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/malhaConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/malhaConfig.cmake ${PROJECT_BINARY_DIR}/malhaConfigVersion.cmake
  DESTINATION ${MALHA_INSTALL_CMAKEDIR})
