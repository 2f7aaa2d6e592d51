# vq4_register_gtests(target): makes a GoogleTest program's tests known to
# ctest. On the build host each test is its own ctest entry; in a cross
# build the program runs once, whole, under the cross-compiling emulator
# (Wine for Windows), which spares a start of the emulator per test and
# needs no emulator at build time.
function(vq4_register_gtests target)
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${target} COMMAND ${target})
    else()
        gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60)
    endif()
endfunction()
