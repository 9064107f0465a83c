/*
 * A board DLL with no code of its own: every export is forwarded to a
 * companion DLL beside it (its .def file, tests/deploy/maker_dlls.cmake, says
 * where), as some makers ship a thin API DLL in front of their driver's.
 */
int forwarding_board_holds_no_code;
