# Board DLLs built the ways a board maker builds a closed control library, from
# the tracing board's source (never from a maker's): each calling convention,
# each naming a maker's compiler gives the exports, a dispatching shim, exports
# forwarded to DLLs beside it (by name, under other names, by ordinal, on
# through a second), gcc's stack protector with its runtime DLL beside it, the
# compiler's threads runtime beside it, which the program ships too; and
# DLLs that the program cannot use. Their exports are named by .def files made
# from the interface's list of functions. Each lies in a folder of its own
# under maker/, under the board library's name, with its companions.

set(maker_dir ${CMAKE_CURRENT_BINARY_DIR}/maker)
set(MAKER_DLL_SHAPES)
set(MAKER_DLL_TARGETS)
# A companion DLL's exports under NAMING core: Core_<function>, each with its
# place in the interface's list as its ordinal.
set(core_prefix Core_)

# maker_dll(SHAPE CONVENTION cdecl|stdcall NAMING plain|decorated|msvc|both|cppbuilder|core
#           [TABLE] [STACK_PROTECTOR] [THREADS] [FORWARD_TO module [BY core|ordinal]] [IMPORTS target]
#           [WITHOUT function] [BYTES function n] [AS companion [INTO folder]])
# AS builds a companion of SHAPE's board DLL, beside it or in the folder INTO;
# IMPORTS makes the DLL import a DLL built here.
function(maker_dll shape)
    cmake_parse_arguments(PARSE_ARGV 1 dll "TABLE;STACK_PROTECTOR;THREADS"
        "CONVENTION;NAMING;FORWARD_TO;BY;IMPORTS;WITHOUT;AS;INTO" "BYTES")
    set(def "EXPORTS\n")
    set(place 0)
    set(function_names)
    foreach(entry IN LISTS BOARDCONTROL_FUNCTIONS)
        string(REPLACE ":" ";" entry "${entry}")
        list(GET entry 0 name)
        list(GET entry 1 bytes)
        math(EXPR place "${place} + 1")
        list(APPEND function_names ${name})
        if(name STREQUAL dll_WITHOUT)
            continue()
        endif()
        set(internal ${name})
        if(dll_CONVENTION STREQUAL stdcall AND CMAKE_SIZEOF_VOID_P EQUAL 4)
            set(internal ${name}@${bytes})
        endif()
        if(dll_FORWARD_TO AND dll_BY)
            # ld cannot write a forward by ordinal: forward_by_ordinal.py makes these so.
            set(internal ${dll_FORWARD_TO}.${core_prefix}${name})
        elseif(dll_FORWARD_TO)
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
        elseif(dll_NAMING STREQUAL core)
            set(names "${core_prefix}${name}")
            set(internal "${internal} @${place}")
        endif()
        foreach(exported IN LISTS names)
            string(APPEND def "    ${exported} = ${internal}\n")
        endforeach()
    endforeach()
    set(target maker_dll_${shape})
    set(output ${BOARDCONTROL_LIBRARY_NAME})
    set(folder ${maker_dir}/${shape})
    if(dll_AS)
        string(APPEND target _${dll_AS})
        set(output ${dll_AS})
        if(dll_INTO)
            set(folder ${maker_dir}/${dll_INTO})
        endif()
    endif()
    set(def_file ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
    file(WRITE ${def_file} "${def}")

    if(dll_FORWARD_TO)
        add_library(${target} SHARED ${CMAKE_CURRENT_SOURCE_DIR}/forwarding_board.c ${def_file})
    else()
        add_library(${target} SHARED tracing_board.c ${def_file})
    endif()
    if(dll_BY STREQUAL ordinal)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/forward_by_ordinal.py $<TARGET_FILE:${target}>
                    ${dll_FORWARD_TO}.${core_prefix} ${function_names}
            VERBATIM)
    endif()
    target_link_libraries(${target} PRIVATE boardcontrol_headers)
    if(dll_IMPORTS)
        # One function of it named as undefined is enough for ld to import the DLL.
        list(GET function_names 0 first)
        set(symbol ${core_prefix}${first})
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            set(symbol _${symbol})
        endif()
        target_link_libraries(${target} PRIVATE ${dll_IMPORTS})
        target_link_options(${target} PRIVATE -Wl,--undefined=__imp_${symbol})
    endif()
    if(dll_CONVENTION STREQUAL stdcall)
        target_compile_definitions(${target} PRIVATE BCTRL_STDCALL)
    endif()
    if(dll_TABLE)
        target_compile_definitions(${target} PRIVATE TRACING_TABLE)
    endif()
    # A runtime DLL of the compiler's that the DLL imports, which a maker ships beside theirs.
    set(runtime)
    if(dll_STACK_PROTECTOR)
        target_compile_options(${target} PRIVATE -fstack-protector-all)
        target_link_options(${target} PRIVATE -fstack-protector-all)
        set(runtime libssp-0.dll)
    endif()
    if(dll_THREADS)
        set(symbol pthread_self)
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            set(symbol _${symbol})
        endif()
        target_link_libraries(${target} PRIVATE -l:libwinpthread.dll.a)
        target_link_options(${target} PRIVATE -Wl,--undefined=__imp_${symbol})
        set(runtime libwinpthread-1.dll)
    endif()
    if(runtime)
        execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=${runtime}
            OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E copy ${runtime_path} ${folder}/
            VERBATIM)
    endif()
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME ${output} PREFIX ""
        RUNTIME_OUTPUT_DIRECTORY ${folder}
        ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/maker-implib/${target}
        C_VISIBILITY_PRESET hidden)
    if(dll_AS)
        add_dependencies(maker_dll_${shape} ${target})
    else()
        set(MAKER_DLL_SHAPES ${MAKER_DLL_SHAPES} ${shape} PARENT_SCOPE)
        set(MAKER_DLL_TARGETS ${MAKER_DLL_TARGETS} ${target} PARENT_SCOPE)
    endif()
endfunction()

set(MAKER_DLL_TARGETS)
foreach(convention cdecl stdcall)
    foreach(naming plain decorated msvc both)
        maker_dll(${convention}-${naming} CONVENTION ${convention} NAMING ${naming})
    endforeach()
endforeach()
maker_dll(stdcall-table CONVENTION stdcall NAMING plain TABLE)
maker_dll(cdecl-ssp CONVENTION cdecl NAMING plain STACK_PROTECTOR)
maker_dll(cdecl-threads CONVENTION cdecl NAMING plain THREADS)
# C++Builder's __cdecl names: _name.
maker_dll(cdecl-cppbuilder CONVENTION cdecl NAMING cppbuilder)
# Thin DLLs whose exports are forwarded to a companion that holds the code.
maker_dll(stdcall-forwarded CONVENTION stdcall NAMING both FORWARD_TO Orvane_board_core)
maker_dll(stdcall-forwarded CONVENTION cdecl NAMING plain AS Orvane_board_core)
maker_dll(cdecl-forwarded-renamed CONVENTION cdecl NAMING plain FORWARD_TO Orvane_core BY core)
maker_dll(cdecl-forwarded-renamed CONVENTION cdecl NAMING core AS Orvane_core)
maker_dll(cdecl-forwarded-ordinal CONVENTION cdecl NAMING plain FORWARD_TO Orvane_core BY ordinal)
maker_dll(cdecl-forwarded-ordinal CONVENTION cdecl NAMING core AS Orvane_core)
maker_dll(cdecl-forwarded-twice CONVENTION cdecl NAMING plain FORWARD_TO Orvane_core)
maker_dll(cdecl-forwarded-twice CONVENTION cdecl NAMING plain FORWARD_TO Orvane_io BY core AS Orvane_core)
maker_dll(cdecl-forwarded-twice CONVENTION cdecl NAMING core AS Orvane_io)
set(MAKER_DLL_FITTING ${MAKER_DLL_SHAPES})

# What the program cannot use: a function missing, a function whose @N is
# not the interface's, and a DLL of the other architecture.
maker_dll(unfit-missing CONVENTION cdecl NAMING plain WITHOUT bctrl_reset_modem)
maker_dll(unfit-bytes CONVENTION stdcall NAMING decorated BYTES bctrl_deinit 8)
# A board DLL that needs a companion beside it, which needs a third DLL that
# is not shipped with them.
maker_dll(unfit-third-missing CONVENTION cdecl NAMING plain IMPORTS maker_dll_unfit-third-missing_Orvane_core)
maker_dll(unfit-third-missing CONVENTION cdecl NAMING core AS Orvane_core
    IMPORTS maker_dll_unfit-third-missing_Orvane_io)
maker_dll(unfit-third-missing CONVENTION cdecl NAMING core AS Orvane_io INTO unshipped)
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
