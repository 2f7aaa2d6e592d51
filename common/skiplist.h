// skiplist: the ordered map of pointer-sized keys to pointer-sized values.
//
// Entries stand in ascending order of a 32-bit hash of the key and, among
// equal hashes, in the order of a comparison (called as compare(key searched
// for, stored key); positive: the first sorts after the second). With the
// default functions (the key's low 32 bits as hash, their difference as
// comparison) it is an ordered map of integer-like keys. Besides exact
// lookups it gives the entry before a key (floor) and the entry after it
// (next).
//
// The list owns its nodes, never the keys or values. Every search writes the
// list's work area, so even lookups change the list record. Lists created
// while tracking is on (skiplist_track; the debug option "adt") keep
// statistics in a master list, trace insertions whose hash equals a
// neighbour's, and check their order after every insertion.
//
// Misuse (destroying twice, a broken link) fails an always-active assertion.
#pragma once

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vec vec;
typedef struct skiplist skiplist;
typedef struct skiplist_node skiplist_node;

typedef uint32_t (*skiplist_hash_fn)(const void *key);
typedef int32_t (*skiplist_cmp_fn)(const void *a, const void *b);
// Renders a key for the dumps; the result is interned or static.
typedef const char *(*skiplist_tostring_fn)(const void *key);
// Called for each entry by skiplist_foreach; the result is ignored.
typedef int (*skiplist_visit_fn)(void *context, const void *key, void *value);

// A new empty list. Null functions select the defaults. file and line name
// the creating code for the master-list report.
skiplist *skiplist_create(skiplist_hash_fn hash, skiplist_cmp_fn compare,
                          skiplist_tostring_fn key_tostring, const char *file, int line);
// Frees every node and the list; marks its tracking record dead. Null: nothing.
void skiplist_destroy(skiplist *h);
// Removes every entry; the list stays usable.
void skiplist_clear(skiplist *h);
// A new list with the same hash and comparison holding the same entries.
skiplist *skiplist_copy(skiplist *h);

// Adds key with value; returns 1, or 0 (nothing changes) when an equal key is
// present. file and line name the calling code for the clash trace and the
// order check.
int skiplist_insert(skiplist *h, const void *key, void *value, const char *file, int line);
// Removes the entry with an equal key and returns its value; null when absent.
void *skiplist_remove(skiplist *h, const void *key);
// The value stored with an equal key, or null.
void *skiplist_lookup(skiplist *h, const void *key);
// 1 when an equal key is present; 0 otherwise or for a null list.
int skiplist_haskey(skiplist *h, const void *key);
// The value of an equal key, else of the last entry ordered before key, else null.
void *skiplist_lookup_floor(skiplist *h, const void *key);
// The value of the entry after an equal key, else of the first entry ordered
// after key, else null.
void *skiplist_lookup_next(skiplist *h, const void *key);
// The value of the first entry, or null.
void *skiplist_first(skiplist *h);
uint32_t skiplist_count(skiplist *h);
// Calls visit(context, key, value) for every entry in order; returns 0.
int skiplist_foreach(skiplist *h, void *context, skiplist_visit_fn visit);
// New vectors of every key / every value in order; the caller owns them.
vec *skiplist_keys(skiplist *h);
vec *skiplist_values(skiplist *h);

// The string hash offered to users: h = h * 2 + c over every character
// (signed) including the terminating zero.
uint32_t skiplist_hash_string(const void *str);

// Turns tracking of lists created from now on on or off.
void skiplist_track(int on);
// Writes the master-list report into the debug-out file.
void skiplist_report(void);
// Writes one node (key, serial, hash, levels, the next key on each level)
// into the debug-out file; key_tostring must not be null.
void skiplist_dump_node(skiplist_node *node, skiplist_tostring_fn key_tostring);
// Writes "HEAD(count)" and every node from the head along the bottom level.
void skiplist_dump(skiplist *h);

#ifdef __cplusplus
}
#endif
