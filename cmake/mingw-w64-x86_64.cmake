# Cross build of malha.exe for 64-bit Windows with the Debian mingw-w64
# toolchain (packages g++-mingw-w64-x86-64 and their -posix compilers).
#
#   cmake --preset windows && cmake --build --preset windows
#
# The C and C++ runtimes and the thread library are linked statically, so
# that malha.exe needs nothing but the DLLs every Windows system has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MALHA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MALHA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MALHA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MALHA_MINGW_TRIPLET}-windres)

# Libraries and headers come from the target's own tree only; programs run
# at build time come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MALHA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
