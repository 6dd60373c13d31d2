# Checks that no folder of src/ includes a folder above it.
#
#   cmake -DSOURCE_DIR=<project root> -P cmake/check_layers.cmake
#
# The folders are layers: the machine interface at the bottom, the
# program's process-wide services (process/) just above it, which no folder
# of the library may include, the dialogue and the mesh above them, the faces
# of the mesh and the file formats each above the mesh, the byte sinks and
# the safe writing of files (sinks/) above the machine interface alone, the
# output files above the formats and sinks, the viewer launch, the files read back
# beside the output files, the VTK grid above the formats and sinks, the public
# interface (malha/) above them all, and the driver (the files
# directly in src/) on top. Each folder lists what its `#include "..."` lines
# may name, besides itself: a folder name allows every header in it, a path
# allows that header alone. The driver may include everything. Standard
# headers (<...>) are not checked.

cmake_minimum_required(VERSION 3.25)

set(allowed_system "")
set(allowed_process system)
set(allowed_dialogue system process mesh/mesh.h)
set(allowed_mesh system)
set(allowed_faces system mesh)
set(allowed_sinks system)
set(allowed_formats system mesh)
set(allowed_output system mesh formats sinks)
set(allowed_viewers system process formats)
set(allowed_readback system mesh formats)
set(allowed_vtk system mesh formats sinks)
set(allowed_malha system mesh faces sinks formats output readback vtk)
set(layers system process dialogue mesh faces sinks formats output viewers readback vtk malha)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "check_layers: set SOURCE_DIR to the project root")
endif()

set(violations "")
file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}/src" "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.cpp")
foreach(source IN LISTS sources)
  if(NOT source MATCHES "/")
    continue()  # the driver
  endif()
  string(REGEX REPLACE "/.*" "" folder "${source}")
  if(NOT folder IN_LIST layers)
    list(APPEND violations "src/${source}: folder ${folder}/ has no place in the layer table")
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/src/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*" "\\1" header "${line}")
    # A public header names the headers it includes from src/ by "../": the
    # same line then finds them under the installed prefix.
    string(REGEX REPLACE "^\\.\\./" "" header "${header}")
    string(REGEX REPLACE "/.*" "" target "${header}")
    if(NOT header MATCHES "/")
      set(target "")  # a header of the driver, directly in src/
    endif()
    if(target STREQUAL folder OR target IN_LIST allowed_${folder} OR header IN_LIST allowed_${folder})
      continue()
    endif()
    list(APPEND violations "src/${source}: ${folder}/ may not include \"${header}\"")
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n" report)
  message(FATAL_ERROR "Includes that cross a layer upward or sideways:\n${report}")
endif()
list(LENGTH sources count)
message(STATUS "check_layers: ${count} files, every include stays within its layer")
