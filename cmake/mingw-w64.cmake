# What both MinGW-w64 toolchain files share: Debian's posix-thread compilers for
# the triple that the including file sets in mingw_triple.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

# The Qt for Windows that CMAKE_PREFIX_PATH names lies outside the sysroot.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime DLLs that every program built with this compiler needs beside it.
set(MINGW_RUNTIME_DIRS /usr/lib/gcc/${mingw_triple}/12-posix /usr/${mingw_triple}/lib)
