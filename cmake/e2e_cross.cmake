# End-to-end tests of a cross build. The harnesses are host programs: they
# run the programs under test through a POSIX shell. A host build of this
# tree (VQ4_E2E_HOST_BUILD, `make test-windows` passes it) supplies them,
# and here they are pointed at the programs built for the target, which
# they start through scripts/wine-run in this tree's Wine prefix.
set(VQ4_E2E_HOST_BUILD "" CACHE PATH "host build whose end-to-end harnesses drive this build's programs")
if(NOT VQ4_E2E_HOST_BUILD)
    message(STATUS "no VQ4_E2E_HOST_BUILD: the end-to-end tests are not registered")
    return()
endif()
set(VQ4_E2E_PROGRAMS
    VQ4_E2E_WINE=${CMAKE_SOURCE_DIR}/scripts/wine-run
    VQ4_E2E_WINE_PREFIX=${CMAKE_BINARY_DIR}/wine
    VQ4_E2E_FRONTEND=$<TARGET_FILE:vq4>
    VQ4_E2E_EACH=$<TARGET_FILE:vq4each>
    VQ4_E2E_RECORDER=$<TARGET_FILE:e2e_recording_driver>
    VQ4_E2E_STANDIN=$<TARGET_FILE:lumc_standin>
    VQ4_E2E_KIND=$<TARGET_FILE:vq4kind>
    VQ4_E2E_SUM=$<TARGET_FILE:vq4sum>)
foreach(harness vq4_e2e_tests vq4kind_e2e_tests vq4sum_e2e_tests)
    add_test(NAME ${harness} COMMAND ${VQ4_E2E_HOST_BUILD}/tests/e2e/${harness})
    set_tests_properties(${harness} PROPERTIES ENVIRONMENT "${VQ4_E2E_PROGRAMS}")
endforeach()
