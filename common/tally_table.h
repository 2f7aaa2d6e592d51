// tally_table: counts occurrences of keys and keeps the most frequent ones.
//
// Beside the counts the table keeps a short top list, at most a fixed number
// of entries in descending order of count, so that the most frequent key is
// at hand at once. Keys are compared by identity (the same pointer), so
// callers pass interned strings or other unique pointers; keys are never
// copied or freed. The table owns its entries, its hash table and its top
// list.
//
// Zero sizes, a null table and a count that wraps are failed conditions at
// the configured assertion level (gAssertLevel).
#pragma once

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vec vec;
typedef struct tally_table tally_table;
typedef struct tally_entry tally_entry;

// The same type as the hash table's hash_fn (hash_string_nocase fits).
typedef uint32_t (*tally_hash_fn)(const void *key);
// Orders two keys of equal count in the top list.
typedef int (*tally_cmp_fn)(const void *a, const void *b);

// A new table with size hash buckets and a top list of top_list_size entries
// (both at least 1), hashing keys with hash; tie_break may be null.
tally_table *tally_create(uint32_t size, uint32_t top_list_size, tally_hash_fn hash,
                          tally_cmp_fn tie_break);
// Counts one more occurrence of key; returns the new count.
uint32_t tally_add(tally_table *t, const void *key);
// The key with the highest count, or null when nothing was counted.
const void *tally_top(tally_table *t);
// The top list (entries, highest count first; owned by the table), or null
// for a null table.
vec *tally_top_list(tally_table *t);
// An entry's count (0 for null) and key (null for null).
uint32_t tally_entry_count(const tally_entry *e);
const void *tally_entry_key(const tally_entry *e);
// Forgets every count; the table stays usable. Null: nothing.
void tally_clear(tally_table *t);
// Frees the table and everything it owns (not the keys). Null: nothing.
void tally_destroy(tally_table *t);

#ifdef __cplusplus
}
#endif
