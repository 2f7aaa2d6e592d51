// skiplist: ordered map (placeholders until the implementation lands).
#include "common/skiplist.h"

skiplist *skiplist_create(skiplist_hash_fn, skiplist_cmp_fn, skiplist_tostring_fn, const char *,
                          int) {
    return nullptr;
}
void skiplist_destroy(skiplist *) {}
void skiplist_clear(skiplist *) {}
skiplist *skiplist_copy(skiplist *) {
    return nullptr;
}
int skiplist_insert(skiplist *, void *, void *, const char *, int) {
    return 0;
}
void *skiplist_remove(skiplist *, void *) {
    return nullptr;
}
void *skiplist_lookup(skiplist *, void *) {
    return nullptr;
}
int skiplist_haskey(skiplist *, void *) {
    return 0;
}
void *skiplist_lookup_floor(skiplist *, void *) {
    return nullptr;
}
void *skiplist_lookup_next(skiplist *, void *) {
    return nullptr;
}
void *skiplist_first(skiplist *) {
    return nullptr;
}
uint32_t skiplist_count(skiplist *) {
    return 0;
}
int skiplist_foreach(skiplist *, void *, skiplist_visit_fn) {
    return 0;
}
vec *skiplist_keys(skiplist *) {
    return nullptr;
}
vec *skiplist_values(skiplist *) {
    return nullptr;
}
uint32_t skiplist_hash_string(void *) {
    return 0;
}
void skiplist_track(int) {}
void skiplist_report(void) {}
void skiplist_dump_node(skiplist_node *, skiplist_tostring_fn) {}
void skiplist_dump(skiplist *) {}
