# Reads a maker's board-control DLL as it comes (a DLL, perhaps a header, often
# no import library) and makes it fit to build against, or stops the build:
#  - a DLL of the other architecture cannot be loaded by this program;
#  - a function of the interface that the DLL does not export would stop the
#    program at start;
#  - on 32-bit x86, a calling convention other than the DLL's corrupts the stack
#    silently at every call.
# The functions come from boardcontrol_functions.h; gendef (mingw-w64-tools)
# shows which of them remove their arguments from the stack (__stdcall, @N).

# Sets <out_names> to the interface's function names and, for each, the variable
# bctrl_bytes_<name> in the caller's scope.
function(boardcontrol_functions out_names)
    file(READ ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/boardcontrol_functions.h text)
    # What a __stdcall function of each shape removes from the stack: its @N.
    string(REGEX MATCHALL "#define BCTRL_SHAPE_STACK_BYTES_[A-Z]+ [0-9]+" shapes "${text}")
    foreach(shape IN LISTS shapes)
        string(REGEX MATCH "_([A-Z]+) ([0-9]+)$" _ "${shape}")
        set(bctrl_shape_bytes_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
    endforeach()
    string(REGEX MATCHALL "X\\(bctrl_[A-Za-z_]+, [A-Z]+," lines "${text}")
    set(names)
    foreach(line IN LISTS lines)
        string(REGEX MATCH "X\\((bctrl_[A-Za-z_]+), ([A-Z]+)," _ "${line}")
        list(APPEND names ${CMAKE_MATCH_1})
        set(bctrl_bytes_${CMAKE_MATCH_1} ${bctrl_shape_bytes_${CMAKE_MATCH_2}} PARENT_SCOPE)
    endforeach()
    list(LENGTH names count)
    if(NOT count EQUAL 18)
        message(FATAL_ERROR "boardcontrol_functions.h lists ${count} functions, not 18")
    endif()
    set(${out_names} ${names} PARENT_SCOPE)
endfunction()

# Checks DLL against this build and sets <out_stdcall> to ON or OFF as the DLL's
# functions are __stdcall or plain C, and <out_def> to the text of a .def file
# that maps the names this build's callers use to the names the DLL exports.
function(boardcontrol_read_dll dll out_stdcall out_def)
    get_filename_component(dll_name "${dll}" NAME)
    math(EXPR build_bits "${CMAKE_SIZEOF_VOID_P} * 8")
    if(build_bits EQUAL 64)
        set(this_arch x64)
        set(other_arch x86)
        set(other_installer win32)
    else()
        set(this_arch x86)
        set(other_arch x64)
        set(other_installer win64)
    endif()

    execute_process(COMMAND ${CMAKE_OBJDUMP} -f "${dll}"
        OUTPUT_VARIABLE header ERROR_VARIABLE header RESULT_VARIABLE failed)
    if(header MATCHES "file format pei-i386")
        set(dll_bits 32)
    elseif(header MATCHES "file format pei-x86-64")
        set(dll_bits 64)
    else()
        message(FATAL_ERROR "BOARDCONTROL_RUNTIME: ${dll} is not a Windows DLL for x86 or x64:\n${header}")
    endif()
    if(NOT dll_bits EQUAL build_bits)
        message(FATAL_ERROR
            "BOARDCONTROL_RUNTIME: ${dll} is a ${dll_bits}-bit DLL, and this is the ${build_bits}-bit build "
            "(WINDOWS_ARCH=${this_arch}): a ${build_bits}-bit program cannot load it. "
            "Build with WINDOWS_ARCH=${other_arch} (make windows WINDOWS_ARCH=${other_arch}, "
            "or cmake --preset windows-${other_arch}); operators install "
            "powermonitor-${PROJECT_VERSION}-${other_installer}.exe.")
    endif()

    find_program(GENDEF gendef)
    if(NOT GENDEF)
        message(FATAL_ERROR "BOARDCONTROL_RUNTIME: gendef is needed to read ${dll_name}'s exports: "
            "install mingw-w64-tools (scripts/install-deps.sh 6 windows-${this_arch})")
    endif()
    # The names exactly as the DLL exports them, and gendef's view of each:
    # the same name, with @N appended where the function removes N bytes.
    execute_process(COMMAND ${CMAKE_OBJDUMP} -p "${dll}" OUTPUT_VARIABLE table)
    string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" rows "${table}")
    set(exports)
    foreach(row IN LISTS rows)
        string(REGEX REPLACE "^\n\t\\[ *[0-9]+\\] " "" name "${row}")
        list(APPEND exports "${name}")
    endforeach()
    execute_process(COMMAND ${GENDEF} - "${dll}" OUTPUT_VARIABLE def ERROR_QUIET RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "BOARDCONTROL_RUNTIME: gendef cannot read ${dll}")
    endif()
    string(REGEX REPLACE ".*\nEXPORTS\n" "" def "${def}")
    string(REPLACE "\n" ";" def_lines "${def}")

    boardcontrol_functions(functions)
    set(missing)
    set(stdcall_functions)
    set(plain_functions)
    set(mismatched)
    set(def_text "LIBRARY \"${dll_name}\"\nEXPORTS\n")
    foreach(function IN LISTS functions)
        set(bytes ${bctrl_bytes_${function}})
        # Plain, decorated by MinGW (name@N) or by MSVC (_name@N).
        set(export)
        foreach(candidate IN LISTS exports)
            if(candidate MATCHES "^_?${function}(@[0-9]+)?$")
                set(export "${candidate}")
                break()
            endif()
        endforeach()
        if(NOT export)
            list(APPEND missing ${function})
            continue()
        endif()
        set(removes "")
        foreach(line IN LISTS def_lines)
            string(REGEX MATCH "^[^ ;]+" token "${line}")
            if(token MATCHES "^${export}@([0-9]+)$")
                set(removes ${CMAKE_MATCH_1})
            endif()
        endforeach()
        if("${removes}" STREQUAL "" AND export MATCHES "@([0-9]+)$")
            set(removes ${CMAKE_MATCH_1})
        endif()
        if(NOT "${removes}" STREQUAL "" AND NOT removes EQUAL bytes)
            list(APPEND mismatched "${export} removes ${removes} bytes of arguments, the interface passes ${bytes}")
        elseif(bytes GREATER 0)
            # A function without arguments returns the same way in either convention.
            if("${removes}" STREQUAL "")
                list(APPEND plain_functions ${function})
            else()
                list(APPEND stdcall_functions ${function})
            endif()
        endif()
        set(export_${function} "${export}")
    endforeach()

    if(missing)
        list(LENGTH missing count)
        list(JOIN missing "\n  " listed)
        message(FATAL_ERROR "BOARDCONTROL_RUNTIME: ${dll} does not export ${count} of the 18 functions "
            "that the program calls:\n  ${listed}\nThe program would not start with this DLL "
            "(\"The procedure entry point ... could not be located\").")
    endif()
    if(mismatched)
        list(JOIN mismatched "\n  " listed)
        message(FATAL_ERROR "BOARDCONTROL_RUNTIME: ${dll} does not fit the board-control interface:\n  ${listed}")
    endif()
    if(build_bits EQUAL 64)
        set(stdcall OFF) # one calling convention on x64
    elseif(stdcall_functions AND plain_functions)
        list(JOIN stdcall_functions " " s)
        list(JOIN plain_functions " " p)
        message(FATAL_ERROR "BOARDCONTROL_RUNTIME: ${dll} mixes calling conventions: __stdcall: ${s}; plain C: ${p}")
    elseif(stdcall_functions)
        set(stdcall ON)
    else()
        set(stdcall OFF)
    endif()

    # Callers compiled with __stdcall ask for name@N; the import table names the
    # DLL's own export.
    foreach(function IN LISTS functions)
        set(caller_name ${function})
        if(stdcall)
            set(caller_name ${function}@${bctrl_bytes_${function}})
        endif()
        string(APPEND def_text "${caller_name} == ${export_${function}}\n")
    endforeach()
    set(${out_stdcall} ${stdcall} PARENT_SCOPE)
    set(${out_def} "${def_text}" PARENT_SCOPE)
endfunction()
