# Cross-compiling for 64-bit Windows with MinGW-w64 (the posix-threads
# variant, whose C++ runtime has std::thread and std::filesystem).
# Used by `make windows`: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VQ4_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VQ4_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VQ4_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VQ4_MINGW_PREFIX}-windres)

# Headers and libraries come from the MinGW-w64 tree only; the build's own
# programs (cmake, ninja) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VQ4_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program carries its C and C++ runtimes, so that it runs from any
# directory without MinGW's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs the test programs under Wine, in a prefix of the build tree's
# own that scripts/wine-run creates on first use.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run ${CMAKE_BINARY_DIR}/wine)
