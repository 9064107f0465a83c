# Every cache option of the build, declared once, and the summary of the
# choices that configure prints at its end (feature_summary in the top
# CMakeLists.txt).
include(FeatureSummary)

# A line of the summary: <name>, on when <variable> is; a path or value the
# variable holds follows the description.
function(powermonitor_feature name variable description)
    set(value "${${variable}}")
    if(value AND NOT value MATCHES "^(ON|TRUE|YES|1)$")
        string(APPEND description ": ${value}")
    endif()
    add_feature_info("${name}" ${variable} "${description} (${variable})")
endfunction()

# The board-control library: the interface's header, the library the Linux
# program links, and the maker's DLL that the Windows program binds at start-up.
set(BOARDCONTROL_LIBRARY "" CACHE FILEPATH
    "Linux only: the maker's libOrvane_boardcontrol_api.so, linked instead of the stand-in")
set(BOARDCONTROL_INCLUDE_DIR "" CACHE PATH
    "Folder with the maker's boardcontrol_api.h; empty uses the project's own header")
set(BOARDCONTROL_RUNTIME "" CACHE FILEPATH
    "Windows only: the maker's Orvane_boardcontrol_api.dll, checked by board-check and installed beside the program instead of the stand-in")

powermonitor_feature("maker's board library" BOARDCONTROL_LIBRARY "linked instead of the stand-in")
powermonitor_feature("maker's board header" BOARDCONTROL_INCLUDE_DIR "its boardcontrol_api.h")
powermonitor_feature("maker's board DLL" BOARDCONTROL_RUNTIME "checked and installed")

set(POWERMONITOR_QT "" CACHE STRING
    "Qt major version to build against (6 or 5); empty takes Qt 6 when found, else Qt 5")
set_property(CACHE POWERMONITOR_QT PROPERTY STRINGS "" 6 5)
option(POWERMONITOR_WERROR "Treat compiler warnings as errors" OFF)
option(POWERMONITOR_SANITIZE
    "Build everything with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer" OFF)
# BUILD_TESTING, from CTest: the tests and the benchmarks.
include(CTest)
option(POWERMONITOR_E2E "Run the end-to-end checks under Xvfb (needs Xlib headers and xvfb-run)" ON)
option(POWERMONITOR_LIBFUZZER "Build the libFuzzer targets, standin_libfuzzer and boardcheck_libfuzzer (needs clang)" OFF)
option(POWERMONITOR_REPRODUCIBLE
    "Release build: the same bytes from the same commit in any folder (no build paths or time stamps in the files; needs SOURCE_DATE_EPOCH)" OFF)
set(POWERMONITOR_OTHER_INSTALLER_DIR "" CACHE PATH
    "Windows: folder with the other Windows architecture's installer, to check that both install side by side")

powermonitor_feature("Qt major version" POWERMONITOR_QT "asked for")
powermonitor_feature("warnings as errors" POWERMONITOR_WERROR "-Werror")
powermonitor_feature(sanitizers POWERMONITOR_SANITIZE "ASan, LSan and UBSan on every target")
powermonitor_feature(tests BUILD_TESTING "QtTest cases, deployment checks and benchmarks")
powermonitor_feature("end-to-end checks" POWERMONITOR_E2E "the program on Xvfb; under Wine on Windows")
powermonitor_feature(libFuzzer POWERMONITOR_LIBFUZZER "standin_libfuzzer and boardcheck_libfuzzer")
powermonitor_feature("reproducible release" POWERMONITOR_REPRODUCIBLE
    "build paths mapped away, no time stamps, file times from SOURCE_DATE_EPOCH")
powermonitor_feature("both Windows installers" POWERMONITOR_OTHER_INSTALLER_DIR
    "installed side by side by the installer's check")
