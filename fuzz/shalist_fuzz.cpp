// Fuzz target of the checksum-list reader: the input is a list, checked
// against a small directory of known files. Reading the list and checking
// its entries (shahash_read_list, shahash_check_entries) must come to the
// same verdict as checking the list in one go (shahash_check_list), every
// entry read must have a path and a hash, and the current directory must
// be back where it was afterwards.
#include "common/osdep.h"
#include "common/shahash.h"
#include "common/vector.h"
#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

// The directory the lists describe: two files and an empty subdirectory.
void set_up() {
    fuzz::scratch_dir("shalist");
    std::filesystem::create_directories("d/sub");
    fuzz::write_file("d/a.txt", "alpha\n");
    fuzz::write_file("d/b.bin", std::string_view("\0\1\2", 3));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = (set_up(), true);
    (void)ready;
    std::string_view text = fuzz::text_of(data, size);
    if (fuzz::names_outside(text))
        return 0;
    fuzz::write_file("list.sha", text);
    char *before = os_getcwd();
    vec *entries = shahash_read_list("list.sha", "d");
    if (entries != nullptr) {
        for (uint32_t n = 0; n < vec_size(entries); ++n) {
            auto *entry = static_cast<const shahash_entry *>(vec_get(entries, n));
            fuzz::check(entry != nullptr && entry->path != nullptr && entry->hash != nullptr);
        }
    }
    int by_entries = shahash_check_entries(entries);
    int in_one_go = shahash_check_list("d", "list.sha");
    fuzz::check(by_entries == in_one_go);
    char *after = os_getcwd();
    fuzz::check(std::strcmp(before, after) == 0);
    std::free(before);
    std::free(after);
    if (entries != nullptr) {
        for (uint32_t n = 0; n < vec_size(entries); ++n)
            std::free(vec_get(entries, n));
        vec_destroy(entries);
    }
    return 0;
}
