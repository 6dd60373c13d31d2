# Checks that the README's `apt-get install` line names every Debian
# package that CI installs for the build, the tests, the Python package, the
# Poisson example and the VTK read-back (.ci/packages/), so that a new user
# who runs that one line gets every test.
#
#   cmake -DSOURCE_DIR=<project root> -P cmake/check_readme_packages.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "check_readme_packages: set SOURCE_DIR to the project root")
endif()

file(STRINGS ${SOURCE_DIR}/README.md install_lines REGEX "^apt-get install [a-z]")
list(LENGTH install_lines count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "README.md has ${count} lines 'apt-get install PACKAGES', not one")
endif()
string(REPLACE "apt-get install " "" readme_packages "${install_lines}")
separate_arguments(readme_packages UNIX_COMMAND "${readme_packages}")

set(missing "")
foreach(list IN ITEMS base python examples vtk)
  file(STRINGS ${SOURCE_DIR}/.ci/packages/${list}.txt packages REGEX "^[^#]")
  foreach(package IN LISTS packages)
    string(STRIP "${package}" package)
    if(NOT package IN_LIST readme_packages)
      list(APPEND missing "${package} (.ci/packages/${list}.txt)")
    endif()
  endforeach()
endforeach()
if(missing)
  list(JOIN missing ", " missing)
  message(FATAL_ERROR "README.md's apt-get install line lacks ${missing}")
endif()
