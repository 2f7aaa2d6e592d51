// POSIX backend: process launch, exit handlers, signals, environment, time
// and host facts. Only truly host-specific code lives here.
#include "platform/fault.h"
#include "platform/platform.h"
#include "platform/posix/host.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// Joins the vector with single blanks, as the Windows runtime builds a
// child's command line.
std::string join_with_blanks(const char *const *argv) {
    std::string line;
    for (const char *const *a = argv; *a != nullptr; ++a) {
        if (a != argv)
            line += ' ';
        line += *a;
    }
    return line;
}

// The exit status of a finished child: its own code, or 128 + the host
// signal that ended it.
int status_of(int wait_status) {
    if (WIFEXITED(wait_status))
        return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status))
        return 128 + WTERMSIG(wait_status);
    return 128;
}

struct signal_pair {
    int windows;
    int host;
};

constexpr signal_pair signal_table[] = {
    {PLAT_SIGINT, SIGINT},   {PLAT_SIGFPE, SIGFPE},    {PLAT_SIGSEGV, SIGSEGV},
    {PLAT_SIGTERM, SIGTERM}, {PLAT_SIGBREAK, SIGQUIT}, {PLAT_SIGABRT, SIGABRT},
};
constexpr int signal_count = sizeof signal_table / sizeof signal_table[0];

int signal_index_windows(int windows_sig) {
    for (int i = 0; i < signal_count; ++i)
        if (signal_table[i].windows == windows_sig)
            return i;
    return -1;
}

int signal_index_host(int host_sig) {
    for (int i = 0; i < signal_count; ++i)
        if (signal_table[i].host == host_sig)
            return i;
    return -1;
}

// The caller's handler per table row; PLAT_SIG_DFL until one is installed.
volatile plat_sighandler signal_handlers[signal_count];

// Runs on a host signal: resets the row to the default (the host does the
// same through SA_RESETHAND) and calls the caller's handler with the
// Windows number.
void signal_trampoline(int host_sig) {
    int i = signal_index_host(host_sig);
    if (i < 0)
        return;
    plat_sighandler handler = signal_handlers[i];
    signal_handlers[i] = PLAT_SIG_DFL;
    if (handler != PLAT_SIG_DFL && handler != PLAT_SIG_IGN)
        handler(signal_table[i].windows);
}

// Resets every signal to its default action and clears the mask in a
// child, so that it starts as a fresh process would, whatever this process
// ignores or blocks (SIGPIPE, which the backend ignores, included).
void fresh_signal_attributes(posix_spawnattr_t *attr) {
    sigset_t defaults;
    sigset_t empty;
    sigfillset(&defaults);
    sigdelset(&defaults, SIGKILL);
    sigdelset(&defaults, SIGSTOP);
    sigemptyset(&empty);
    posix_spawnattr_setsigdefault(attr, &defaults);
    posix_spawnattr_setsigmask(attr, &empty);
    posix_spawnattr_setflags(attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
}

// While plat_spawnv waits for a child, this process behaves as the C
// library's system() does: an interrupt or quit from the terminal reaches
// the child (it is in the same process group) and the parent ignores it; a
// request to end (SIGTERM, SIGHUP) sent to the parent is passed on to the
// child and remembered. Only signals left at their default action are
// taken over; a handler the program installed stays in force. Children are
// reaped by the wait, so SIGCHLD is put to its default while it lasts.
volatile sig_atomic_t waited_child = 0;
volatile sig_atomic_t pending_termination = 0;
volatile sig_atomic_t termination_requested = 0;

void pass_on_termination(int host_sig) {
    pending_termination = host_sig;
    termination_requested = host_sig;
    if (waited_child > 0)
        kill(static_cast<pid_t>(waited_child), host_sig);
}

struct wait_disposition {
    int host;
    void (*during)(int);
};

const wait_disposition wait_dispositions[] = {
    {SIGINT, SIG_IGN},
    {SIGQUIT, SIG_IGN},
    {SIGTERM, pass_on_termination},
    {SIGHUP, pass_on_termination},
};
constexpr int wait_disposition_count = sizeof wait_dispositions / sizeof wait_dispositions[0];

// The dispositions in force before a wait, put back after it.
struct saved_dispositions {
    struct sigaction before[wait_disposition_count];
    bool taken[wait_disposition_count];
    struct sigaction child_before;
    bool child_taken;
};

void take_over_for_wait(saved_dispositions &saved) {
    for (int i = 0; i < wait_disposition_count; ++i) {
        struct sigaction during {};
        sigemptyset(&during.sa_mask);
        during.sa_handler = wait_dispositions[i].during;
        saved.taken[i] = sigaction(wait_dispositions[i].host, nullptr, &saved.before[i]) == 0 &&
                         saved.before[i].sa_handler == SIG_DFL &&
                         sigaction(wait_dispositions[i].host, &during, nullptr) == 0;
    }
    struct sigaction child_default {};
    sigemptyset(&child_default.sa_mask);
    child_default.sa_handler = SIG_DFL;
    saved.child_taken = sigaction(SIGCHLD, &child_default, &saved.child_before) == 0;
}

void give_back_after_wait(const saved_dispositions &saved) {
    for (int i = 0; i < wait_disposition_count; ++i)
        if (saved.taken[i])
            sigaction(wait_dispositions[i].host, &saved.before[i], nullptr);
    if (saved.child_taken)
        sigaction(SIGCHLD, &saved.child_before, nullptr);
}

// A write to a pipe whose reader has gone fails with EPIPE instead of
// ending the process, as writes fail on the suite's native host.
struct BrokenPipesAreErrors {
    BrokenPipesAreErrors() { signal(SIGPIPE, SIG_IGN); }
} broken_pipes_are_errors;

// Starts the program; 0 and the child's id, or the host's error number.
int start_child(const std::string &program, char **argv, pid_t *pid) {
    posix_spawnattr_t attr;
    int rc = posix_spawnattr_init(&attr);
    if (rc != 0)
        return rc;
    fresh_signal_attributes(&attr);
    rc = posix_spawn(pid, program.c_str(), nullptr, &attr, argv, environ);
    posix_spawnattr_destroy(&attr);
    return rc;
}

int wait_for_child(pid_t pid) {
    int wait_status = 0;
    while (waitpid(pid, &wait_status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return status_of(wait_status);
}

constexpr int onexit_capacity = 32;
plat_onexit_fn onexit_slots[onexit_capacity];
int onexit_count = 0;

// Registered once per plat_onexit call; the host runs these in reverse
// order, so each run takes the most recent remaining slot.
void run_latest_onexit() {
    if (onexit_count > 0)
        onexit_slots[--onexit_count]();
}

char program_path[4096];

} // namespace

extern "C" intptr_t plat_spawnv(int mode, const char *path, const char *const *argv) {
    if (plat_fault_take(PLAT_CALL_SPAWNV))
        return -1;
    if (mode != PLAT_P_WAIT || path == nullptr || argv == nullptr) {
        errno = EINVAL;
        return -1;
    }
    const char *const program_only[] = {path, nullptr};
    const char *const *vector = argv[0] == nullptr ? program_only : argv;
    char **child_argv = plat_split_command_line(join_with_blanks(vector).c_str(), nullptr);
    if (child_argv == nullptr) {
        errno = ENOMEM;
        return -1;
    }
    saved_dispositions saved;
    pending_termination = 0;
    take_over_for_wait(saved);
    pid_t pid = 0;
    int rc = start_child(host_path(path), child_argv, &pid);
    std::free(child_argv);
    int status = -1;
    if (rc == 0) {
        waited_child = pid;
        if (pending_termination != 0) // arrived before the child's id was known
            kill(pid, pending_termination);
        status = wait_for_child(pid);
        waited_child = 0;
    }
    give_back_after_wait(saved);
    if (rc != 0) {
        errno = rc;
        return -1;
    }
    return status;
}

extern "C" int plat_termination_requested(void) {
    return termination_requested != 0;
}

extern "C" intptr_t plat_spawn_direct(const char *path, const char *const *argv) {
    if (path == nullptr || argv == nullptr) {
        errno = EINVAL;
        return -1;
    }
    pid_t pid = 0;
    int rc = posix_spawn(&pid, path, nullptr, nullptr, const_cast<char *const *>(argv), environ);
    if (rc != 0) {
        errno = rc;
        return -1;
    }
    return wait_for_child(pid);
}

extern "C" const char *plat_pgmptr(void) {
    if (program_path[0] == '\0') {
        ssize_t n = readlink("/proc/self/exe", program_path, sizeof program_path - 1);
        program_path[n > 0 ? n : 0] = '\0';
    }
    return program_path;
}

extern "C" int plat_getpid(void) {
    return static_cast<int>(getpid());
}

extern "C" plat_onexit_fn plat_onexit(plat_onexit_fn fn) {
    if (fn == nullptr || onexit_count == onexit_capacity)
        return nullptr;
    if (std::atexit(run_latest_onexit) != 0)
        return nullptr;
    onexit_slots[onexit_count++] = fn;
    return fn;
}

extern "C" int plat_host_signal(int windows_sig) {
    int i = signal_index_windows(windows_sig);
    return i < 0 ? -1 : signal_table[i].host;
}

extern "C" int plat_windows_signal(int host_sig) {
    int i = signal_index_host(host_sig);
    return i < 0 ? -1 : signal_table[i].windows;
}

extern "C" plat_sighandler plat_signal(int sig, plat_sighandler handler) {
    int i = signal_index_windows(sig);
    if (i < 0) {
        errno = EINVAL;
        return PLAT_SIG_ERR;
    }
    struct sigaction action {};
    struct sigaction old {};
    sigemptyset(&action.sa_mask);
    if (handler == PLAT_SIG_DFL)
        action.sa_handler = SIG_DFL;
    else if (handler == PLAT_SIG_IGN)
        action.sa_handler = SIG_IGN;
    else {
        action.sa_handler = signal_trampoline;
        action.sa_flags = SA_RESETHAND | SA_RESTART;
    }
    plat_sighandler previous = signal_handlers[i];
    signal_handlers[i] = handler;
    if (sigaction(signal_table[i].host, &action, &old) != 0) {
        signal_handlers[i] = previous;
        return PLAT_SIG_ERR;
    }
    if (old.sa_handler == SIG_IGN)
        return PLAT_SIG_IGN;
    return old.sa_handler == signal_trampoline ? previous : PLAT_SIG_DFL;
}

extern "C" int plat_raise(int sig) {
    int host = plat_host_signal(sig);
    if (host < 0) {
        errno = EINVAL;
        return -1;
    }
    return std::raise(host);
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
    std::string name(assignment, equals);
    if (equals[1] == '\0')
        return unsetenv(name.c_str());
    return setenv(name.c_str(), equals + 1, 1);
}

extern "C" int64_t plat_time64(int64_t *t) {
    int64_t now = static_cast<int64_t>(std::time(nullptr));
    if (t != nullptr)
        *t = now;
    return now;
}

extern "C" void plat_tzset(void) {
    tzset();
}

extern "C" void plat_GetSystemInfo(struct plat_system_info *info) {
    long online = sysconf(_SC_NPROCESSORS_ONLN);
    info->dwNumberOfProcessors = online < 1 ? 1u : static_cast<uint32_t>(online);
}
