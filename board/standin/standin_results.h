/* Result codes of the stand-in board library. The maker's library has codes of
 * its own; the monitor examines none of them. */
#ifndef STANDIN_RESULTS_H
#define STANDIN_RESULTS_H

enum standin_result {
    STANDIN_OK = 0,
    /* The handle is not the one bctrl_init returned, or the board is closed. */
    STANDIN_ERROR_HANDLE = -1,
    /* A null pointer, a channel other than 0, or a switch state other than 0 or 1. */
    STANDIN_ERROR_ARGUMENT = -2,
};

#endif
