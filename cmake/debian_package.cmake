# The Debian package, built by `make package` (CPack): vq4_<version>_<arch>.deb.
#
# It installs the version directory /opt/vq4/v<version> exactly as
# `cmake --install` lays it out (front end, drivers, tools, library, manual
# pages), and beside it what a Debian system expects of a package:
#
#   /usr/bin/vq4 -> /opt/vq4/v<version>/bin/vq4   (the front end resolves its
#                                                 real path, so the link works;
#                                                 vq4each, vq4kind, vq4sum alike)
#   /usr/share/man/man1/*.1.gz                    the manual pages, compressed
#   /usr/share/doc/vq4/copyright, changelog.gz
#   /usr/share/lintian/overrides/vq4              files in /opt are intended
#
# Those files belong to the component "debian", which a plain
# `cmake --install` leaves out (it never writes outside its prefix); the
# package is made of every component.

set(VQ4_PACKAGE_PREFIX /opt/vq4/v${PROJECT_VERSION})
set(VQ4_PACKAGE_MAINTAINER "vq4 maintainers <vq4-maintainers@lum-tools.example>"
    CACHE STRING "Maintainer field of the Debian package")
set(VQ4_DEBIAN_DIR ${CMAKE_BINARY_DIR}/debian)

# The links on the PATH, made here and installed as links. The tools find
# their installation through their real path too.
file(MAKE_DIRECTORY ${VQ4_DEBIAN_DIR}/bin)
foreach(program vq4 vq4each vq4kind vq4sum)
    file(CREATE_LINK ${VQ4_PACKAGE_PREFIX}/bin/${program} ${VQ4_DEBIAN_DIR}/bin/${program} SYMBOLIC)
    install(FILES ${VQ4_DEBIAN_DIR}/bin/${program} DESTINATION /usr/bin
            COMPONENT debian EXCLUDE_FROM_ALL)
endforeach()

# The manual pages where man(1) looks by default, compressed as Debian wants
# them (gzip -n: no name or time stamp, so the package is reproducible).
set(VQ4_DEBIAN_MAN_FILES)
foreach(page ${VQ4_MAN_FILES})
    add_custom_command(OUTPUT ${page}.gz COMMAND gzip -9nkf ${page} DEPENDS ${page} VERBATIM)
    list(APPEND VQ4_DEBIAN_MAN_FILES ${page}.gz)
endforeach()

# The changelog of this release, dated like the build (SOURCE_DATE_EPOCH
# wins), compressed alike.
string(TIMESTAMP VQ4_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${VQ4_DEBIAN_DIR}/changelog @ONLY)
add_custom_command(OUTPUT ${VQ4_DEBIAN_DIR}/changelog.gz
                   COMMAND gzip -9nkf ${VQ4_DEBIAN_DIR}/changelog
                   DEPENDS ${VQ4_DEBIAN_DIR}/changelog
                   VERBATIM)
add_custom_target(debian_files ALL DEPENDS ${VQ4_DEBIAN_MAN_FILES} ${VQ4_DEBIAN_DIR}/changelog.gz)

install(FILES ${VQ4_DEBIAN_MAN_FILES} DESTINATION /usr/share/man/man1
        COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${VQ4_DEBIAN_DIR}/changelog.gz
        DESTINATION /usr/share/doc/vq4 COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides DESTINATION /usr/share/lintian/overrides
        RENAME vq4 COMPONENT debian EXCLUDE_FROM_ALL)

# CPack: one package of every component, installed under the version
# directory.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vq4)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${VQ4_PACKAGE_PREFIX})
set(CPACK_PACKAGE_CONTACT ${VQ4_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "command front end of the lum embedded C compiler suite")
# The long description, one paragraph a blank line (CPack indents it).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "vq4 takes an old-style compiler command line for the lum family of
microcontrollers, translates a few options, chooses the compiler driver
(lumc or lumc18) and runs it through a command file.

The package installs the version directory ${VQ4_PACKAGE_PREFIX}: the
front end, stand-in compiler drivers, the tools vq4each, vq4kind and
vq4sum, the static library vq4common with its headers, CMake package and
pkg-config file, and the manual pages. The front end and the tools are
linked into /usr/bin.")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The zip library is loaded only when a debug package is written
# (--vqdebug=zip:...); the debugger only for --vqdebug=debug:....
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libzip4)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS lldb)
# Every ELF file and static library staged is stripped (cmake/debian_strip.cmake).
set(CPACK_VQ4_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/debian_strip.cmake)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL ${CMAKE_INSTALL_DEFAULT_COMPONENT_NAME} devel man debian)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
