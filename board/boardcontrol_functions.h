/*
 * The board-control library's 18 functions, listed once, for the code that
 * stands on either side of the interface without caring which function it is:
 * fakes, tracers and the build's check of a maker's DLL read this list. The
 * declarations themselves stay in boardcontrol_api.h, plain C that a maker's
 * header can replace.
 *
 * BCTRL_FOR_EACH_FUNCTION(X) expands X(name, shape, output) once per function.
 * The shape gives the arguments after the handle, and the stack bytes a
 * __stdcall function removes on return (its @N):
 *   INIT     ()                                   none, returns the handle   @0
 *   HANDLE   (handle)                                                        @4
 *   OUTPUT   (handle, output *)                                              @8
 *   CHANNEL  (handle, int32_t channel, output *)                             @12
 *   SWITCH   (handle, int32_t on)                                            @8
 * output is the type the call writes, void where it writes nothing.
 */
#ifndef BOARDCONTROL_FUNCTIONS_H
#define BOARDCONTROL_FUNCTIONS_H

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

#endif /* BOARDCONTROL_FUNCTIONS_H */
