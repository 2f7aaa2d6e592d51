// registry: product identity and tool paths (placeholder until the
// implementation lands).
#include "common/registry.h"

#include <cstdlib>
#include <cstring>

const char *reg_mkpath(unsigned, const char *name) {
    return name;
}
const char *reg_version(void) {
    return "0.0";
}
uint64_t reg_build_number(void) {
    return 0;
}
void reg_banner(void) {}
int reg_lang_num(const char *) {
    return REG_LANG_NONE;
}
const char *reg_lang_code(int) {
    return "en";
}
int reg_default_lang(void) {
    return REG_LANG_ENGLISH;
}
char *reg_readline(char **, FILE *) {
    return nullptr;
}
