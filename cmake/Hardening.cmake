# The distribution's hardening for the programs that are packaged: the flags
# dpkg-buildflags gives with every hardening feature on (fortified functions,
# stack protector, full RELRO with immediate binding; PIE is the compiler's
# default), so a package follows Debian's current defaults. Needs an
# optimised build: fortification does nothing at -O0.
option(NEXIL_HARDENING "Build with the hardening flags of dpkg-buildflags" OFF)
if(NEXIL_HARDENING)
    find_program(DPKG_BUILDFLAGS_PROGRAM dpkg-buildflags)
    if(NOT DPKG_BUILDFLAGS_PROGRAM)
        message(FATAL_ERROR "NEXIL_HARDENING needs dpkg-buildflags (package dpkg-dev)")
    endif()
    set(nexil_hardening_flags)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                    ${DPKG_BUILDFLAGS_PROGRAM} --get ${kind}
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
            RESULT_VARIABLE status)
        if(NOT status EQUAL 0)
            message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
        endif()
        set(nexil_hardening_${kind} "${flags}")
    endforeach()
    string(APPEND CMAKE_CXX_FLAGS " ${nexil_hardening_CPPFLAGS} ${nexil_hardening_CXXFLAGS}")
    foreach(kind EXE SHARED MODULE)
        string(APPEND CMAKE_${kind}_LINKER_FLAGS " ${nexil_hardening_LDFLAGS}")
    endforeach()
    message(STATUS "Hardening flags: ${nexil_hardening_CPPFLAGS} ${nexil_hardening_CXXFLAGS} / ${nexil_hardening_LDFLAGS}")
endif()
