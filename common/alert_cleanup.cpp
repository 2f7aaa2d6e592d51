// The library's default exit hook: does nothing. It lives alone in this
// object so that an application defining its own cleanup() replaces it
// through ordinary static-library linking.
#include "common/alert.h"

void cleanup(int) {}
