// alert: the suite's numbered diagnostics (placeholder: prints the number
// with no description; 296 ends the process) until the catalogue reader
// and the reporter land.
#include "common/alert.h"

#include <cstdio>
#include <cstdlib>

static int placeholder_report(uint32_t number) {
    std::fprintf(stderr, "(%u) no description available\n", number);
    if (number == 296) {
        cleanup(1);
        std::exit(1);
    }
    return 1;
}

alert_record *alert_lookup(uint32_t number) {
    auto *rec = static_cast<alert_record *>(std::calloc(1, sizeof(alert_record)));
    rec->type = ALERT_ERROR;
    rec->number = number;
    rec->text = "An error, warning or message was generated, but no description is available";
    return rec;
}
uint32_t findMsgFiles(const char *, int, struct vec *) {
    return 0;
}
const char *msg_filename(int) {
    return "0_en.msgs";
}
uint64_t getMsgFileVersion(const char *) {
    return 0;
}
struct vec *read_edf(const char *) {
    return nullptr;
}
int open_edf(const char *) {
    return 1;
}
int open_edf_dir(const char *) {
    return 1;
}
int alert_set_language(int) {
    return 1;
}
int alert_valid_num(uint32_t) {
    return 0;
}
const char *alert_msg_file(void) {
    return nullptr;
}
const char *alert_builtin_name(void) {
    return "0_en.msgs";
}
uint32_t alert_parse_catalogue(const char *, uint32_t, const char *, struct vec *) {
    return 0;
}

int alert_msg(uint32_t number, ...) {
    return placeholder_report(number);
}
int alert_vmsg(uint32_t number, va_list) {
    return placeholder_report(number);
}
int alert_msg_noline(uint32_t number, ...) {
    return placeholder_report(number);
}
int alert_vmsg_noline(uint32_t number, va_list) {
    return placeholder_report(number);
}
int alert_msg_noloc(uint32_t number, ...) {
    return placeholder_report(number);
}
int alert_msg_once(uint32_t number, ...) {
    return placeholder_report(number);
}
int alert_vmsg_once(uint32_t number, va_list) {
    return placeholder_report(number);
}
int alert_msg_once_noline(uint32_t number, ...) {
    return placeholder_report(number);
}
int alert_vmsg_once_noline(uint32_t number, va_list) {
    return placeholder_report(number);
}
int alert_msg_once_noloc(uint32_t number, ...) {
    return placeholder_report(number);
}
int alert_typed_msg(uint32_t number, const char *, const char *, ...) {
    return placeholder_report(number);
}
int alert_typed(const char *, const char *, ...) {
    return placeholder_report(0);
}
void alert_fatal(int code) {
    cleanup(1);
    std::exit(code ? code : 1);
}
int alert_print(const char *format, ...) {
    va_list args;
    va_start(args, format);
    int r = alert_vprint(format, args);
    va_end(args);
    return r;
}
int alert_vprint(const char *format, va_list args) {
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    return 1;
}
int alert_continue(int, const char *, ...) {
    return 1;
}
void alert_init(void) {}
uint32_t set_maxerrors(uint32_t) {
    return 20;
}
int32_t alert_set_level(int32_t) {
    return 0;
}
void alert_set_werror(int) {}
int alert_errors(void) {
    return 0;
}
void alert_set_context(const char *, const uint32_t *, const char *const *, const char *const *) {}
void alert_use_formats(int) {}
void alert_set_formats(const char *, const char *, const char *) {}
void alert_force_formats(const char *, const char *, const char *) {}
const char *alert_err_format(void) {
    return "%s";
}
const char *alert_warn_format(void) {
    return "%s";
}
const char *alert_msg_format(void) {
    return "%s";
}
alert_output_fn alert_set_output(alert_output_fn) {
    return nullptr;
}
alert_output_fn alert_get_output(void) {
    return nullptr;
}
alert_hook_fn alert_set_hook(alert_hook_fn) {
    return nullptr;
}
alert_hook_fn alert_get_hook(void) {
    return nullptr;
}
void alert_state(uint32_t, int) {}
int alert_get_state(uint32_t) {
    return 0;
}
void alert_disable(const char *) {}
void alert_reset_for_tests(void) {}
