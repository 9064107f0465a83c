# Cross-compiling for 32-bit Windows (7 SP1 to 11) with Debian's MinGW-w64,
# against Qt 5.15 for Windows named by CMAKE_PREFIX_PATH.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(mingw_triple i686-w64-mingw32)
# 32-bit GCC unwinds with DWARF-2 tables, hence another libgcc.
set(MINGW_RUNTIME_DLLS libstdc++-6.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)

# MinGW's linker stamps Windows 4.0 into every program and DLL; ours declare the
# oldest Windows they are built and checked for.
set(windows_7 "-Wl,--major-os-version,6,--minor-os-version,1,--major-subsystem-version,6,--minor-subsystem-version,1")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${windows_7})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${windows_7})
set(CMAKE_MODULE_LINKER_FLAGS_INIT ${windows_7})
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
