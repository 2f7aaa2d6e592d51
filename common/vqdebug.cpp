// vqdebug: debug options, trace output and the end-of-run work.
#include "common/vqdebug.h"

uint32_t gDebugFlags = 0;
FILE *gFile = nullptr;

void db_puts(const char *text) {
    if (gFile == nullptr)
        return;
    std::fputs(text, gFile);
    std::fputc('\n', gFile);
    std::fflush(gFile);
}

void db_vprintf(const char *fmt, va_list args) {
    if (gFile == nullptr)
        return;
    std::vfprintf(gFile, fmt, args);
    std::fputc('\n', gFile);
    std::fflush(gFile);
}

void db_printf(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    db_vprintf(fmt, args);
    va_end(args);
}
