// driver_args: the stand-in drivers' reading of "@" command files.
#include "tools/driver_args.h"

#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqdebug.h"
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The command files being read, outermost first: one that names itself,
// directly or through others, is not read again.
std::vector<plat_file_id> files_being_read;

bool is_being_read(const plat_file_id &id) {
    for (const plat_file_id &open : files_being_read) {
        if (open.volume == id.volume && open.index == id.index) {
            return true;
        }
    }
    return false;
}

// The whole text of a regular file as a text-mode stream reads it; false
// when it is not a regular file or cannot be read.
bool read_text(const char *path, std::string &text) {
    FILE *file = plat_fopen_regular(path, "r");
    if (file == nullptr) {
        return false;
    }
    char chunk[4096];
    while (plat_fgets(chunk, sizeof chunk, file) != nullptr) {
        text += chunk;
    }
    bool read = std::ferror(file) == 0;
    std::fclose(file);
    return read;
}

void add_argument(vec *out, const char *arg);

// Appends the arguments of a command file; false when it cannot be read or
// is already being read.
bool add_command_file(vec *out, const char *path) {
    std::string text;
    plat_file_id id;
    if (plat_file_identity(path, &id) != 0 || is_being_read(id) || !read_text(path, text)) {
        return false;
    }
    int count = 0;
    char **items = plat_split_arguments(text.c_str(), &count);
    if (items == nullptr) {
        return false;
    }
    files_being_read.push_back(id);
    for (int i = 0; i < count; ++i) {
        add_argument(out, items[i]);
    }
    files_being_read.pop_back();
    std::free(items);
    return true;
}

void add_argument(vec *out, const char *arg) {
    if (arg[0] == '@' && add_command_file(out, arg + 1)) {
        return;
    }
    if (std::strncmp(arg, "--vqdebug", 9) == 0) {
        db_parse_options(arg);
    }
    vec_append(out, const_cast<char *>(sc_intern(arg)));
}

} // namespace

vec *driver_args(int argc, const char *const *argv) {
    vec *out = vec_create(__FILE__, __LINE__);
    for (int i = 1; i < argc; ++i) {
        add_argument(out, argv[i]);
    }
    return out;
}
