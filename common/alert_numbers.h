// alert_numbers: the one place that names the message numbers the suite's
// code reports.
//
// Each row gives the name, the number and the type the code expects the
// built-in catalogue (alert_catalogue.msgs) to give it: F fatal, E error,
// M message, or a warning level. The build checks every row against the
// catalogue and fails when a number is missing or its type differs, so a
// fatal report can never quietly become a warning. Nothing else in the code
// spells these digits.
#pragma once

#include <cstdint>

#define ALERT_NUMBERS(X)                                                                           \
    X(MSG_TOO_MANY_ERRORS, 1, M)           /* "too many errors (%u)" */                            \
    X(MSG_MALFORMED_ROW, 3, M)             /* a message-file row that cannot be used */            \
    X(MSG_INTERNAL_ERROR, 5, F)            /* alert_fatal's report */                              \
    X(MSG_CANT_OPEN_FILE, 141, F)          /* "can't open %s file \"%s\": %m" */                   \
    X(MSG_OUT_OF_MEMORY, 296, F)           /* "out of memory" */                                   \
    X(MSG_EXEC_FAILED, 900, F)             /* "exec failed: %s" */                                 \
    X(MSG_EXIT_STATUS, 908, E)             /* "exit status = %d" */                                \
    X(MSG_ARGUMENT_TOO_LONG, 917, E)       /* "argument too long" */                               \
    X(MSG_UNKNOWN_EXTENSION, 1443, F)      /* "unknown --EXT sub-option \"%s\"" */                 \
    X(MSG_RESPECIFIED_EXTENSION, 1444, F)  /* "respecified C extension from ..." */                \
    X(MSG_ASSERT_WARNING, 1501, 0)         /* assertion failure at assertion level 3 */            \
    X(MSG_ASSERT_ERROR, 1502, E)           /* assertion failure at assertion level 2 */            \
    X(MSG_ASSERT_FATAL, 1503, F)           /* assertion failure at assertion level 1 */            \
    X(MSG_CANT_CREATE_TEMP, 2082, F)       /* "can't create temporary file" */                     \
    X(MSG_COMMAND_FILE_RECURSION, 2089, 2) /* a command file already being expanded */

enum alert_number : uint32_t {
#define ALERT_NUMBER_ENUM(name, number, type) name = number,
    ALERT_NUMBERS(ALERT_NUMBER_ENUM)
#undef ALERT_NUMBER_ENUM
};

// The assertion message of assertion level 1 (fatal), 2 (error) or 3
// (warning): MSG_ASSERT_BASE - level.
constexpr uint32_t MSG_ASSERT_BASE = MSG_ASSERT_WARNING + 3;
