// alert_internal: what the three parts of the alert module share (the
// catalogue in alert_catalogue.cpp, the message states in alert_states.cpp,
// the reporter in alert.cpp). Nothing outside them includes it.
#pragma once

#include "common/alert.h"

#include <cstdint>

namespace alert_internal {

// "(null)" for a null string, for traces.
inline const char *or_null(const char *s) {
    return s ? s : "(null)";
}

// ---- The catalogue ------------------------------------------------------------

// The start-up catalogue's record of number, or null.
const alert_record *start_up_record(uint32_t number);
// One more than the highest number the start-up catalogue can hold; 0
// before the first load.
uint32_t start_up_slots();
// The current message file, or null (alert_msg_file without its trace).
const char *current_file();
// Forgets every table (for the test reset).
void reset_catalogue();

// ---- Message states -----------------------------------------------------------

// Applies the number's state on the top level to rec, a looked-up copy; a
// demoted error becomes a warning of level threshold.
void apply_state(alert_record *rec, int32_t threshold);
// Forgets every level (for the test reset).
void reset_states();

// ---- The reporter -------------------------------------------------------------

// Calls the application's cleanup(1) and ends the process with status 1.
[[noreturn]] void exit_after_cleanup();

} // namespace alert_internal
