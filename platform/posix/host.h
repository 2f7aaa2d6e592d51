// host: helpers shared by the POSIX backend's files. Internal to
// platform/posix/.
#pragma once

#include <string>

// The path as the host wants it: every backslash replaced by '/'.
std::string host_path(const char *path);
