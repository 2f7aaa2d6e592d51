// vq4assert: the always-active assertion of the containers, the string
// cache and the operating-system layer.
//
// A failed assertion writes the fixed expression text it was given, the
// source file and the line on standard error, then aborts. The text is
// passed explicitly (not taken from the condition), so the messages stay
// the same whatever the condition looks like in the code.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Writes "Assertion failed: EXPR, file FILE, line LINE" and aborts.
[[noreturn]] void vq4_assert_fail(const char *expr, const char *file, int line);

#ifdef __cplusplus
}
#endif

#define VQ4_ASSERT(cond, text) ((cond) ? (void)0 : vq4_assert_fail((text), __FILE__, __LINE__))
