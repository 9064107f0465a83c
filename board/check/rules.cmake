# The sources of board-check's rules, apart from its command line
# (board_check.c): built into board_check_rules, into the board-check that
# the build runs on a maker's DLL (board/maker_dll.cmake) and into the fuzzer.
set(BOARD_CHECK_RULES_SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/dll_check.c ${CMAKE_CURRENT_LIST_DIR}/dll_check.h
    ${CMAKE_CURRENT_LIST_DIR}/pe_reader.c ${CMAKE_CURRENT_LIST_DIR}/pe_reader.h
    ${CMAKE_CURRENT_LIST_DIR}/check_report.c ${CMAKE_CURRENT_LIST_DIR}/check_report.h)
