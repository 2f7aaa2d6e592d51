// alert_catalogue: the built-in message catalogue, compiled into the library.
//
// The text comes from the data file common/alert_catalogue.msgs, which the
// build turns into a byte array (cmake/embed_catalogue.cmake); nobody edits
// the generated source. The text is in the catalogue format: comment lines
// beginning with '#', then one row per message, "number type text", in
// ascending number order, every line ending in '\n' and shorter than 256
// characters. This module only holds the text; the alert module parses it
// and never changes it.
#pragma once

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

// The whole built-in catalogue, NUL-terminated. Static storage, read-only,
// never freed.
extern const char alert_builtin_catalogue[];

// Length of alert_builtin_catalogue in bytes, without the terminating NUL.
extern const uint32_t alert_builtin_catalogue_size;

#ifdef __cplusplus
}
#endif
