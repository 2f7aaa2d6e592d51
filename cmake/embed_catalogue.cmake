# Checks the built-in message catalogue and turns it into a C++ source.
#
#   cmake -DINPUT=<catalogue.msgs> -DOUTPUT=<generated.cpp> [-DNUMBERS=<alert_numbers.h>]
#         -P embed_catalogue.cmake
#
# The catalogue is plain text: comment lines beginning with '#', then rows
# "number type text". The build fails, naming the line, when a line is 256
# characters or longer, holds a byte other than printable ASCII or tab, is a
# row without number, type or text, has a type other than F, E, M or a
# warning level -9..9, or a number that is not above the previous row's.
# With NUMBERS, every row X(NAME, number, type) of that header must name a
# number of the catalogue whose type is exactly the type the code expects.
# The generated source defines alert_builtin_catalogue as a NUL-terminated
# byte array (a byte array has no length limit in any compiler, unlike a
# string literal) and alert_builtin_catalogue_size.

if(NOT INPUT OR NOT OUTPUT)
    message(FATAL_ERROR "embed_catalogue: INPUT and OUTPUT must be set")
endif()

file(READ "${INPUT}" content)
# A checkout with CR LF line ends yields the same text as one with LF.
string(REPLACE "\r\n" "\n" content "${content}")
if(content STREQUAL "")
    message(FATAL_ERROR "${INPUT}: the catalogue is empty")
endif()
string(LENGTH "${content}" total)
math(EXPR last_index "${total} - 1")
string(SUBSTRING "${content}" ${last_index} 1 last_char)
if(NOT last_char STREQUAL "\n")
    message(FATAL_ERROR "${INPUT}: the last line does not end with a line feed")
endif()

function(catalogue_error lineno what)
    message(FATAL_ERROR "${INPUT}:${lineno}: ${what}")
endfunction()

set(rest "${content}")
set(lineno 0)
set(previous -1)
set(rows 0)
while(NOT rest STREQUAL "")
    string(FIND "${rest}" "\n" newline)
    string(SUBSTRING "${rest}" 0 ${newline} line)
    math(EXPR next "${newline} + 1")
    string(SUBSTRING "${rest}" ${next} -1 rest)
    math(EXPR lineno "${lineno} + 1")

    string(LENGTH "${line}" length)
    if(length GREATER_EQUAL 256)
        catalogue_error(${lineno} "line is ${length} characters long; the limit is 255")
    endif()
    if(line MATCHES "[^\t -~]")
        catalogue_error(${lineno} "line holds a byte that is not printable ASCII or tab")
    endif()
    if(line MATCHES "^#")
        continue()
    endif()
    if(NOT line MATCHES "^[ \t]*([0-9]+)[ \t]+([^ \t]+)[ \t](.+)$")
        catalogue_error(${lineno} "row needs a number, a type and a text")
    endif()
    set(number ${CMAKE_MATCH_1})
    set(type ${CMAKE_MATCH_2})
    if(NOT type MATCHES "^(F|E|M|-?[0-9])$")
        catalogue_error(${lineno} "type \"${type}\" is none of F, E, M or a warning level -9..9")
    endif()
    if(number GREATER 10000)
        catalogue_error(${lineno} "number ${number} is above 10000")
    endif()
    if(number LESS_EQUAL previous)
        catalogue_error(${lineno} "number ${number} does not follow ${previous} in ascending order")
    endif()
    set(previous ${number})
    set(type_of_${number} ${type})
    math(EXPR rows "${rows} + 1")
endwhile()
if(rows EQUAL 0)
    message(FATAL_ERROR "${INPUT}: the catalogue has no rows")
endif()

if(NUMBERS)
    file(READ "${NUMBERS}" header)
    string(REGEX MATCHALL "X\\(MSG_[A-Z_]+, [0-9]+, [^)]+\\)" named "${header}")
    if(NOT named)
        message(FATAL_ERROR "${NUMBERS}: no named message numbers found")
    endif()
    foreach(row IN LISTS named)
        string(REGEX MATCH "X\\((MSG_[A-Z_]+), ([0-9]+), ([^)]+)\\)" _ "${row}")
        set(name ${CMAKE_MATCH_1})
        set(number ${CMAKE_MATCH_2})
        set(expected ${CMAKE_MATCH_3})
        if(NOT DEFINED type_of_${number})
            message(FATAL_ERROR "${NUMBERS}: ${name} names ${number}, which the catalogue lacks")
        endif()
        if(NOT type_of_${number} STREQUAL expected)
            message(FATAL_ERROR "${NUMBERS}: ${name} expects ${number} to have type ${expected}; "
                                "the catalogue gives ${type_of_${number}}")
        endif()
    endforeach()
endif()

# Hex of the normalised text, sixteen bytes to a line.
set(normalised "${OUTPUT}.txt")
file(WRITE "${normalised}" "${content}")
file(READ "${normalised}" hex HEX)
file(REMOVE "${normalised}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 sixteen)
string(REGEX REPLACE "(${sixteen})" "\\1\n    " bytes "${bytes}")

get_filename_component(input_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}"
"// Generated at build time from ${input_name} by embed_catalogue.cmake; do not edit.
// ${rows} rows, ${total} bytes.
#include \"common/alert_catalogue.h\"

const char alert_builtin_catalogue[] = {
    ${bytes}0x00};

const uint32_t alert_builtin_catalogue_size = sizeof(alert_builtin_catalogue) - 1;
")
