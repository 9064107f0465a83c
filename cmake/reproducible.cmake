# A release build (POWERMONITOR_REPRODUCIBLE): the same bytes from the same
# commit, whatever folder it is built in and whenever.
#  - No folder of this machine in the binaries: __FILE__ and the debug
#    information (which the build ID of a Linux binary is computed over, before
#    stripping) name the sources relative to the project.
#  - Programs linked with the run path they are installed with: CMake would
#    otherwise write it over the build folder's, in a string table as long as
#    the build folder's name.
#  - No time stamps in the headers of the Windows programs and DLLs that the
#    linker makes; strip stamps SOURCE_DATE_EPOCH on those it copies.
#  - The packages' file times are SOURCE_DATE_EPOCH's. It is recorded here so
#    that every cpack in this build folder uses it, however it is started.
if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
    message(FATAL_ERROR "POWERMONITOR_REPRODUCIBLE needs SOURCE_DATE_EPOCH, the time in seconds that the "
        "release's files carry (make release takes it from the commit), not '$ENV{SOURCE_DATE_EPOCH}'")
endif()
set(POWERMONITOR_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})

# The last map that matches wins: the build folder's, where it lies inside the project.
add_compile_options(
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
    -ffile-prefix-map=${PROJECT_BINARY_DIR}=./build)
set(CMAKE_BUILD_WITH_INSTALL_RPATH ON)
if(MINGW)
    add_link_options(-Wl,--no-insert-timestamp)
endif()
