# vq4_register_gtests(target): makes a GoogleTest program's tests known to
# ctest. On the build host each test is its own ctest entry; in a cross
# build the program runs once, whole, under the cross-compiling emulator
# (Wine for Windows), which spares a start of the emulator per test and
# needs no emulator at build time. There the tests that tests/
# windows_pending.txt names are left out, and a second entry prints that
# list with its reasons, so that it is seen in every run.
set(VQ4_WINDOWS_PENDING ${CMAKE_SOURCE_DIR}/tests/windows_pending.txt)

function(vq4_register_gtests target)
    if(NOT CMAKE_CROSSCOMPILING)
        gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60)
        return()
    endif()
    set(filter "")
    if(WIN32 AND EXISTS ${VQ4_WINDOWS_PENDING})
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VQ4_WINDOWS_PENDING})
        file(STRINGS ${VQ4_WINDOWS_PENDING} lines REGEX "^[^#].")
        if(lines)
            list(JOIN lines ":" pending)
            set(filter --gtest_filter=-${pending})
            add_test(NAME ${target}_pending_on_windows
                     COMMAND ${CMAKE_COMMAND} -E cat ${VQ4_WINDOWS_PENDING})
        endif()
    endif()
    add_test(NAME ${target} COMMAND ${target} ${filter})
endfunction()
