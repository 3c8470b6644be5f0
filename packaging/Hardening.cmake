# Debian's hardening flags, as dpkg-buildflags gives them with every hardening feature on
# (DEB_BUILD_MAINT_OPTIONS=hardening=+all): fortified C library calls, the stack protector,
# relocations made read-only and bound at start (RELRO, BIND_NOW); programs are position
# independent already, as Debian's compiler makes them. The Debian package is made of this
# build's own programs, so an optimised build takes them for every target. Only what the
# hardening features add is taken (the flags with every feature on, less those with every feature
# off): optimisation and debug information stay the build type's.
#
# Left out, and the build is as before: with VT_HARDENING=OFF, without dpkg-buildflags (dpkg-dev),
# with sanitizers or fuzzing, and without optimisation, where the fortified calls cannot work.
# VT_HARDENED says whether the flags are in.
option(VT_HARDENING "Build optimised programs with Debian's hardening flags (dpkg-buildflags)" ON)
set(VT_HARDENED OFF)
find_program(DPKG_BUILDFLAGS_EXE dpkg-buildflags)
string(TOUPPER "${CMAKE_BUILD_TYPE}" vt_build_type)
if(NOT VT_HARDENING OR NOT DPKG_BUILDFLAGS_EXE OR VT_SANITIZE OR VT_FUZZ
        OR NOT vt_build_type MATCHES "^(RELEASE|RELWITHDEBINFO|MINSIZEREL)$")
    message(STATUS "Hardening flags: none (VT_HARDENING=${VT_HARDENING}, build type "
        "'${CMAKE_BUILD_TYPE}', dpkg-buildflags: ${DPKG_BUILDFLAGS_EXE})")
    return()
endif()

# The flags of @p kind (CPPFLAGS, CXXFLAGS, LDFLAGS) with the hardening features @p features
# (+all or -all), as a list in @p out.
function(vt_buildflags kind features out)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=${features}
            ${DPKG_BUILDFLAGS_EXE} --get ${kind}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    set(${out} ${flags} PARENT_SCOPE)
endfunction()

foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    vt_buildflags(${kind} +all hardened)
    vt_buildflags(${kind} -all plain)
    if(plain)
        list(REMOVE_ITEM hardened ${plain})
    endif()
    if(kind STREQUAL LDFLAGS)
        add_link_options(${hardened})
    else()
        add_compile_options(${hardened})
    endif()
    list(APPEND vt_hardening_flags ${hardened})
endforeach()
set(VT_HARDENED ON)
list(JOIN vt_hardening_flags " " vt_hardening_flags)
message(STATUS "Hardening flags (dpkg-buildflags): ${vt_hardening_flags}")
