// alert: the suite's numbered diagnostics.
//
// A tool reports a diagnostic by number; the catalogue gives the number its
// type and printf text. This header grows with the module; for now it holds
// the one report the containers need.
#pragma once

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

// Reports message number with the printf arguments of its text. Returns 1
// when the message was printed, 0 when it was filtered out; a fatal message
// does not return.
int alert_msg(uint32_t number, ...);

#ifdef __cplusplus
}
#endif
