// fault: the backends' side of the test-only failure switches declared in
// platform.h. Internal to platform/; never included by the library above.
#pragma once

#include "platform/platform.h"

// True when a test asked this call to fail now; errno is then set to the
// requested value and the caller returns its documented failure result.
// Otherwise counts the call and returns false.
bool plat_fault_take(plat_call call);
