// vq4: the front end's program: the start-up, the option walk and the
// driver runs, in the order the front end takes them. Everything else is
// in the front-end library (frontend.cpp), which the tests call directly.
#include "frontend/vq4.h"

#include "common/cmdline.h"
#include "common/registry.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqdebug.h"

int main(int argc, char **argv) {
    vec *driver_args = vq4_keep(vec_create(__FILE__, __LINE__));
    vec *extensions = vq4_keep(vec_create(__FILE__, __LINE__));
    vec *args = vq4_keep(cmdline_parse(argc, argv));
    reg_set_c_stdlib("c90");
    vq4_walk walk = vq4_walk_options(args, driver_args, extensions);

    redirect_stderr();
    for (uint32_t i = 0; i < vec_size(extensions); ++i) {
        select_extension(static_cast<const char *>(vec_get(extensions, i)), driver_args);
    }
    if (!walk.chip_seen && walk.command_file != nullptr) {
        walk.base_name = vq4_chip_from_command_file(walk.command_file, walk.base_name);
    }
    if (selected_extension == nullptr) {
        select_extension("VQ4", driver_args);
    }
    if (const char *debug_option = db_gen_options(DBC_VQ4, "driver")) {
        vec_insert(driver_args, const_cast<char *>(debug_option), 0);
    }
    const char *driver_name = sc_concat(walk.base_name, driver_suffix);
    if (two_pass) {
        vq4_run_first_pass(driver_name, driver_args);
    }
    bool ok = run_driver(driver_name, driver_args);
    db_finish();
    return ok ? 0 : 1;
}
