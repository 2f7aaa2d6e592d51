// osdep: environment, time, host facts and the helpers the layer's files
// share.
#include "common/osdep.h"

#include "common/osdep_internal.h"
#include "common/stringcache.h"
#include "platform/platform.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char *kFixedTimeZone = "EST0EDT";
constexpr const char *kCoresVariable = "bamboo_capability_Cores";
constexpr uint32_t kWindowsPathConventions = 0x10000;

bool time_zone_fixed = false;

} // namespace

char *osdep_heap_copy(std::string_view text) {
    auto *copy = static_cast<char *>(must_alloc(static_cast<uint32_t>(text.size() + 1)));
    std::memcpy(copy, text.data(), text.size());
    return copy;
}

bool osdep_is_bare_drive(std::string_view path) {
    return path.size() == 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

size_t osdep_last_separator(std::string_view path) {
    for (char sep : {'\\', '/', ':'}) {
        size_t at = path.rfind(sep);
        if (at != std::string_view::npos)
            return at;
    }
    return std::string_view::npos;
}

int os_setenv(const char *name, const char *value) {
    if (name == nullptr)
        return 0;
    std::string assignment = std::string(name) + "=" + (value != nullptr ? value : "");
    return plat_putenv(assignment.c_str());
}

int64_t os_time(int64_t *t) {
    if (!time_zone_fixed) {
        os_setenv("TZ", kFixedTimeZone);
        plat_tzset();
        time_zone_fixed = true;
    }
    return plat_time64(t);
}

const char *os_name(void) {
    return "Microsoft Windows";
}

uint32_t os_host_flags(void) {
    return kWindowsPathConventions;
}

char *os_hostname(void) {
    return osdep_heap_copy("localhost");
}

int32_t os_num_cores(bool consult_env) {
    const char *forced = consult_env ? plat_getenv(kCoresVariable) : nullptr;
    int cores = forced != nullptr ? std::atoi(forced) : 0;
    if (cores != 0)
        return cores < 0 ? 1 : cores;
    struct plat_system_info info;
    plat_GetSystemInfo(&info);
    return info.dwNumberOfProcessors < 1 ? 1 : static_cast<int32_t>(info.dwNumberOfProcessors);
}
