// Windows backend: process launch, exit handlers, signals, environment, time
// and host facts, mapped straight onto the Windows runtime. Signal numbers
// are the host's own, so the mapping is the identity.
#include "platform/fault.h"
#include "platform/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <process.h>
#include <windows.h>

extern "C" intptr_t plat_spawnv(int mode, const char *path, const char *const *argv) {
    if (plat_fault_take(PLAT_CALL_SPAWNV))
        return -1;
    if (mode != PLAT_P_WAIT || path == nullptr || argv == nullptr) {
        errno = EINVAL;
        return -1;
    }
    const char *const program_only[] = {path, nullptr};
    return _spawnv(_P_WAIT, path, argv[0] == nullptr ? program_only : argv);
}

extern "C" int plat_termination_requested(void) {
    return 0;
}

extern "C" intptr_t plat_spawn_direct(const char *path, const char *const *argv) {
    return _spawnv(_P_WAIT, path, argv);
}

extern "C" const char *plat_pgmptr(void) {
    char *path = nullptr;
    return _get_pgmptr(&path) == 0 && path != nullptr ? path : "";
}

extern "C" int plat_getpid(void) {
    return _getpid();
}

extern "C" plat_onexit_fn plat_onexit(plat_onexit_fn fn) {
    return _onexit(fn) == nullptr ? nullptr : fn;
}

extern "C" int plat_host_signal(int windows_sig) {
    switch (windows_sig) {
    case PLAT_SIGINT:
    case PLAT_SIGFPE:
    case PLAT_SIGSEGV:
    case PLAT_SIGTERM:
    case PLAT_SIGBREAK:
    case PLAT_SIGABRT:
        return windows_sig;
    default:
        return -1;
    }
}

extern "C" int plat_windows_signal(int host_sig) {
    return plat_host_signal(host_sig);
}

extern "C" plat_sighandler plat_signal(int sig, plat_sighandler handler) {
    if (plat_host_signal(sig) < 0) {
        errno = EINVAL;
        return PLAT_SIG_ERR;
    }
    _crt_signal_t host = handler == PLAT_SIG_DFL   ? SIG_DFL
                         : handler == PLAT_SIG_IGN ? SIG_IGN
                                                   : handler;
    _crt_signal_t old = std::signal(sig, host);
    if (old == SIG_ERR)
        return PLAT_SIG_ERR;
    return old == SIG_DFL ? PLAT_SIG_DFL : old == SIG_IGN ? PLAT_SIG_IGN : old;
}

extern "C" int plat_raise(int sig) {
    return std::raise(sig);
}

extern "C" const char *plat_getenv(const char *name) {
    return name == nullptr ? nullptr : std::getenv(name);
}

extern "C" int plat_putenv(const char *assignment) {
    if (plat_fault_take(PLAT_CALL_PUTENV))
        return -1;
    return _putenv(assignment);
}

extern "C" int64_t plat_time64(int64_t *t) {
    return _time64(t);
}

extern "C" void plat_tzset(void) {
    _tzset();
}

extern "C" void plat_GetSystemInfo(struct plat_system_info *info) {
    SYSTEM_INFO host;
    GetSystemInfo(&host);
    info->dwNumberOfProcessors = host.dwNumberOfProcessors < 1 ? 1 : host.dwNumberOfProcessors;
}
