# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) once the package's files are staged
# in CPACK_TEMPORARY_DIRECTORY: strips them as Debian strips its packages,
# whatever rule installed them. ELF programs lose their symbols, debug
# information and the .comment and .note sections; static libraries keep
# their symbols and lose the debug information and those sections.
file(GLOB_RECURSE staged LIST_DIRECTORIES false ${CPACK_TEMPORARY_DIRECTORY}/*)
foreach(file ${staged})
    if(IS_SYMLINK ${file})
        continue()
    endif()
    set(strip_options)
    if(file MATCHES "\\.a$")
        set(strip_options --strip-debug --enable-deterministic-archives)
    else()
        file(READ ${file} magic LIMIT 4 HEX)
        if(magic STREQUAL "7f454c46") # "\177ELF"
            set(strip_options --strip-unneeded)
        endif()
    endif()
    if(strip_options)
        execute_process(COMMAND ${CPACK_VQ4_STRIP} ${strip_options} --remove-section=.comment
                                --remove-section=.note ${file}
                        RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "cannot strip ${file}")
        endif()
    endif()
endforeach()
