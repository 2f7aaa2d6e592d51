// osdep: launching programs, the command-line limit, program facts and the
// signal handlers that restore the standard streams before a tool dies.
#include "common/osdep.h"

#include "common/osdep_internal.h"
#include "common/stringcache.h"
#include "platform/platform.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kCommandLineLimit = 7191;
constexpr uint32_t kShortPathBuffer = 20480;

// Duplicates of descriptors 1 and 2 taken when the handlers were installed;
// -1 while none was taken. They are not reset after the handler closes them:
// the handler always ends the process.
int saved_stdout = -1;
int saved_stderr = -1;
bool handlers_installed = false;

bool holds_white_space(const char *s) {
    for (; *s != '\0'; ++s) {
        if (std::isspace(static_cast<unsigned char>(*s)))
            return true;
    }
    return false;
}

constexpr const char *kCrashBanner =
    "\n\nAn unexpected problem has been encountered and the program must quit; contact "
    "Brisvale support with details\n\n";

} // namespace

int32_t os_spawn(const char *path, const char **argv) {
    // The quoted copies live in the string cache: they are never freed and
    // stay reachable for as long as the caller's vector may point at them.
    for (const char **arg = argv; arg != nullptr && *arg != nullptr; ++arg)
        *arg = holds_white_space(*arg) ? sc_printf("\"%s\"", *arg) : sc_intern(*arg);
    intptr_t status = plat_spawnv(PLAT_P_WAIT, path, argv);
    if (handlers_installed)
        os_install_signals();
    return static_cast<int32_t>(status);
}

uint32_t os_cmdline_limit(void) {
    return kCommandLineLimit;
}

char *os_quote_arg(const char *s) {
    if (!holds_white_space(s))
        return osdep_heap_copy(s);
    size_t n = std::strlen(s);
    char *quoted = static_cast<char *>(must_alloc(static_cast<uint32_t>(n + 3)));
    quoted[0] = '"';
    std::memcpy(quoted + 1, s, n);
    quoted[n + 1] = '"';
    return quoted;
}

char *os_short_path(const char *path) {
    if (path == nullptr)
        return nullptr;
    static char buffer[kShortPathBuffer];
    uint32_t n = plat_GetShortPathNameA(path, buffer, kShortPathBuffer);
    if (n == 0 || n >= kShortPathBuffer)
        return nullptr;
    return osdep_heap_copy(std::string_view(buffer, n));
}

char *os_program_path(void) {
    return osdep_heap_copy(plat_pgmptr());
}

void os_install_signals(void) {
    if (saved_stdout == -1)
        saved_stdout = plat_dup(1);
    if (saved_stderr == -1)
        saved_stderr = plat_dup(2);
    for (int sig :
         {PLAT_SIGBREAK, PLAT_SIGINT, PLAT_SIGTERM, PLAT_SIGABRT, PLAT_SIGSEGV, PLAT_SIGFPE})
        plat_signal(sig, os_signal_handler);
    handlers_installed = true;
}

void os_signal_handler(int sig) {
    if (saved_stdout != -1) {
        std::fflush(stdout);
        plat_dup2(saved_stdout, 1);
        plat_close(saved_stdout);
        std::fputs("\n", stdout);
        std::fflush(stdout);
    }
    if (saved_stderr != -1) {
        std::fflush(stderr);
        plat_dup2(saved_stderr, 2);
        plat_close(saved_stderr);
        std::fflush(stderr);
    }
    if (sig == PLAT_SIGFPE || sig == PLAT_SIGSEGV || sig == PLAT_SIGABRT)
        std::fputs(kCrashBanner, stderr);
    // exit, not _exit: the exit handlers still remove the temporary files.
    std::exit(sig);
}
