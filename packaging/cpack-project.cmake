# Read by cpack before each generator (CPACK_PROJECT_CONFIG_FILE).
if(CPACK_POWERMONITOR_SOURCE_DATE_EPOCH)
    # A release build: CPack gives the files in the packages this time.
    set(ENV{SOURCE_DATE_EPOCH} ${CPACK_POWERMONITOR_SOURCE_DATE_EPOCH})
endif()

# A signed release (POWERMONITOR_SIGN, see windows/sign-pe.sh): the installer
# signs the uninstaller it writes, then itself once it is made. To make a
# signed installer again from its signatures, only the uninstaller's is attached.
set(CPACK_POWERMONITOR_NSIS_SIGNING "")
if(CPACK_GENERATOR STREQUAL "NSIS" AND DEFINED ENV{POWERMONITOR_SIGN})
    set(sign_call "'\"${CPACK_POWERMONITOR_SIGN_PE}\" \"%1\" \"${CPACK_POWERMONITOR_LABEL}\"' = 0")
    string(APPEND CPACK_POWERMONITOR_NSIS_SIGNING "!uninstfinalize ${sign_call}\n")
    if("$ENV{POWERMONITOR_SIGN}" STREQUAL "sign")
        string(APPEND CPACK_POWERMONITOR_NSIS_SIGNING "!finalize ${sign_call}\n")
    endif()
endif()
