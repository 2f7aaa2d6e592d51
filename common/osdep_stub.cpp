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
char *os_path_join(const char *, const char *) {
    return nullptr;
}
char *os_path_join3(uint32_t, const char *dir, const char *name) {
    return os_path_join(dir, name);
}
char *os_path_normalize(const char *) {
    return nullptr;
}
char *os_path_absolute(const char *) {
    return nullptr;
}
char *os_path_relative(const char *) {
    return nullptr;
}
bool os_path_is_absolute(const char *) {
    return false;
}
const char *os_path_tail(const char *p) {
    return p;
}
char *os_path_basename(const char *) {
    return nullptr;
}
char *os_path_stem_dot(const char *) {
    return nullptr;
}
char *os_path_stem(const char *) {
    return nullptr;
}
const char *os_path_ext(const char *) {
    return "";
}
char *os_path_dirname(const char *) {
    return nullptr;
}
size_t os_read_u8(FILE *, uint8_t *) {
    return 0;
}
size_t os_read_u16(FILE *, uint16_t *) {
    return 0;
}
size_t os_read_u16_be(FILE *, uint16_t *) {
    return 0;
}
size_t os_read_u32(FILE *, uint32_t *) {
    return 0;
}
size_t os_read_u32_be(FILE *, uint32_t *) {
    return 0;
}
size_t os_read_u64(FILE *, uint64_t *) {
    return 0;
}
size_t os_read_u64_be(FILE *, uint64_t *) {
    return 0;
}
size_t os_write_u8(FILE *, uint8_t) {
    return 0;
}
size_t os_write_u16(FILE *, uint16_t) {
    return 0;
}
size_t os_write_u16_be(FILE *, uint16_t) {
    return 0;
}
size_t os_write_u32(FILE *, uint32_t) {
    return 0;
}
size_t os_write_u32_be(FILE *, uint32_t) {
    return 0;
}
size_t os_write_u64(FILE *, uint64_t) {
    return 0;
}
size_t os_write_u64_be(FILE *, uint64_t) {
    return 0;
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
char *os_strlower(char *s) {
    return s;
}
char *os_strupper(char *s) {
    return s;
}
uint16_t *os_wcscpy(uint16_t *dst, const uint16_t *) {
    return dst;
}
uint16_t *os_wcsdup(const uint16_t *) {
    return nullptr;
}
size_t os_wcslen(const uint16_t *) {
    return 0;
}
int os_wcscmp(const uint16_t *, const uint16_t *) {
    return 0;
}
uint16_t *os_wcslower(uint16_t *s) {
    return s;
}
void os_install_signals(void) {}
void os_signal_handler(int sig) {
    std::exit(sig);
}
