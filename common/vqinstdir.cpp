// vqinstdir: installation directory discovery (placeholder until the
// discovery lands; every lookup reports "not found").
#include "common/vqinstdir.h"

bool set_vqinstall_paths(void) {
    return false;
}
int vqinstdir_set(const char *) {
    return 1;
}
const char *vqinstdir(int) {
    return nullptr;
}
void reg_set_c_stdlib(const char *) {}
const char *reg_get_c_stdlib(void) {
    return nullptr;
}
int reg_set_path(int, const char *) {
    return 0;
}
const char *reg_create_path(const char *base, int) {
    return base;
}
const char *reg_instdir(int) {
    return nullptr;
}
const char *vqinstdir_program_path(void) {
    return nullptr;
}
void vqinstdir_reset(const char *) {}
