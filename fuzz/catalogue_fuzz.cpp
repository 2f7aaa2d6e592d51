// Fuzz target of the catalogue reader: arbitrary bytes as catalogue text,
// parsed into a table, then read as a message file and merged with the
// built-in rows. The reader must never crash or hang, and every record it
// stores must sit at its own number with a known type and a text.
#include "common/alert.h"
#include "common/osdep.h"
#include "common/vector.h"
#include "platform/platform.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace {

int discard(const char *) {
    return 1;
}

void check(bool condition) {
    if (!condition)
        __builtin_trap();
}

void check_table(vec *table) {
    for (uint32_t n = 0; n < vec_size(table); ++n) {
        auto *rec = static_cast<const alert_record *>(vec_get(table, n));
        if (!rec)
            continue;
        check(rec->number == n && n <= ALERT_MAX_NUMBER);
        check(rec->type <= ALERT_WARNING && rec->text != nullptr);
        check(rec->type == ALERT_WARNING || rec->level == 0);
    }
}

// The input as a message file, read through read_edf and looked up.
void read_as_message_file(const char *path, const uint8_t *data, size_t size) {
    FILE *f = plat_fopen(path, "wb");
    if (!f)
        return;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    alert_reset_for_tests();
    alert_set_output(discard);
    if (vec *table = read_edf(path)) {
        check_table(table);
        for (uint32_t n : {1u, 3u, 100u, 908u, 2101u, 10000u})
            std::free(alert_lookup(n));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const char *path = os_tmpfile_name(".msgs");
    alert_set_output(discard);
    vec *table = vec_create(__FILE__, __LINE__);
    alert_parse_catalogue(reinterpret_cast<const char *>(data), static_cast<uint32_t>(size),
                          "fuzz.msgs", table);
    check_table(table);
    for (uint32_t n = 0; n < vec_size(table); ++n)
        std::free(vec_get(table, n));
    vec_destroy(table);
    if (path)
        read_as_message_file(path, data, size);
    return 0;
}
