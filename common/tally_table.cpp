// tally_table: occurrence counts with a top list (see tally_table.h).
//
// The hash table maps each key to its entry; the top list holds at most
// top_list_size of those entries, re-sorted after every change, and each
// entry's in_top flag says whether it stands there.
#include "common/tally_table.h"

#include "common/hash.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqdebug.h"

#include <cstdlib>

struct tally_entry {
    const void *key;
    uint32_t count;
    uint8_t in_top;
};

struct tally_table {
    hash *table;
    uint32_t top_list_size;
    vec *top_list;
    tally_cmp_fn tie_break;
};

namespace {

// vec_sort's comparison takes no context: the tie-break of the table being
// sorted is parked here for the duration of the sort.
tally_cmp_fn sorting_tie_break = nullptr;

int by_count_descending(const void *a, const void *b) {
    auto *ea = *static_cast<tally_entry *const *>(a);
    auto *eb = *static_cast<tally_entry *const *>(b);
    if (ea->count != eb->count)
        return ea->count < eb->count ? 1 : -1;
    return sorting_tie_break != nullptr ? sorting_tie_break(ea->key, eb->key) : 0;
}

void sort_top_list(tally_table *t) {
    sorting_tie_break = t->tie_break;
    vec_sort(t->top_list, by_count_descending);
    sorting_tie_break = nullptr;
}

int free_entry(void *, const void *, void *entry) {
    std::free(entry);
    return 0;
}

} // namespace

tally_table *tally_create(uint32_t size, uint32_t top_list_size, tally_hash_fn hash,
                          tally_cmp_fn tie_break) {
    DB_ASSERT(size != 0, "size");
    DB_ASSERT(top_list_size != 0, "top_list_size");
    auto *tab = static_cast<tally_table *>(must_alloc(sizeof(tally_table)));
    DB_ASSERT(tab != nullptr, "tab != NULL");
    tab->table = hash_create(size, hash, nullptr, __FILE__, __LINE__);
    DB_ASSERT(tab->table != nullptr, "tab->table");
    tab->top_list_size = top_list_size != 0 ? top_list_size : 1;
    tab->top_list = vec_create(__FILE__, __LINE__);
    tab->tie_break = tie_break;
    return tab;
}

uint32_t tally_add(tally_table *t, const void *key) {
    DB_ASSERT(t != nullptr, "t != NULL");
    if (t == nullptr)
        return 0;
    auto *te = static_cast<tally_entry *>(hash_lookup(t->table, key));
    if (te != nullptr) {
        ++te->count;
        DB_ASSERT(te->count != 0, "te->count != 0");
    } else {
        te = static_cast<tally_entry *>(must_alloc(sizeof(tally_entry)));
        DB_ASSERT(te != nullptr, "te");
        te->key = key;
        te->count = 1;
        hash_insert(t->table, key, te, __FILE__, __LINE__);
    }
    if (te->in_top) {
        sort_top_list(t);
        return te->count;
    }
    if (vec_size(t->top_list) < t->top_list_size) {
        vec_append(t->top_list, te);
        te->in_top = 1;
        sort_top_list(t);
        return te->count;
    }
    auto *last = static_cast<tally_entry *>(vec_last(t->top_list));
    if (last->count < te->count) {
        last->in_top = 0;
        vec_set(t->top_list, te, vec_size(t->top_list) - 1);
        te->in_top = 1;
        sort_top_list(t);
    }
    return te->count;
}

const void *tally_top(tally_table *t) {
    DB_ASSERT(t != nullptr, "t != NULL");
    if (t == nullptr)
        return nullptr;
    auto *first = static_cast<tally_entry *>(vec_get(t->top_list, 0));
    return first != nullptr ? first->key : nullptr;
}

vec *tally_top_list(tally_table *t) {
    return t != nullptr ? t->top_list : nullptr;
}

uint32_t tally_entry_count(const tally_entry *e) {
    return e != nullptr ? e->count : 0;
}

const void *tally_entry_key(const tally_entry *e) {
    return e != nullptr ? e->key : nullptr;
}

void tally_clear(tally_table *t) {
    if (t == nullptr)
        return;
    hash_foreach(t->table, nullptr, free_entry);
    hash_clear(t->table);
    vec_clear(t->top_list);
}

void tally_destroy(tally_table *t) {
    if (t == nullptr)
        return;
    hash_foreach(t->table, nullptr, free_entry);
    hash_destroy(t->table);
    vec_destroy(t->top_list);
    std::free(t);
}
