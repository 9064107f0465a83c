# Cross-compiling for 64-bit Windows (10 and 11) with Debian's MinGW-w64.
# Qt 6's own qt.toolchain.cmake chain-loads this file:
#   -DCMAKE_TOOLCHAIN_FILE=<qt>/lib/cmake/Qt6/qt.toolchain.cmake
#   -DQT_CHAINLOAD_TOOLCHAIN_FILE=<this file>
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingw_triple x86_64-w64-mingw32)
set(MINGW_RUNTIME_DLLS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
