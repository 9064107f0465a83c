/*
 * The board-control library's 18 functions, listed once, for the code that
 * stands on either side of the interface without caring which function it is:
 * fakes, tracers and the build's check of a maker's DLL read this list. The
 * declarations themselves stay in boardcontrol_api.h, plain C that a maker's
 * header can replace.
 *
 * BCTRL_FOR_EACH_FUNCTION(X) expands X(name, shape, output) once per function.
 * The shape gives the arguments after the handle:
 *   INIT     ()                                   none, returns the handle
 *   HANDLE   (handle)
 *   OUTPUT   (handle, output *)
 *   CHANNEL  (handle, int32_t channel, output *)
 *   SWITCH   (handle, int32_t on)
 * output is the type the call writes, void where it writes nothing.
 *
 * The BCTRL_SHAPE_* macros below let one definition serve every function:
 *   BCTRL_SHAPE_RETURN_##shape name BCTRL_SHAPE_PARAMETERS_##shape(output)
 * declares the function with the parameters handle, argument and out; the
 * _HAS_ macros say which of them it has, _OUTPUT_SIZE how many bytes it writes,
 * _STACK_BYTES how many bytes of arguments a __stdcall version removes from
 * the stack on return (its @N; the build's check of a maker's DLL reads these).
 */
#ifndef BOARDCONTROL_FUNCTIONS_H
#define BOARDCONTROL_FUNCTIONS_H

/* The library's file name without prefix and suffix: Orvane_boardcontrol_api.dll,
 * libOrvane_boardcontrol_api.so. */
#define BCTRL_LIBRARY_NAME "Orvane_boardcontrol_api"

#define BCTRL_FOR_EACH_FUNCTION(X)                                                                           \
  X(bctrl_init, INIT, void)                                                                                  \
  X(bctrl_deinit, HANDLE, void)                                                                              \
  X(bctrl_get_version_info, OUTPUT, bctrl_version_info)                                                      \
  X(bctrl_get_input_voltage, CHANNEL, bctrl_input_voltage)                                                   \
  X(bctrl_get_canbus_powerstate, OUTPUT, uint32_t)                                                           \
  X(bctrl_get_pgood_states, OUTPUT, uint32_t)                                                                \
  X(bctrl_get_lcd_voltage, CHANNEL, uint16_t)                                                                \
  X(bctrl_get_pcie_voltage, CHANNEL, uint16_t)                                                               \
  X(bctrl_get_display_current, CHANNEL, uint16_t)                                                            \
  X(bctrl_get_cpu_current, CHANNEL, uint16_t)                                                                \
  X(bctrl_get_gps_fault_state, OUTPUT, uint8_t)                                                              \
  X(bctrl_get_thermal_trip_state, OUTPUT, uint8_t)                                                           \
  X(bctrl_enable_pwr_gps, SWITCH, void)                                                                      \
  X(bctrl_enable_pwr_radio, SWITCH, void)                                                                    \
  X(bctrl_enable_CUA, SWITCH, void)                                                                          \
  X(bctrl_enable_modem, SWITCH, void)                                                                        \
  X(bctrl_reset_modem, HANDLE, void)                                                                         \
  X(bctrl_reset_canbus_powerstate_error, HANDLE, void)

/* NOLINTBEGIN(bugprone-macro-parentheses): output is a type. */
#define BCTRL_SHAPE_RETURN_INIT bctrl_handle
#define BCTRL_SHAPE_RETURN_HANDLE bctrl_result
#define BCTRL_SHAPE_RETURN_OUTPUT bctrl_result
#define BCTRL_SHAPE_RETURN_CHANNEL bctrl_result
#define BCTRL_SHAPE_RETURN_SWITCH bctrl_result

#define BCTRL_SHAPE_PARAMETERS_INIT(output) (void)
#define BCTRL_SHAPE_PARAMETERS_HANDLE(output) (bctrl_handle handle)
#define BCTRL_SHAPE_PARAMETERS_OUTPUT(output) (bctrl_handle handle, output * out)
#define BCTRL_SHAPE_PARAMETERS_CHANNEL(output) (bctrl_handle handle, int32_t argument, output * out)
#define BCTRL_SHAPE_PARAMETERS_SWITCH(output) (bctrl_handle handle, int32_t argument)
/* NOLINTEND(bugprone-macro-parentheses) */

/* The parameters as passed on, for a call through a pointer of the same type. */
#define BCTRL_SHAPE_ARGUMENTS_INIT ()
#define BCTRL_SHAPE_ARGUMENTS_HANDLE (handle)
#define BCTRL_SHAPE_ARGUMENTS_OUTPUT (handle, out)
#define BCTRL_SHAPE_ARGUMENTS_CHANNEL (handle, argument, out)
#define BCTRL_SHAPE_ARGUMENTS_SWITCH (handle, argument)

/* The same three, each 0 where the shape lacks it. */
#define BCTRL_SHAPE_HANDLE_INIT 0u
#define BCTRL_SHAPE_HANDLE_HANDLE handle
#define BCTRL_SHAPE_HANDLE_OUTPUT handle
#define BCTRL_SHAPE_HANDLE_CHANNEL handle
#define BCTRL_SHAPE_HANDLE_SWITCH handle
#define BCTRL_SHAPE_ARGUMENT_INIT 0
#define BCTRL_SHAPE_ARGUMENT_HANDLE 0
#define BCTRL_SHAPE_ARGUMENT_OUTPUT 0
#define BCTRL_SHAPE_ARGUMENT_CHANNEL argument
#define BCTRL_SHAPE_ARGUMENT_SWITCH argument
#define BCTRL_SHAPE_OUT_INIT NULL
#define BCTRL_SHAPE_OUT_HANDLE NULL
#define BCTRL_SHAPE_OUT_OUTPUT out
#define BCTRL_SHAPE_OUT_CHANNEL out
#define BCTRL_SHAPE_OUT_SWITCH NULL

#define BCTRL_SHAPE_HAS_HANDLE_INIT 0
#define BCTRL_SHAPE_HAS_HANDLE_HANDLE 1
#define BCTRL_SHAPE_HAS_HANDLE_OUTPUT 1
#define BCTRL_SHAPE_HAS_HANDLE_CHANNEL 1
#define BCTRL_SHAPE_HAS_HANDLE_SWITCH 1
#define BCTRL_SHAPE_HAS_ARGUMENT_INIT 0
#define BCTRL_SHAPE_HAS_ARGUMENT_HANDLE 0
#define BCTRL_SHAPE_HAS_ARGUMENT_OUTPUT 0
#define BCTRL_SHAPE_HAS_ARGUMENT_CHANNEL 1
#define BCTRL_SHAPE_HAS_ARGUMENT_SWITCH 1

#define BCTRL_SHAPE_OUTPUT_SIZE_INIT(output) 0
#define BCTRL_SHAPE_OUTPUT_SIZE_HANDLE(output) 0
#define BCTRL_SHAPE_OUTPUT_SIZE_OUTPUT(output) sizeof(output)
#define BCTRL_SHAPE_OUTPUT_SIZE_CHANNEL(output) sizeof(output)
#define BCTRL_SHAPE_OUTPUT_SIZE_SWITCH(output) 0

#define BCTRL_SHAPE_STACK_BYTES_INIT 0
#define BCTRL_SHAPE_STACK_BYTES_HANDLE 4
#define BCTRL_SHAPE_STACK_BYTES_OUTPUT 8
#define BCTRL_SHAPE_STACK_BYTES_CHANNEL 12
#define BCTRL_SHAPE_STACK_BYTES_SWITCH 8

#endif /* BOARDCONTROL_FUNCTIONS_H */
