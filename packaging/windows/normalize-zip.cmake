# Run by cpack once a release build's ZIP is made (CPACK_POST_BUILD_SCRIPTS).
# CPack adds the files in the file system's order, which differs from one
# machine to the next; strip-nondeterminism puts them in order by name and
# gives each the release's time and plain permissions.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(package MATCHES "\\.zip$")
        execute_process(COMMAND ${CPACK_POWERMONITOR_STRIP_NONDETERMINISM} --type zip
                --timestamp $ENV{SOURCE_DATE_EPOCH} ${package}
            COMMAND_ERROR_IS_FATAL ANY)
    endif()
endforeach()
