# The oldest Windows of each Windows program, written once: the linker's
# version stamps, the manifest's supportedOS list, the installer's refusal and
# the folder check's reading of the imports all take it from here. Read by the
# toolchain files, before project(), so it goes by the target processor.
#   POWERMONITOR_OLDEST_WINDOWS          the name operators read
#   POWERMONITOR_OLDEST_WINDOWS_BUILD    its build number, which the installer compares
#   POWERMONITOR_OLDEST_WIN32_WINNT      its _WIN32_WINNT, which MinGW's headers declare by
#   POWERMONITOR_LINKED_WINDOWS_VERSION  major.minor stamped as OS and subsystem version;
#                                        empty leaves the linker's default
#   POWERMONITOR_SUPPORTED_OS            the manifest's supportedOS ids, oldest first
set(windows_7 "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}")
set(windows_8 "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}")
set(windows_8_1 "{1f676c76-80e1-4239-95bb-83d0f6d0da78}")
set(windows_10_and_11 "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL i686)
    set(POWERMONITOR_OLDEST_WINDOWS "Windows 7 SP1")
    set(POWERMONITOR_OLDEST_WINDOWS_BUILD 7601)
    set(POWERMONITOR_OLDEST_WIN32_WINNT 0x0601)
    # MinGW's linker stamps Windows 4.0, which says nothing true of ours.
    set(POWERMONITOR_LINKED_WINDOWS_VERSION 6.1)
    set(POWERMONITOR_SUPPORTED_OS ${windows_7} ${windows_8} ${windows_8_1} ${windows_10_and_11})
else()
    # Qt 6.4 is made for Windows 10 version 1809 and later.
    set(POWERMONITOR_OLDEST_WINDOWS "Windows 10 version 1809")
    set(POWERMONITOR_OLDEST_WINDOWS_BUILD 17763)
    set(POWERMONITOR_OLDEST_WIN32_WINNT 0x0A00)
    set(POWERMONITOR_LINKED_WINDOWS_VERSION "")
    set(POWERMONITOR_SUPPORTED_OS ${windows_10_and_11})
endif()
unset(windows_7)
unset(windows_8)
unset(windows_8_1)
unset(windows_10_and_11)
