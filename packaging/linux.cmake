# The Debian packages: "program" becomes powermonitor, "simulated_board"
# powermonitor-simulated-board.
install(FILES ${app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT program)

# The release is the changelog's newest entry: it must be project(VERSION),
# and its date is the release date that the manual page and metainfo carry.
file(STRINGS debian/changelog newest LIMIT_COUNT 1 REGEX "^powermonitor \\(")
string(REGEX MATCH "\\(([^)]+)\\)" _ "${newest}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "packaging/debian/changelog's newest entry is ${CMAKE_MATCH_1}, but project(VERSION) "
        "is ${PROJECT_VERSION}: add an entry for ${PROJECT_VERSION}")
endif()
file(STRINGS debian/changelog signed LIMIT_COUNT 1 REGEX "^ -- ")
string(REGEX MATCH "  (.+)$" _ "${signed}")
execute_process(COMMAND date -u -d "${CMAKE_MATCH_1}" +%Y-%m-%d
    OUTPUT_VARIABLE RELEASE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS debian/changelog)
configure_file(${app_id}.metainfo.xml.in ${app_id}.metainfo.xml @ONLY)
configure_file(powermonitor.1.in powermonitor.1 @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${app_id}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT program)
install(FILES powermonitor.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT program)

# Debian wants the manual page and the changelog compressed with gzip -9n:
# best compression and no time stamp, so the package is reproducible.
set(compressed)
foreach(file ${CMAKE_CURRENT_BINARY_DIR}/powermonitor.1 ${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog)
    get_filename_component(name ${file} NAME)
    set(output ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND gzip -9nc ${file} > ${output}
        DEPENDS ${file}
        VERBATIM)
    list(APPEND compressed ${output})
endforeach()
add_custom_target(packaging_compressed ALL DEPENDS ${compressed})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/powermonitor.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)

set(debian_docs debian/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
install(FILES ${debian_docs} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/powermonitor COMPONENT program)
# The record's format in full, which the manual page points to.
install(FILES ${PROJECT_SOURCE_DIR}/docs/recording.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/powermonitor
    COMPONENT program)
if(POWERMONITOR_SIMULATED_BOARD)
    install(FILES ${debian_docs}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/powermonitor-simulated-board COMPONENT simulated_board)
endif()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SOURCE powermonitor)

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME powermonitor)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SHLIBDEPS ON)
# The board library is the maker's or the simulated board's, never pulled
# in by the program: a machine with the maker's library must not get the
# simulated one by accident.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SUGGESTS powermonitor-simulated-board)
if(QT_VERSION_MAJOR EQUAL 6)
    # Debian ships Qt 6's platform plugins (xcb, wayland) apart from the libraries.
    set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS qt6-qpa-plugins)
endif()
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION
    "power monitor for the Ardelin Orvane9 board
One window polls the Orvane9 board every 100 ms and shows its supply voltages
and currents, power-good and CAN-bus power-state words, thermal-trip and
GPS-fault states and version line. The operator switches the GPS, radio,
CUA 5 V and modem supplies, resets the modem and clears the CAN-bus
power-state error.

The program reaches the board through the board maker's board-control library,
libOrvane_boardcontrol_api.so, which this package does not contain. Install
the maker's library, or powermonitor-simulated-board to try the program
without a board.")

set(CPACK_DEBIAN_SIMULATED_BOARD_PACKAGE_NAME powermonitor-simulated-board)
set(CPACK_DEBIAN_SIMULATED_BOARD_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_SIMULATED_BOARD_PACKAGE_ENHANCES powermonitor)
set(CPACK_DEBIAN_SIMULATED_BOARD_DESCRIPTION
    "simulated Orvane9 board for the power monitor (no hardware)
A stand-in for the Orvane9 board maker's board-control library, with the
same C interface and file name, installed in the power monitor's private
folder /usr/lib/powermonitor/board. It simulates a healthy board: no hardware
is read or switched. On start it writes one line to standard error saying
that the board is simulated and which library file was loaded.

Do not install this package on a machine with a real board: the power
monitor would show simulated readings instead of the board's.")
set(CPACK_GENERATOR DEB)
