# GoogleTest built from its Debian source package (googletest, in
# /usr/src/googletest) with the current toolchain, for a cross build where
# the host's prebuilt libraries cannot be linked. Defines GTest::gtest and
# GTest::gtest_main as find_package(GTest) would.
set(VQ4_GOOGLETEST_SOURCE /usr/src/googletest/googletest CACHE PATH "GoogleTest's source tree")
if(NOT EXISTS ${VQ4_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "no GoogleTest source in ${VQ4_GOOGLETEST_SOURCE}: install the googletest package")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# GoogleTest's own sources are not held to the suite's warning flags.
add_subdirectory(${VQ4_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(target gtest gtest_main)
    target_compile_options(${target} PRIVATE -Wno-error)
endforeach()
