# The Python package `malha` (python/malha/): the compiled core _malha
# (target malha_python, pybind11) and the documented layer of modules
# (MALHA_PYTHON_MODULES),
# assembled in ${PROJECT_BINARY_DIR}/python/malha, so that
# PYTHONPATH=build/python imports it, and installed into
# MALHA_INSTALL_PYTHONDIR/malha.
#
# Built whenever pybind11 (Debian python3-pybind11) and the headers of the
# system's Python 3 (python3-dev) are found; otherwise the configure step
# warns which is missing, and the package's tests are registered as skipped
# tests that say why (malha_add_python_test). The Python is /usr/bin/python3
# unless Python3_EXECUTABLE names another.
option(MALHA_BUILD_PYTHON "Build the Python package when pybind11 and the Python headers are found" ON)

# Why the package is not built ("" when it is).
set(MALHA_PYTHON_SKIPPED "")

# malha_add_python_test(NAME <test> MODULES <module>... ARGS <argument>...)
# Registers `python3 -m pytest -q ARGS` as the test NAME. When the package is
# not built, or one of the Python modules MODULES (each in Debian's
# python3-<module>) is not installed, NAME is registered instead as a test
# that prints why and is reported as skipped, and the configure step says so.
function(malha_add_python_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME" "MODULES;ARGS")
  set(reason "${MALHA_PYTHON_SKIPPED}")
  if(NOT reason AND arg_MODULES)
    execute_process(COMMAND ${Python3_EXECUTABLE} -c
        "import importlib.util, sys; print(*(m for m in sys.argv[1:] if not importlib.util.find_spec(m)))"
        ${arg_MODULES}
      OUTPUT_VARIABLE missing OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(missing)
      string(REPLACE " " " python3-" packages "python3-${missing}")
      set(reason "no Python module ${missing}: apt-get install ${packages}")
    endif()
  endif()
  if(reason)
    # A missing package has had its own message; a missing module has not.
    if(MALHA_PYTHON_SKIPPED)
      message(STATUS "Test ${arg_NAME} will be skipped (${reason})")
    else()
      message(WARNING "Test ${arg_NAME} will be skipped (${reason})")
    endif()
    add_test(NAME ${arg_NAME} COMMAND sh -c "echo \"$1\"; exit 77" sh "skipped: ${reason}")
    set_tests_properties(${arg_NAME} PROPERTIES SKIP_RETURN_CODE 77)
  else()
    add_test(NAME ${arg_NAME} COMMAND ${Python3_EXECUTABLE} -m pytest -q -p no:cacheprovider ${arg_ARGS})
  endif()
endfunction()

# Builds that leave the package out on purpose.
if(NOT MALHA_BUILD_PYTHON)
  set(MALHA_PYTHON_SKIPPED "MALHA_BUILD_PYTHON is OFF")
elseif(MALHA_FUZZ)
  set(MALHA_PYTHON_SKIPPED "fuzz build")
elseif(WIN32 OR CMAKE_CROSSCOMPILING)
  set(MALHA_PYTHON_SKIPPED "built for the build machine's own Python only")
endif()
if(MALHA_PYTHON_SKIPPED)
  message(STATUS "Python package malha: skipped (${MALHA_PYTHON_SKIPPED})")
  return()
endif()

if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python3_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "The Python 3 the package is built for")
endif()
find_package(Python3 COMPONENTS Interpreter Development.Module QUIET)
if(NOT Python3_Interpreter_FOUND)
  set(MALHA_PYTHON_SKIPPED "no Python 3 interpreter found: apt-get install python3")
elseif(NOT Python3_Development.Module_FOUND)
  set(MALHA_PYTHON_SKIPPED "no headers for ${Python3_EXECUTABLE}: apt-get install python3-dev")
else()
  find_package(pybind11 CONFIG QUIET)
  if(NOT pybind11_FOUND)
    set(MALHA_PYTHON_SKIPPED "pybind11 not found: apt-get install python3-pybind11")
  endif()
endif()
if(MALHA_PYTHON_SKIPPED)
  message(WARNING "Python package malha: not built (${MALHA_PYTHON_SKIPPED}); "
                  "-DMALHA_BUILD_PYTHON=OFF builds without it on purpose")
  return()
endif()

# Debian's own folder for the packages of its python3; under /usr that is
# /usr/lib/python3/dist-packages, whatever the library folder is.
set(MALHA_INSTALL_PYTHONDIR lib/python3/dist-packages CACHE STRING
  "Folder, under the prefix, that receives the Python package malha")

# The extension links the static library into a shared object.
set_target_properties(malha_lib PROPERTIES POSITION_INDEPENDENT_CODE ON)

# The modules of the Python layer; the installed and packaged file lists
# (cmake/packaging.cmake, .ci/stages/40-packages.sh and 60-deb.sh) name them too.
set(MALHA_PYTHON_MODULES __init__.py errors.py faces.py mesh.py parts.py vtu.py)
set(MALHA_PYTHON_PACKAGE_DIR ${PROJECT_BINARY_DIR}/python/malha)
set(malha_python_sources "")
set(malha_python_copies "")
foreach(module IN LISTS MALHA_PYTHON_MODULES)
  list(APPEND malha_python_sources ${PROJECT_SOURCE_DIR}/python/malha/${module})
  list(APPEND malha_python_copies ${MALHA_PYTHON_PACKAGE_DIR}/${module})
endforeach()
add_custom_command(OUTPUT ${malha_python_copies}
  COMMAND ${CMAKE_COMMAND} -E copy ${malha_python_sources} ${MALHA_PYTHON_PACKAGE_DIR}
  DEPENDS ${malha_python_sources}
  COMMENT "Copying the Python layer of malha")
pybind11_add_module(malha_python MODULE NO_EXTRAS python/malha/_malha.cpp
  ${malha_python_copies})
set_target_properties(malha_python PROPERTIES OUTPUT_NAME _malha
  LIBRARY_OUTPUT_DIRECTORY ${MALHA_PYTHON_PACKAGE_DIR})
target_link_libraries(malha_python PRIVATE malha_lib)
target_compile_options(malha_python PRIVATE ${MALHA_WARNINGS})

# In the sanitizer build the interpreter, which is not instrumented, loads
# the sanitizer's runtime first, and the C++ runtime with it so that the
# runtime sees the exceptions the library throws (MALHA_PYTHON_TEST_PRELOAD,
# for the test PythonPackage).
set(MALHA_PYTHON_TEST_PRELOAD "")
if(MALHA_SANITIZE)
  foreach(runtime libasan.so libstdc++.so)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
      OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    list(APPEND MALHA_PYTHON_TEST_PRELOAD ${runtime_path})
  endforeach()
  list(JOIN MALHA_PYTHON_TEST_PRELOAD ":" MALHA_PYTHON_TEST_PRELOAD)
endif()

install(TARGETS malha_python LIBRARY DESTINATION ${MALHA_INSTALL_PYTHONDIR}/malha)
install(FILES ${malha_python_sources} DESTINATION ${MALHA_INSTALL_PYTHONDIR}/malha)
message(STATUS "Python package malha: built for ${Python3_EXECUTABLE} (${Python3_VERSION}), "
               "installed into ${MALHA_INSTALL_PYTHONDIR}/malha")
