// osdep: placeholders for the operations still being written.
#include "common/osdep.h"

#include <cstdlib>
#include <cstring>

int32_t os_spawn(const char *, const char **) {
    return -1;
}
uint32_t os_cmdline_limit(void) {
    return 7191;
}
char *os_quote_arg(const char *s) {
    return strdup(s);
}
char *os_short_path(const char *) {
    return nullptr;
}
char *os_program_path(void) {
    return strdup("");
}
char *os_tmpname(const char *, bool) {
    return nullptr;
}
char *os_tmpfile_name(const char *ext) {
    return os_tmpname(ext, false);
}
char *os_tmpfile_name_plain(void) {
    return os_tmpname(nullptr, false);
}
char *os_tmpdir_name(void) {
    return os_tmpname(nullptr, true);
}
void os_keep_temps(bool) {}
void os_remove_at_exit(const char *) {}
void os_remove_dir_at_exit(const char *) {}
int os_mkdir_p(const char *) {
    return 1;
}
int os_ensure_dir(const char *) {
    return -1;
}
int os_rmdir_r(const char *) {
    return -1;
}
int os_file_exists(const char *) {
    return 0;
}
int os_is_dir(const char *) {
    return 0;
}
int32_t os_file_size(const char *) {
    return 0;
}
bool os_file_exists_exact(const char *) {
    return false;
}
char *os_getcwd(void) {
    return nullptr;
}
FILE *os_popen_vec(struct vec *) {
    return nullptr;
}
FILE *os_popen(const char *, ...) {
    return nullptr;
}
int32_t os_pclose(FILE *) {
    return -1;
}
int os_setenv(const char *, const char *) {
    return 0;
}
int64_t os_time(int64_t *) {
    return 0;
}
const char *os_name(void) {
    return "Microsoft Windows";
}
uint32_t os_host_flags(void) {
    return 0x10000;
}
char *os_hostname(void) {
    return strdup("localhost");
}
int32_t os_num_cores(bool) {
    return 1;
}
void os_install_signals(void) {}
void os_signal_handler(int sig) {
    std::exit(sig);
}
