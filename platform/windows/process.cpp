// Windows backend: process launch, exit handlers, signals, environment, time
// and host facts, mapped straight onto the Windows runtime. Only truly
// host-specific code lives here. The runtime joins a child's arguments and
// the child splits them again itself, and the host takes both path
// separators: nothing is re-split or mapped here.
#include "platform/fault.h"
#include "platform/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <process.h>
#include <windows.h>

namespace {

using host_handler = void (*)(int);

// The Windows signal numbers the suite uses are the host's own; this is the
// list of those the runtime knows.
constexpr int known_signals[] = {PLAT_SIGINT,  PLAT_SIGFPE,   PLAT_SIGSEGV,
                                 PLAT_SIGTERM, PLAT_SIGBREAK, PLAT_SIGABRT};

bool is_known_signal(int sig) {
    for (int known : known_signals)
        if (known == sig)
            return true;
    return false;
}

// While plat_spawnv waits, an interrupt (Ctrl+C, Ctrl+Break), which the
// console sends to the child as well, is ignored, as under the C library's
// system(); only signals left at their default action are taken over.
struct console_interrupts_ignored {
    static constexpr int signals[] = {SIGINT, SIGBREAK};
    host_handler before[2] = {};

    console_interrupts_ignored() {
        for (int i = 0; i < 2; ++i) {
            before[i] = std::signal(signals[i], SIG_IGN);
            if (before[i] != SIG_DFL && before[i] != SIG_ERR) {
                std::signal(signals[i], before[i]); // the program's own handler stays
                before[i] = SIG_ERR;
            }
        }
    }
    ~console_interrupts_ignored() {
        for (int i = 0; i < 2; ++i)
            if (before[i] == SIG_DFL)
                std::signal(signals[i], SIG_DFL);
    }
};

} // namespace

extern "C" intptr_t plat_spawnv(int mode, const char *path, const char *const *argv) {
    if (plat_fault_take(PLAT_CALL_SPAWNV))
        return -1;
    if (mode != PLAT_P_WAIT || path == nullptr || argv == nullptr) {
        errno = EINVAL;
        return -1;
    }
    const char *const program_only[] = {path, nullptr};
    console_interrupts_ignored during_wait;
    return _spawnv(_P_WAIT, path, argv[0] == nullptr ? program_only : argv);
}

extern "C" int plat_termination_requested(void) {
    return 0;
}

extern "C" intptr_t plat_spawn_direct(const char *path, const char *const *argv) {
    if (path == nullptr || argv == nullptr) {
        errno = EINVAL;
        return -1;
    }
    return _spawnv(_P_WAIT, path, argv);
}

extern "C" const char *plat_pgmptr(void) {
    return _pgmptr != nullptr ? _pgmptr : "";
}

extern "C" int plat_getpid(void) {
    return _getpid();
}

extern "C" plat_onexit_fn plat_onexit(plat_onexit_fn fn) {
    if (fn == nullptr)
        return nullptr;
    return _onexit(fn) == nullptr ? nullptr : fn;
}

extern "C" int plat_host_signal(int windows_sig) {
    return is_known_signal(windows_sig) ? windows_sig : -1;
}

extern "C" int plat_windows_signal(int host_sig) {
    return is_known_signal(host_sig) ? host_sig : -1;
}

extern "C" plat_sighandler plat_signal(int sig, plat_sighandler handler) {
    if (!is_known_signal(sig)) {
        errno = EINVAL;
        return PLAT_SIG_ERR;
    }
    host_handler host = handler == PLAT_SIG_DFL   ? SIG_DFL
                        : handler == PLAT_SIG_IGN ? SIG_IGN
                                                  : handler;
    host_handler old = std::signal(sig, host);
    if (old == SIG_ERR)
        return PLAT_SIG_ERR;
    return old == SIG_DFL ? PLAT_SIG_DFL : old == SIG_IGN ? PLAT_SIG_IGN : old;
}

extern "C" int plat_raise(int sig) {
    if (!is_known_signal(sig)) {
        errno = EINVAL;
        return -1;
    }
    return std::raise(sig);
}

extern "C" const char *plat_getenv(const char *name) {
    return name == nullptr ? nullptr : std::getenv(name);
}

extern "C" int plat_putenv(const char *assignment) {
    if (plat_fault_take(PLAT_CALL_PUTENV))
        return -1;
    const char *equals = assignment == nullptr ? nullptr : std::strchr(assignment, '=');
    if (equals == nullptr || equals == assignment) {
        errno = EINVAL;
        return -1;
    }
    return _putenv(assignment);
}

extern "C" int64_t plat_time64(int64_t *t) {
    __time64_t now = _time64(nullptr);
    if (t != nullptr)
        *t = now;
    return now;
}

extern "C" void plat_tzset(void) {
    _tzset();
}

extern "C" void plat_GetSystemInfo(struct plat_system_info *info) {
    SYSTEM_INFO host;
    GetSystemInfo(&host);
    info->dwNumberOfProcessors = host.dwNumberOfProcessors < 1 ? 1 : host.dwNumberOfProcessors;
}

extern "C" int plat_IsProcessorFeaturePresent(uint32_t feature) {
    return IsProcessorFeaturePresent(feature) ? 1 : 0;
}
