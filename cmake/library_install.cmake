# vq4common for the suite's other tools: `cmake --install` puts the static
# library (with the platform backend compiled in), its public headers, a
# CMake package configuration and a pkg-config file under the prefix, the
# version directory, beside the front end:
#
#   lib/libvq4common.a
#   include/vq4/common/*.h        every header but the *_internal.h ones
#   include/vq4/platform/platform.h
#   lib/cmake/vq4common/          find_package(vq4common CONFIG) -> vq4::vq4common
#   lib/pkgconfig/vq4common.pc    pkg-config --cflags --libs vq4common
#
# The headers include each other as "common/x.h" and "platform/platform.h",
# so include/vq4 is the consumers' include directory and they write the same
# includes as the suite's own code. Both package files find the installation
# relative to themselves: a version directory keeps working when it is moved
# or unpacked elsewhere, as the front end does.
#
# Component "devel"; `cmake --install <build> --component devel` installs
# the library alone.

include(CMakePackageConfigHelpers)

set(VQ4_INSTALL_LIBDIR lib)
set(VQ4_INSTALL_INCLUDEDIR include/vq4)
set(VQ4_INSTALL_CMAKEDIR ${VQ4_INSTALL_LIBDIR}/cmake/vq4common)

# Programs built in this tree may use the name that an installation gives.
add_library(vq4::vq4common ALIAS vq4common)

install(TARGETS vq4common EXPORT vq4commonTargets
        ARCHIVE DESTINATION ${VQ4_INSTALL_LIBDIR} COMPONENT devel
        INCLUDES DESTINATION ${VQ4_INSTALL_INCLUDEDIR})

file(GLOB VQ4_PUBLIC_HEADERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/common/*.h)
list(FILTER VQ4_PUBLIC_HEADERS EXCLUDE REGEX "_internal\\.h$")
install(FILES ${VQ4_PUBLIC_HEADERS} DESTINATION ${VQ4_INSTALL_INCLUDEDIR}/common
        COMPONENT devel)
install(FILES ${CMAKE_SOURCE_DIR}/platform/platform.h
        DESTINATION ${VQ4_INSTALL_INCLUDEDIR}/platform COMPONENT devel)

# The CMake package: the exported target carries the include directory and
# the link dependencies (the dynamic loading library that loads libzip for
# the debug package).
install(EXPORT vq4commonTargets NAMESPACE vq4:: DESTINATION ${VQ4_INSTALL_CMAKEDIR}
        COMPONENT devel)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/vq4commonConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/vq4commonConfig.cmake
                              INSTALL_DESTINATION ${VQ4_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/vq4commonConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/vq4commonConfig.cmake
              ${CMAKE_BINARY_DIR}/vq4commonConfigVersion.cmake
        DESTINATION ${VQ4_INSTALL_CMAKEDIR} COMPONENT devel)

# The pkg-config file: the same include directory and link line.
set(VQ4_PC_LIBS "-lvq4common")
foreach(lib ${CMAKE_DL_LIBS})
    string(APPEND VQ4_PC_LIBS " -l${lib}")
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/cmake/vq4common.pc.in ${CMAKE_BINARY_DIR}/vq4common.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/vq4common.pc DESTINATION ${VQ4_INSTALL_LIBDIR}/pkgconfig
        COMPONENT devel)

# The consumer test: the library alone is installed into a scratch prefix and
# tests/consumer, a project of its own, is built against it through the
# CMake package and through pkg-config, then run. A sanitizer build leaves it
# out (the consumer is built without the sanitizers' run-time).
if(NOT VQ4_SANITIZE AND NOT CMAKE_CROSSCOMPILING)
    set(VQ4_CONSUMER_CHECK ${CMAKE_SOURCE_DIR}/tests/consumer/check.sh)
    set(VQ4_CONSUMER_WORK ${CMAKE_BINARY_DIR}/consumer-test)
    add_test(NAME library_consumer_install
             COMMAND ${VQ4_CONSUMER_CHECK} install ${VQ4_CONSUMER_WORK} ${CMAKE_BINARY_DIR})
    add_test(NAME library_consumer_cmake
             COMMAND ${VQ4_CONSUMER_CHECK} cmake ${VQ4_CONSUMER_WORK} ${CMAKE_CXX_COMPILER}
                     ${PROJECT_VERSION} ${CMAKE_GENERATOR})
    add_test(NAME library_consumer_pkgconfig
             COMMAND ${VQ4_CONSUMER_CHECK} pkgconfig ${VQ4_CONSUMER_WORK} ${CMAKE_CXX_COMPILER}
                     ${PROJECT_VERSION})
    set_tests_properties(library_consumer_install PROPERTIES FIXTURES_SETUP vq4_installed_library)
    set_tests_properties(library_consumer_cmake library_consumer_pkgconfig
                         PROPERTIES FIXTURES_REQUIRED vq4_installed_library)
endif()
