# libzip's headers for a cross build. The zip adapter only needs libzip's
# declarations (it loads the library at run time), and they are the same on
# every host; but the host's include directory cannot be searched by a cross
# compiler without its other headers shadowing the target's. So zip.h and
# zipconf.h alone are copied into the build tree and LIBZIP_INCLUDE_DIRS
# names that copy.
set(VQ4_LIBZIP_HOST_HEADERS /usr/include CACHE PATH "where the host's zip.h and zipconf.h are")
set(LIBZIP_INCLUDE_DIRS ${CMAKE_BINARY_DIR}/libzip-headers)
foreach(header zip.h zipconf.h)
    if(NOT EXISTS ${VQ4_LIBZIP_HOST_HEADERS}/${header})
        message(FATAL_ERROR "no ${header} in ${VQ4_LIBZIP_HOST_HEADERS}: install libzip-dev")
    endif()
    configure_file(${VQ4_LIBZIP_HOST_HEADERS}/${header} ${LIBZIP_INCLUDE_DIRS}/${header} COPYONLY)
endforeach()
