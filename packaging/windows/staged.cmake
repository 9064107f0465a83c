# Run by cpack on the files it has staged for a Windows package, before it
# packs them (CPACK_PRE_BUILD_SCRIPTS):
#  - in a signed release (POWERMONITOR_SIGN), signs our programs and DLLs, or
#    attaches the signatures made for them (sign-pe.sh);
#  - for the installer, lists every file it may write, in order, for its
#    uninstaller (DeleteInstalledFiles), and those in the program's folder
#    itself, which a board DLL's companion never replaces (IsOwnFile). CPack's
#    own list follows the file system's order, which differs from one build
#    folder to the next, and so would the installer.
cmake_policy(VERSION 3.23)
set(staged ${CPACK_TEMPORARY_DIRECTORY})
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${staged} ${staged}/*)
list(SORT files)

set(installed)
set(folders)
foreach(file IN LISTS files)
    # The installer stages each component in a folder of its own.
    set(path ${file})
    if(path MATCHES "^([^/]+)/(.+)$" AND CMAKE_MATCH_1 IN_LIST CPACK_COMPONENTS_ALL)
        set(path ${CMAKE_MATCH_2})
    endif()
    if(DEFINED ENV{POWERMONITOR_SIGN} AND path IN_LIST CPACK_POWERMONITOR_SIGNED_FILES)
        execute_process(COMMAND ${CPACK_POWERMONITOR_SIGN_PE} ${staged}/${file} ${CPACK_POWERMONITOR_LABEL}
            COMMAND_ERROR_IS_FATAL ANY)
    endif()
    list(APPEND installed ${path})
    get_filename_component(folder ${path} DIRECTORY)
    while(folder)
        list(APPEND folders ${folder})
        get_filename_component(folder ${folder} DIRECTORY)
    endwhile()
endforeach()

if(CPACK_GENERATOR STREQUAL "NSIS")
    list(REMOVE_DUPLICATES installed)
    list(SORT installed)
    list(REMOVE_DUPLICATES folders)
    # The deepest folders first, so that each is empty when it is removed.
    list(SORT folders ORDER DESCENDING)
    set(nsh "!macro DeleteInstalledFiles\n")
    foreach(path IN LISTS installed)
        string(REPLACE "/" "\\" path "${path}")
        string(APPEND nsh "  Delete \"$INSTDIR\\${path}\"\n")
    endforeach()
    foreach(folder IN LISTS folders)
        string(REPLACE "/" "\\" folder "${folder}")
        string(APPEND nsh "  RMDir \"$INSTDIR\\${folder}\"\n")
    endforeach()
    string(APPEND nsh "!macroend\n")
    # Windows compares file names without case, and so does NSIS's ==.
    string(APPEND nsh "!macro IsOwnFile NAME OUT\n  StrCpy \${OUT} 0\n")
    set(test If)
    foreach(path IN LISTS installed)
        if(NOT path MATCHES "/")
            string(APPEND nsh "  \${${test}} \"\${NAME}\" == \"${path}\"\n")
            set(test OrIf)
        endif()
    endforeach()
    string(APPEND nsh "    StrCpy \${OUT} 1\n  \${EndIf}\n!macroend\n")
    file(WRITE ${CPACK_TOPLEVEL_DIRECTORY}/installed-files.nsh "${nsh}")
endif()
