# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix threads).
# Qt's own qt.toolchain.cmake chain-loads this file:
#   -DCMAKE_TOOLCHAIN_FILE=<qt>/lib/cmake/Qt6/qt.toolchain.cmake
#   -DQT_CHAINLOAD_TOOLCHAIN_FILE=<this file>
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime DLLs that every program built with this compiler needs beside it.
set(MINGW_RUNTIME_DIRS /usr/lib/gcc/${mingw_triple}/12-posix /usr/${mingw_triple}/lib)
