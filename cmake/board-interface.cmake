# What the build reads of the board's C interface and of board-check, so that
# each fact stays written once, in the C headers:
#   BOARDCONTROL_LIBRARY_NAME   the library's file name without prefix and suffix
#   BOARDCONTROL_FUNCTIONS      "name:N" for each of its functions, N being the
#                               bytes of arguments a __stdcall version removes (its @N)
#   BOARD_CHECK_EXIT_<VERDICT>  board-check's exit status for each verdict
#                               (FITS, DOES_NOT_FIT, UNREADABLE, FITS_SIMULATED)
#   BOARD_CHECK_<OWN>_MARK      how the version information of our own DLLs begins,
#                               by which board-check tells them (SIMULATED, RECORDER)
set(header ${PROJECT_SOURCE_DIR}/board/boardcontrol_functions.h)
file(READ ${header} text)
string(REGEX MATCH "#define BCTRL_LIBRARY_NAME \"([A-Za-z0-9_]+)\"" _ "${text}")
set(BOARDCONTROL_LIBRARY_NAME ${CMAKE_MATCH_1})
# Each line of the list ends in a backslash, which a CMake list would take for
# an escape: the entries are matched out of the whole text.
string(REGEX MATCHALL "X\\(bctrl_[A-Za-z_]+, [A-Z]+," entries "${text}")
set(BOARDCONTROL_FUNCTIONS)
foreach(entry IN LISTS entries)
    string(REGEX MATCH "X\\(([A-Za-z_]+), ([A-Z]+)," _ "${entry}")
    set(name ${CMAKE_MATCH_1})
    string(REGEX MATCH "#define BCTRL_SHAPE_STACK_BYTES_${CMAKE_MATCH_2} ([0-9]+)" _ "${text}")
    list(APPEND BOARDCONTROL_FUNCTIONS "${name}:${CMAKE_MATCH_1}")
endforeach()
list(LENGTH BOARDCONTROL_FUNCTIONS count)
if(NOT BOARDCONTROL_LIBRARY_NAME OR count LESS 1)
    message(FATAL_ERROR "cmake/board-interface.cmake cannot read ${header}")
endif()

file(READ ${PROJECT_SOURCE_DIR}/board/check/dll_check.h text)
string(REGEX MATCHALL "BOARD_[A-Z_]+ = [0-9]+" verdicts "${text}")
foreach(verdict IN LISTS verdicts)
    string(REGEX MATCH "BOARD_([A-Z_]+) = ([0-9]+)" _ "${verdict}")
    set(BOARD_CHECK_EXIT_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
endforeach()
string(REGEX MATCHALL "#define BOARD_CHECK_[A-Z]+_MARK \"[^\"]+\"" marks "${text}")
foreach(mark IN LISTS marks)
    string(REGEX MATCH "BOARD_CHECK_([A-Z]+)_MARK \"([^\"]+)\"" _ "${mark}")
    set(BOARD_CHECK_${CMAKE_MATCH_1}_MARK "${CMAKE_MATCH_2}")
endforeach()
if(NOT DEFINED BOARD_CHECK_EXIT_FITS_SIMULATED OR NOT DEFINED BOARD_CHECK_RECORDER_MARK)
    message(FATAL_ERROR "cmake/board-interface.cmake cannot read board-check's exit status and marks")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header} ${PROJECT_SOURCE_DIR}/board/check/dll_check.h)
unset(header)
unset(text)
unset(entries)
unset(verdicts)
unset(marks)
