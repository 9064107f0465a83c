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

include(${CMAKE_CURRENT_LIST_DIR}/oldest-windows.cmake)
if(POWERMONITOR_LINKED_WINDOWS_VERSION)
    # Every program and DLL declares the oldest Windows it is built and checked for.
    string(REPLACE "." ";" version "${POWERMONITOR_LINKED_WINDOWS_VERSION}")
    list(GET version 0 major)
    list(GET version 1 minor)
    set(stamp "-Wl,--major-os-version,${major},--minor-os-version,${minor},--major-subsystem-version,${major},--minor-subsystem-version,${minor}")
    set(CMAKE_EXE_LINKER_FLAGS_INIT ${stamp})
    set(CMAKE_SHARED_LINKER_FLAGS_INIT ${stamp})
    set(CMAKE_MODULE_LINKER_FLAGS_INIT ${stamp})
endif()
