// tally_table: occurrence counts with a top list (placeholders until the
// implementation lands).
#include "common/tally_table.h"

tally_table *tally_create(uint32_t, uint32_t, tally_hash_fn, tally_cmp_fn) {
    return nullptr;
}
uint32_t tally_add(tally_table *, void *) {
    return 0;
}
void *tally_top(tally_table *) {
    return nullptr;
}
vec *tally_top_list(tally_table *) {
    return nullptr;
}
uint32_t tally_entry_count(const tally_entry *) {
    return 0;
}
void *tally_entry_key(const tally_entry *) {
    return nullptr;
}
void tally_clear(tally_table *) {}
void tally_destroy(tally_table *) {}
