# This build's architecture, under each name the files below use.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(qt_arch x64)
    set(manifest_architecture amd64)
    set(bits 64)
    set(other_bits 32)
    set(install_root "$PROGRAMFILES64")
else()
    set(qt_arch x86)
    set(manifest_architecture x86)
    set(bits 32)
    set(other_bits 64)
    set(install_root "$PROGRAMFILES")
endif()

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT program)
install(FILES windows/LGPL-3.0.txt windows/GPL-3.0.txt windows/GCC-RUNTIME-LIBRARY-EXCEPTION-3.1.txt
    DESTINATION . COMPONENT program)

# The notice of what this folder holds, for this architecture: its Qt, the
# Debian source that Qt was built from (scripts/windows-qt-archives.txt), and
# the compiler's runtime DLLs the toolchain file names.
set(qt_archives ${PROJECT_SOURCE_DIR}/scripts/windows-qt-archives.txt)
file(STRINGS ${qt_archives} qt_archive REGEX "^${qt_arch} ")
string(REGEX REPLACE " +" ";" qt_archive "${qt_archive}")
list(LENGTH qt_archive fields)
if(fields LESS 5)
    message(FATAL_ERROR "${qt_archives} names no Qt for ${qt_arch}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${qt_archives}
    ${CMAKE_CURRENT_SOURCE_DIR}/windows/third-party/${qt_arch}/qt-parts.txt)
list(GET qt_archive 3 qt_source_package)
list(GET qt_archive 4 qt_source_version)
set(qt_version ${Qt${QT_VERSION_MAJOR}_VERSION})
set(gcc_runtime_dlls ${MINGW_RUNTIME_DLLS})
list(FILTER gcc_runtime_dlls EXCLUDE REGEX "^libwinpthread")
list(JOIN gcc_runtime_dlls ", " gcc_runtime_dlls)
# The third-party code inside this Qt, and its licence texts: written by
# scripts/qt-notices.py from Qt's source, and checked against it by a test.
set(qt_parts_dir ${CMAKE_CURRENT_SOURCE_DIR}/windows/third-party/${qt_arch})
file(READ ${qt_parts_dir}/qt-parts.txt qt_parts)
install(DIRECTORY ${qt_parts_dir}/licenses/ DESTINATION licenses/qt COMPONENT program)
# The release's file of the Windows programs' corresponding source (scripts/release.sh).
set(POWERMONITOR_WINDOWS_SOURCES_ARCHIVE powermonitor-${PROJECT_VERSION}-windows-sources.tar CACHE INTERNAL
    "The release file with the source of the Qt that the Windows folders ship")
set(windows_sources_archive ${POWERMONITOR_WINDOWS_SOURCES_ARCHIVE})
configure_file(windows/THIRD-PARTY.txt.in ${CMAKE_CURRENT_BINARY_DIR}/THIRD-PARTY.txt @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/THIRD-PARTY.txt DESTINATION . COMPONENT program)

# What Windows shows of our programs and DLLs: the icon, made at build time
# from the same SVG as the Linux icon, version information from
# project(VERSION), and the program's manifest.
find_program(RSVG_CONVERT rsvg-convert)
find_program(ICOTOOL icotool)
if(NOT RSVG_CONVERT OR NOT ICOTOOL)
    message(FATAL_ERROR "The Windows icon is made with rsvg-convert and icotool: install librsvg2-bin "
        "and icoutils. ${POWERMONITOR_INSTALL_HINT}")
endif()
set(windows_icon ${CMAKE_CURRENT_BINARY_DIR}/powermonitor.ico)
set(icon_pngs)
foreach(size 16 24 32 48 64 256)
    set(png ${CMAKE_CURRENT_BINARY_DIR}/powermonitor-${size}.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${CMAKE_CURRENT_SOURCE_DIR}/powermonitor.svg
        DEPENDS powermonitor.svg
        VERBATIM)
    list(APPEND icon_pngs ${png})
endforeach()
# The 256-pixel image stays PNG inside the icon, as Windows takes it since Vista.
list(POP_BACK icon_pngs large_png)
add_custom_command(OUTPUT ${windows_icon}
    COMMAND ${ICOTOOL} -c -o ${windows_icon} ${icon_pngs} --raw=${large_png}
    DEPENDS ${icon_pngs} ${large_png}
    VERBATIM)
add_custom_target(windows_icon DEPENDS ${windows_icon})

# Windows versions the program declares it was made for (supportedOS ids,
# from cmake/oldest-windows.cmake).
set(supported_os)
foreach(id IN LISTS POWERMONITOR_SUPPORTED_OS)
    string(APPEND supported_os "      <supportedOS Id=\"${id}\"/>\n")
endforeach()
set(manifest ${CMAKE_CURRENT_BINARY_DIR}/powermonitor.manifest)
configure_file(windows/powermonitor.manifest.in ${manifest} @ONLY)

function(powermonitor_windows_resources target file_type original_filename file_description)
    set(extra_resources "${ARGN}")
    get_target_property(internal_name ${target} OUTPUT_NAME)
    if(NOT internal_name)
        set(internal_name ${target})
    endif()
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(windows/versioninfo.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()
set(board_dll ${BOARDCONTROL_LIBRARY_NAME}.dll)
set(board_trace_description
    "${BOARD_CHECK_RECORDER_MARK}: forwards every call to ${BOARDCONTROL_LIBRARY_NAME}.real.dll and records it")
powermonitor_windows_resources(powermonitor VFT_APP powermonitor.exe "${app_name}"
    "1 ICON \"${windows_icon}\"\n1 24 \"${manifest}\"")
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/powermonitor.rc TARGET_DIRECTORY powermonitor
    PROPERTIES OBJECT_DEPENDS "${windows_icon};${manifest}")
add_dependencies(powermonitor windows_icon)
powermonitor_windows_resources(boardtrace VFT_DLL ${board_dll} "${board_trace_description}")
powermonitor_windows_resources(boardcontrol_standin VFT_DLL ${board_dll}
    "${BOARD_CHECK_SIMULATED_MARK} Orvane9 board: the power monitor's stand-in board library; no hardware is read or switched")
powermonitor_windows_resources(board_check VFT_APP board-check.exe
    "Orvane9 power monitor board-check: says whether a board DLL fits the program")

# A folder that runs as it is, laid out as windeployqt would: Qt's DLLs and
# the plugins the window needs beside the program.
set(qt Qt${QT_VERSION_MAJOR})
install(FILES $<TARGET_FILE:${qt}::Core> $<TARGET_FILE:${qt}::Gui> $<TARGET_FILE:${qt}::Widgets>
    DESTINATION . COMPONENT program)
install(FILES $<TARGET_FILE:${qt}::QWindowsIntegrationPlugin> DESTINATION platforms COMPONENT program)
install(FILES $<TARGET_FILE:${qt}::QWindowsVistaStylePlugin> DESTINATION styles COMPONENT program)

if(MINGW)
    # The compiler's runtime DLLs (the toolchain file names them), stripped
    # (libstdc++ alone is 23 MiB with its symbols), beside the programs of
    # the build so that they run as built, and installed with the program.
    set(runtime_dlls)
    foreach(dll IN LISTS MINGW_RUNTIME_DLLS)
        # Where this compiler's own runtime is: it answers with the bare name
        # when it has none of that name.
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
            OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
            message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no runtime ${dll}; "
                "${POWERMONITOR_INSTALL_HINT}")
        endif()
        file(REAL_PATH "${found}" MINGW_RUNTIME_${dll})
        set(stripped ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${dll})
        add_custom_command(OUTPUT ${stripped}
            COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${stripped} ${MINGW_RUNTIME_${dll}}
            DEPENDS ${MINGW_RUNTIME_${dll}}
            VERBATIM)
        list(APPEND runtime_dlls ${stripped})
    endforeach()
    add_custom_target(mingw_runtime ALL DEPENDS ${runtime_dlls})
    install(FILES ${runtime_dlls} DESTINATION . COMPONENT program)
endif()

# Two programs, one per architecture, that install side by side: each names
# its architecture in the Start menu, in Add/Remove Programs and in the
# registry. Both installers are 32-bit programs, as installers usually are,
# so that the 64-bit one can tell a 32-bit Windows which installer it needs;
# each records its program in the registry view of the program's architecture.
# The installer's code is packaging/windows/installer.nsh; CPack fills in the
# facts below through our NSIS.template.in.
set(app_label "${app_name} (${bits}-bit)")
# Under HKLM, the installation's folder. The tests read it too.
set(POWERMONITOR_INSTALLER_APP_KEY "Software\\${CPACK_PACKAGE_VENDOR}\\${app_label}" CACHE INTERNAL "")
# The installer's exit status where it refuses, before anything is written:
# a switch it does not know (the uninstaller too); this Windows cannot run the
# program; the board DLL named does not fit. None is one of NSIS's own (1
# cancelled, 2 aborted by the script or an error), so a deployment tool can
# tell a typo from a failed install. The tests read them too.
set(POWERMONITOR_INSTALLER_EXIT_USAGE 5 CACHE INTERNAL "")
set(POWERMONITOR_INSTALLER_EXIT_WINDOWS_REFUSED 3 CACHE INTERNAL "")
set(POWERMONITOR_INSTALLER_EXIT_BOARD_REFUSED 4 CACHE INTERNAL "")
# The usage message of each, from the one list of their switches.
set(switch_list ${CMAKE_CURRENT_SOURCE_DIR}/windows/switches.txt)
file(STRINGS ${switch_list} switch_lines REGEX "^[^#]")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${switch_list})
foreach(taker installer uninstaller)
    set(usage)
    foreach(line IN LISTS switch_lines)
        string(REPLACE " | " ";" fields "${line}")
        list(GET fields 1 takers)
        list(GET fields 2 named)
        string(REPLACE "@BOARD_DLL@" "${board_dll}" named "${named}")
        if(takers MATCHES "(^|, )${taker}(,|$)" AND NOT named STREQUAL "\"\"")
            list(APPEND usage "${named}")
        endif()
    endforeach()
    list(POP_BACK usage last)
    list(JOIN usage ", " usage)
    string(TOUPPER ${taker} name)
    if(usage)
        set(switches_${name} "${usage} and ${last}")
    else()
        set(switches_${name} "${last}")
    endif()
endforeach()
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_FILE_NAME powermonitor-${PROJECT_VERSION}-win${bits})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Power monitor for the Ardelin Orvane9 board")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# A warning of makensis (a define missing, say) is a fault of the installer.
set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS -WX)
# Our own template: the installer's code lives in packaging/windows/*.nsh.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_SOURCE_DIR}/windows)
set(CPACK_MODULE_PATH ${CMAKE_MODULE_PATH})
set(CPACK_POWERMONITOR_NSIS_DIR ${CMAKE_CURRENT_SOURCE_DIR}/windows)
set(nsis_defines
    APP_NAME "${app_name}"
    LABEL "${app_label}"
    BITS ${bits}
    OTHER_INSTALLER "powermonitor-${PROJECT_VERSION}-win${other_bits}.exe"
    VENDOR "${CPACK_PACKAGE_VENDOR}"
    APP_KEY "${POWERMONITOR_INSTALLER_APP_KEY}"
    INSTALL_ROOT "${install_root}"
    ICON "${windows_icon}"
    OLDEST_WINDOWS_BUILD ${POWERMONITOR_OLDEST_WINDOWS_BUILD}
    OLDEST_WINDOWS "${POWERMONITOR_OLDEST_WINDOWS}"
    BOARD_DLL ${board_dll}
    BOARD_LIBRARY_NAME ${BOARDCONTROL_LIBRARY_NAME}
    CHECK_FITS ${BOARD_CHECK_EXIT_FITS}
    CHECK_FITS_SIMULATED ${BOARD_CHECK_EXIT_FITS_SIMULATED}
    EXIT_USAGE ${POWERMONITOR_INSTALLER_EXIT_USAGE}
    SWITCHES_INSTALLER "${switches_INSTALLER}"
    SWITCHES_UNINSTALLER "${switches_UNINSTALLER}"
    CHECK_SECONDS 60
    EXIT_WINDOWS_REFUSED ${POWERMONITOR_INSTALLER_EXIT_WINDOWS_REFUSED}
    EXIT_BOARD_REFUSED ${POWERMONITOR_INSTALLER_EXIT_BOARD_REFUSED})
set(CPACK_POWERMONITOR_NSIS_DEFINES "")
while(nsis_defines)
    list(POP_FRONT nsis_defines name value)
    string(APPEND CPACK_POWERMONITOR_NSIS_DEFINES "!define ${name} \"${value}\"\n")
endwhile()

# What cpack does to the staged files (windows/staged.cmake): our programs and
# DLLs, signed in a signed release, as they lie in the folder; a maker's DLL
# is not ours to sign.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/windows/staged.cmake)
set(CPACK_POWERMONITOR_SIGN_PE ${CMAKE_CURRENT_SOURCE_DIR}/windows/sign-pe.sh)
set(CPACK_POWERMONITOR_LABEL "${app_label}")
set(CPACK_POWERMONITOR_SIGNED_FILES powermonitor.exe board-check.exe board-trace/${board_dll})
if(POWERMONITOR_SIMULATED_BOARD)
    list(APPEND CPACK_POWERMONITOR_SIGNED_FILES ${board_dll})
endif()
if(POWERMONITOR_REPRODUCIBLE)
    find_program(STRIP_NONDETERMINISM strip-nondeterminism)
    if(NOT STRIP_NONDETERMINISM)
        message(FATAL_ERROR "A release build puts the files of its ZIP in order with strip-nondeterminism: "
            "install strip-nondeterminism. ${POWERMONITOR_INSTALL_HINT}")
    endif()
    set(CPACK_POWERMONITOR_STRIP_NONDETERMINISM ${STRIP_NONDETERMINISM})
    set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/windows/normalize-zip.cmake)
endif()
