# Reads a maker's board-control DLL as it comes (a DLL, perhaps a header, often
# no import library) and makes it fit to build against, or stops the build:
#  - a DLL of the other architecture cannot be loaded by this program;
#  - a function of the interface that the DLL does not export would stop the
#    program at start;
#  - on 32-bit x86, a calling convention other than the DLL's corrupts the stack
#    silently at every call.
# The rules are board-check's (check/board_check.c), the same program that the
# installers run and that ships beside the program, built here for this machine.

# Sets <out> to board-check built for the machine that runs the build.
function(boardcontrol_host_check out)
    set(sources ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check/board_check.c ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check/dll_check.c)
    set(exe ${CMAKE_BINARY_DIR}/host-tools/board-check)
    find_program(HOST_C_COMPILER NAMES cc gcc clang NO_CMAKE_FIND_ROOT_PATH)
    if(NOT HOST_C_COMPILER)
        message(FATAL_ERROR "A C compiler for this machine (cc) builds board-check, which reads board DLLs: "
            "install gcc. ${POWERMONITOR_INSTALL_HINT}")
    endif()
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/host-tools)
    execute_process(COMMAND ${HOST_C_COMPILER} -std=c11 -O2 -I${CMAKE_CURRENT_FUNCTION_LIST_DIR}
            "-DPOWERMONITOR_VERSION=\"${PROJECT_VERSION}\"" ${sources} -o ${exe}
        RESULT_VARIABLE failed ERROR_VARIABLE error)
    if(failed)
        message(FATAL_ERROR "Building board-check for this machine failed:\n${error}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
        ${sources} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check/dll_check.h
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/boardcontrol_functions.h)
    set(${out} ${exe} PARENT_SCOPE)
endfunction()

function(boardcontrol_arch out)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(${out} x64 PARENT_SCOPE)
    else()
        set(${out} x86 PARENT_SCOPE)
    endif()
endfunction()

# Checks <dll> against this build, with the convention <requested> (ON, OFF, or
# empty for the DLL's own), and sets <out_stdcall> to ON or OFF as the DLL's
# functions are __stdcall or plain C, and writes <def_file>, which maps the
# names this build's callers use to the names the DLL exports.
function(boardcontrol_read_dll dll requested out_stdcall def_file)
    boardcontrol_host_check(check)
    boardcontrol_arch(arch)
    set(convention either)
    if(NOT requested STREQUAL "" AND arch STREQUAL x86)
        set(convention cdecl)
        if(requested)
            set(convention stdcall)
        endif()
        set(convention ${convention} --assume)
    endif()
    execute_process(COMMAND ${check} --arch ${arch} --any-names --def ${def_file} --convention ${convention} ${dll}
        OUTPUT_VARIABLE said RESULT_VARIABLE status)
    string(STRIP "${said}" said)
    if(NOT requested STREQUAL "" AND status EQUAL 1)
        # Would the DLL fit in its own convention? Then the option contradicts it.
        execute_process(COMMAND ${check} --arch ${arch} --any-names --convention either ${dll}
            OUTPUT_QUIET RESULT_VARIABLE own)
        if(own EQUAL 0 OR own EQUAL 3 OR own EQUAL 4)
            set(dll_convention "plain C (__cdecl)")
            if(own EQUAL 3)
                set(dll_convention "__stdcall")
            endif()
            message(FATAL_ERROR "BOARDCONTROL_STDCALL=${requested} contradicts ${dll}, "
                "whose functions are ${dll_convention}: calls in the wrong convention corrupt the stack. "
                "Leave BOARDCONTROL_STDCALL empty to take the DLL's convention.")
        endif()
    endif()
    if(status EQUAL 3)
        set(${out_stdcall} ON PARENT_SCOPE)
    elseif(status EQUAL 0 OR status EQUAL 4)
        set(${out_stdcall} OFF PARENT_SCOPE)
    else()
        message(FATAL_ERROR "BOARDCONTROL_RUNTIME: ${said}")
    endif()
    string(REGEX MATCH "\n[^\n]*board functions[^\n]*" description "${said}")
    string(STRIP "${description}" description)
    message(STATUS "Board-control DLL ${dll}: ${description}")
endfunction()

# The import library for the program's callers of the plain names of the
# interface, compiled with the convention <stdcall>: for the 32-bit program
# built for __stdcall DLLs, which the installer carries beside the other.
function(boardcontrol_interface_def stdcall def_file)
    boardcontrol_host_check(check)
    set(convention cdecl)
    if(stdcall)
        set(convention stdcall)
    endif()
    execute_process(COMMAND ${check} --arch x86 --convention ${convention} --def ${def_file} RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "board-check could not write ${def_file}")
    endif()
endfunction()

# Makes the import library <implib> from <def_file>.
function(boardcontrol_import_library def_file implib)
    if(NOT CMAKE_DLLTOOL)
        message(FATAL_ERROR "No dlltool to make the import library ${implib}: "
            "install MinGW-w64's binutils. ${POWERMONITOR_INSTALL_HINT}")
    endif()
    execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${def_file} --output-lib ${implib}
        RESULT_VARIABLE failed ERROR_VARIABLE error)
    if(failed)
        message(FATAL_ERROR "dlltool could not make an import library from ${def_file}:\n${error}")
    endif()
endfunction()
