# Board DLLs built the ways a board maker builds a closed control library, from
# the tracing board's source (never from a maker's): each calling convention,
# each naming a maker's compiler gives the exports, a dispatching shim, exports
# forwarded to a DLL beside it, gcc's stack protector with its runtime DLL
# beside it; and DLLs that the program cannot use. Their
# exports are named by .def files made from the interface's list of functions.
# Each lies in a folder of its own under maker/, under the board library's name.

set(maker_dir ${CMAKE_CURRENT_BINARY_DIR}/maker)
set(MAKER_DLL_SHAPES)

# maker_dll(SHAPE CONVENTION cdecl|stdcall NAMING plain|decorated|msvc|both|cppbuilder
#           [TABLE] [STACK_PROTECTOR] [FORWARD_TO module] [WITHOUT function] [BYTES function n])
function(maker_dll shape)
    cmake_parse_arguments(PARSE_ARGV 1 dll "TABLE;STACK_PROTECTOR" "CONVENTION;NAMING;FORWARD_TO;WITHOUT" "BYTES")
    set(def "EXPORTS\n")
    foreach(entry IN LISTS BOARDCONTROL_FUNCTIONS)
        string(REPLACE ":" ";" entry "${entry}")
        list(GET entry 0 name)
        list(GET entry 1 bytes)
        if(name STREQUAL dll_WITHOUT)
            continue()
        endif()
        set(internal ${name})
        if(dll_CONVENTION STREQUAL stdcall AND CMAKE_SIZEOF_VOID_P EQUAL 4)
            set(internal ${name}@${bytes})
        endif()
        if(dll_FORWARD_TO)
            set(internal ${dll_FORWARD_TO}.${name})
        endif()
        set(exported_bytes ${bytes})
        if(dll_BYTES)
            list(GET dll_BYTES 0 other_function)
            if(name STREQUAL other_function)
                list(GET dll_BYTES 1 exported_bytes)
            endif()
        endif()
        set(names ${name})
        if(dll_NAMING STREQUAL decorated)
            set(names ${name}@${exported_bytes})
        elseif(dll_NAMING STREQUAL msvc)
            set(names _${name}@${exported_bytes})
        elseif(dll_NAMING STREQUAL both)
            set(names ${name} _${name}@${exported_bytes})
        elseif(dll_NAMING STREQUAL cppbuilder)
            set(names _${name})
        endif()
        foreach(exported IN LISTS names)
            string(APPEND def "    ${exported} = ${internal}\n")
        endforeach()
    endforeach()
    set(def_file ${CMAKE_CURRENT_BINARY_DIR}/maker-${shape}.def)
    file(WRITE ${def_file} "${def}")

    set(target maker_dll_${shape})
    if(dll_FORWARD_TO)
        add_library(${target} SHARED ${CMAKE_CURRENT_SOURCE_DIR}/forwarding_board.c ${def_file})
    else()
        add_library(${target} SHARED tracing_board.c ${def_file})
    endif()
    target_link_libraries(${target} PRIVATE boardcontrol_headers)
    if(dll_CONVENTION STREQUAL stdcall)
        target_compile_definitions(${target} PRIVATE BCTRL_STDCALL)
    endif()
    if(dll_TABLE)
        target_compile_definitions(${target} PRIVATE TRACING_TABLE)
    endif()
    if(dll_STACK_PROTECTOR)
        # gcc links its stack protector's runtime as a DLL, which a maker ships beside theirs.
        target_compile_options(${target} PRIVATE -fstack-protector-all)
        target_link_options(${target} PRIVATE -fstack-protector-all)
        execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=libssp-0.dll
            OUTPUT_VARIABLE libssp OUTPUT_STRIP_TRAILING_WHITESPACE)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E copy ${libssp} ${maker_dir}/${shape}/
            VERBATIM)
    endif()
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME ${BOARDCONTROL_LIBRARY_NAME} PREFIX ""
        RUNTIME_OUTPUT_DIRECTORY ${maker_dir}/${shape}
        C_VISIBILITY_PRESET hidden)
    set(MAKER_DLL_SHAPES ${MAKER_DLL_SHAPES} ${shape} PARENT_SCOPE)
    set(MAKER_DLL_TARGETS ${MAKER_DLL_TARGETS} ${target} PARENT_SCOPE)
endfunction()

set(MAKER_DLL_TARGETS)
foreach(convention cdecl stdcall)
    foreach(naming plain decorated msvc both)
        maker_dll(${convention}-${naming} CONVENTION ${convention} NAMING ${naming})
    endforeach()
endforeach()
maker_dll(stdcall-table CONVENTION stdcall NAMING plain TABLE)
maker_dll(cdecl-ssp CONVENTION cdecl NAMING plain STACK_PROTECTOR)
# C++Builder's __cdecl names: _name.
maker_dll(cdecl-cppbuilder CONVENTION cdecl NAMING cppbuilder)
# Its companion, the DLL that holds the code, beside it.
maker_dll(stdcall-forwarded CONVENTION stdcall NAMING both FORWARD_TO Orvane_board_core)
add_library(maker_dll_core SHARED tracing_board.c)
target_link_libraries(maker_dll_core PRIVATE boardcontrol_headers)
target_compile_definitions(maker_dll_core PRIVATE BCTRL_BUILDING_LIBRARY)
set_target_properties(maker_dll_core PROPERTIES
    OUTPUT_NAME Orvane_board_core PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${maker_dir}/stdcall-forwarded
    C_VISIBILITY_PRESET hidden)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(maker_dll_core PRIVATE -Wl,--kill-at)
endif()
add_dependencies(maker_dll_stdcall-forwarded maker_dll_core)
set(MAKER_DLL_FITTING ${MAKER_DLL_SHAPES})

# What the program cannot use: a function missing, a function whose @N is
# not the interface's, and a DLL of the other architecture.
maker_dll(unfit-missing CONVENTION cdecl NAMING plain WITHOUT bctrl_reset_modem)
maker_dll(unfit-bytes CONVENTION stdcall NAMING decorated BYTES bctrl_deinit 8)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(other_compiler i686-w64-mingw32-gcc-posix)
else()
    set(other_compiler x86_64-w64-mingw32-gcc-posix)
endif()
set(other_dll ${maker_dir}/unfit-architecture/${BOARDCONTROL_LIBRARY_NAME}.dll)
add_custom_command(OUTPUT ${other_dll}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${maker_dir}/unfit-architecture
    COMMAND ${other_compiler} -O2 -shared -DBCTRL_BUILDING_LIBRARY -I${PROJECT_SOURCE_DIR}/board
            ${CMAKE_CURRENT_SOURCE_DIR}/tracing_board.c -o ${other_dll}
    DEPENDS tracing_board.c
    VERBATIM)
add_custom_target(maker_dll_unfit-architecture ALL DEPENDS ${other_dll})
list(APPEND MAKER_DLL_SHAPES unfit-architecture)
list(APPEND MAKER_DLL_TARGETS maker_dll_unfit-architecture)
