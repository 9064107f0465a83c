# Checks a maker's board-control DLL as it comes, before it is installed with
# the program, and stops the build where the program cannot use it: a DLL of
# the other architecture, or one that lacks a function of the interface under
# a name the program's binding accepts. The rules are board-check's
# (check/board_check.c), the program the installers run and that ships beside
# the program, built here for this machine.
include(${CMAKE_CURRENT_LIST_DIR}/check/rules.cmake)

function(boardcontrol_check_dll dll)
    if(NOT EXISTS "${dll}")
        message(FATAL_ERROR "BOARDCONTROL_RUNTIME: no file at ${dll}")
    endif()
    set(sources ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/check/board_check.c ${BOARD_CHECK_RULES_SOURCES}
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/boardcontrol_names.c)
    list(FILTER sources INCLUDE REGEX "\\.c$")
    set(check ${CMAKE_BINARY_DIR}/host-tools/board-check)
    find_program(HOST_C_COMPILER NAMES cc gcc clang NO_CMAKE_FIND_ROOT_PATH)
    if(NOT HOST_C_COMPILER)
        message(FATAL_ERROR "A C compiler for this machine (cc) builds board-check, which reads board DLLs: "
            "install gcc. ${POWERMONITOR_INSTALL_HINT}")
    endif()
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/host-tools)
    execute_process(COMMAND ${HOST_C_COMPILER} -std=c11 -O2 -I${CMAKE_CURRENT_FUNCTION_LIST_DIR}
            "-DPOWERMONITOR_VERSION=\"${PROJECT_VERSION}\"" ${sources} -o ${check}
        RESULT_VARIABLE failed ERROR_VARIABLE error)
    if(failed)
        message(FATAL_ERROR "Building board-check for this machine failed:\n${error}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${dll}"
        ${sources} ${BOARD_CHECK_RULES_SOURCES}
        ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/boardcontrol_functions.h ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/boardcontrol_names.h)

    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(arch x64)
    else()
        set(arch x86)
    endif()
    execute_process(COMMAND ${check} --arch ${arch} ${dll} OUTPUT_VARIABLE said RESULT_VARIABLE status)
    string(STRIP "${said}" said)
    if(NOT status EQUAL 0 AND NOT status EQUAL 4)
        message(FATAL_ERROR "BOARDCONTROL_RUNTIME: ${said}")
    endif()
    string(REGEX MATCH "\n[^\n]*board functions[^\n]*" description "${said}")
    string(STRIP "${description}" description)
    message(STATUS "Board-control DLL ${dll}: ${description}")
endfunction()
