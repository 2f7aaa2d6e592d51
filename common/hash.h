// hash: the suite's associative table.
//
// A fixed number of buckets, chosen at creation and never changed, each a
// singly linked chain of entries in insertion order, mapping pointer-sized
// keys to pointer-sized values. The caller supplies the hash function and
// the key comparison (compare(key searched for, key stored), 0 = equal);
// without them keys are compared as plain pointer values. The table never
// copies or frees keys and values. Entries given up by any table go onto one
// process-wide spare list and are reused, never returned to the heap.
//
// With tracking on (hash_track), each new table gets a record in a master
// list holding its usage statistics, and insertions into an occupied bucket
// of a tracked table are traced (tracef, with debug flag 1); hash_report
// writes the list to the debug-out file. Assertions: "size != 0", "is_alive(h)". Allocation failure
// is fatal (message 296). Single-threaded.
#pragma once

#include "common/vector.h"

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

// Hash of a key; the bucket is hash(key) modulo the table size.
typedef uint32_t (*hash_fn)(const void *key);
// Key comparison: 0 when equal.
typedef int (*hash_compare_fn)(const void *searched, const void *stored);
// Called for each entry by hash_foreach; non-zero stops the walk.
typedef int (*hash_callback_fn)(void *context, const void *key, void *value);

typedef struct hash_entry {
    void *value;
    const void *key;
    struct hash_entry *next;
} hash_entry;

// A tracked table's statistics; never freed.
typedef struct hash_track_record {
    struct hash *table;
    unsigned flags; // HASH_ALIVE, HASH_DEFAULT_COMPARE, HASH_DEFAULT_HASH
    const char *file;
    int32_t line;
    uint32_t size;
    uint32_t max_usage;       // most entries held
    uint32_t max_utilisation; // most non-empty buckets
    uint32_t buckets_in_use;  // non-empty buckets now
    uint32_t clashes;         // entries already in the bucket, summed over insertions
} hash_track_record;

#define HASH_ALIVE 1u
#define HASH_DEFAULT_COMPARE 2u
#define HASH_DEFAULT_HASH 4u

// The table record. Callers use the operations below; the fields are
// visible so that tests and reports can inspect them.
typedef struct hash {
    uint32_t size;  // buckets
    uint32_t count; // entries
    hash_fn hash_func;
    hash_compare_fn compare;
    hash_entry **buckets;
    hash_track_record *track; // null when untracked
} hash;

// ---- Key functions ---------------------------------------------------------

// The key's own value truncated to 32 bits (the default hash).
uint32_t voidhash(const void *key);
// 0 when a and b are the same pointer, else 1 (the default comparison).
int voidcmp(const void *a, const void *b);
// String hash: h = 5381, then h = h * 33 + c per (signed) character.
uint32_t hash_string(const void *str);
// As hash_string with each character passed through tolower.
uint32_t hash_string_nocase(const void *str);

// ---- Life cycle ----------------------------------------------------------

// New table of size buckets (size != 0) created at file:line; null hash_func
// or compare means voidhash or voidcmp. The caller owns it.
hash *hash_create(uint32_t size, hash_fn hash_func, hash_compare_fn compare, const char *file,
                  int line);
// Gives all entries to the spare list and frees the table; a tracking
// record is marked dead. Null: nothing.
void hash_destroy(hash *h);
// Removes every entry.
void hash_clear(hash *h);
// New table (created at file:line) with h's size, functions and entries in
// the same order; keys and values shared. The caller owns it.
hash *hash_copy(const hash *h, const char *file, int line);
// Makes dest hold src's entries and returns dest. Null src destroys dest
// and returns null; null dest returns hash_copy(src, file, line).
hash *hash_assign(hash *dest, const hash *src, const char *file, int line);

// ---- Entries ---------------------------------------------------------------

// Adds key with value at the end of its chain; 0 (nothing changed) when an
// equal key is present, else 1. file:line name the caller for the clash
// trace.
int hash_insert(hash *h, const void *key, void *value, const char *file, int line);
// Replaces the value of key (the entry moves to the end of its chain) or
// adds it; a key present with a null value is left alone and gives 0.
int hash_replace(hash *h, const void *key, void *value);
// Removes key's entry and returns its value; null when absent.
void *hash_remove(hash *h, const void *key);
// Value stored with key; null when absent (or stored null).
void *hash_lookup(const hash *h, const void *key);
// 1 when key is present, else 0.
int hash_haskey(const hash *h, const void *key);
// Number of entries (h must not be null).
uint32_t hash_count(const hash *h);
// Calls callback(context, key, value) bucket by bucket, each chain from its
// head; returns the first non-zero result, or 0. The callback may remove the
// entry it was handed (hash_remove of its key): every other entry is still
// visited exactly once. It must not remove any other entry, nor insert,
// replace, clear or destroy: the walk would then visit stale entries.
int hash_foreach(const hash *h, void *context, hash_callback_fn callback);
// New vector of every key (bucket order, chain order); the caller owns it.
vec *hash_keys(const hash *h);
// New vector of every value, in the order of hash_keys; the caller owns it.
vec *hash_values(const hash *h);

// ---- Leak tracking ---------------------------------------------------------

// Sets the tracking flag for tables created from now on.
void hash_track(bool on);
// Writes the master list to the debug-out file, most clashes first; nothing
// when no table was ever tracked.
void hash_report(void);

#ifdef __cplusplus
}
#endif
