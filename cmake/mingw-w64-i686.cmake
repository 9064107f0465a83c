# Cross-compiling for 32-bit Windows (7 SP1 to 11) with Debian's MinGW-w64,
# against Qt 5.15 for Windows named by CMAKE_PREFIX_PATH.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(mingw_triple i686-w64-mingw32)
# 32-bit GCC unwinds with DWARF-2 tables, hence another libgcc.
set(MINGW_RUNTIME_DLLS libstdc++-6.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
