// vector: the suite's one list type.
//
// A vec is a growable array of pointer-sized items (pointers, or integers
// cast to pointers). The vector never looks at what its items point to and
// never frees them. Three things set it apart from a plain dynamic array:
//
// - It carries its own stack of iterators, so a loop needs no iterator
//   object, loops over one vector may nest, and insertions and removals made
//   during a loop keep every loop's position consistent. Every loop has this
//   shape:
//
//       void *item;
//       vec_iter_reset(v);
//       while (vec_iter_next(v, vec_iter_valid(v) ? (item = vec_iter_get(v), 1) : 0)) {
//           ... use item ...
//       }
//
//   The loop's iterator is popped exactly when the items run out. A loop
//   left early keeps its iterator on the stack until vec_destroy.
// - It remembers where it was created (file, line). With tracking on
//   (vec_track), every new vector gets a record in a process-wide master
//   list, and vec_report writes that list to the debug-out file.
// - Its preconditions are always-active assertions ("p != NULL",
//   "p->data != NULL", "p->iterator != NULL", "more == 0", "n != NULL",
//   "is_alive(p)"); a failed one aborts the program.
//
// Out-of-range indices are not errors (vec_get gives null, vec_insert
// appends, vec_remove_at gives 0). Allocation failure is fatal (message 296).
// Single-threaded: the master list and the iterator node cache are unguarded.
#pragma once

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

// Item order for vec_sort: receives pointers to two slots and returns a
// negative, zero or positive value (the same form as os_sort's).
typedef int (*vec_compare_fn)(const void *a, const void *b);

// One active iteration: the index of the next item it hands out.
typedef struct vec_iter_node {
    uint32_t position;
    struct vec_iter_node *below;
} vec_iter_node;

// A vector's entry in the master list; never freed.
typedef struct vec_track_record vec_track_record;

// The vector record. Callers read it only through the operations below;
// the fields are visible so that the per-item operations can be inline and
// tests can inspect them.
typedef struct vec {
    uint32_t count;            // number of items
    uint32_t capacity;         // slots in data; 0 until the first item is stored
    uint32_t initial_capacity; // capacity taken at the first growth
    vec_iter_node *iterator;   // top of the iterator stack, or null
    void **data;               // the items; null until the first growth
    uint32_t serial;           // creation number (a copy keeps its source's)
    vec_track_record *track;   // master-list record, or null when untracked
    // Slots below max(count, written) have been written since the last
    // growth (items, or items given up by vec_pop and vec_clear); the slots
    // above have not and read as null.
    uint32_t written;
} vec;

// Sentinel of vec_find: no slot holds the item.
#define VEC_NOT_FOUND 4294967295u

// ---- Life cycle ----------------------------------------------------------

// New empty vector (initial capacity 10, no buffer yet) created at file:line;
// the caller owns it. Tracked when tracking is on.
vec *vec_create(const char *file, int line);
// As vec_create with the given initial capacity (0 is meant for vectors that
// stay empty; one that receives items anyway grows from 1).
vec *vec_create_sized(uint32_t initial_capacity, const char *file, int line);
// Shallow copy of p (items shared, iterators not copied), created at
// file:line; tracked when p is. Null for null p.
vec *vec_copy(vec *p, const char *file, int line);
// Frees the buffer and the vector and releases its iterators; the items are
// not freed. A tracked vector's record stays, marked dead. Null: nothing.
void vec_destroy(vec *p);

// ---- Reading --------------------------------------------------------------

// Number of items; 0 for null p.
uint32_t vec_size(const vec *p);
// Item at index, or null when index >= count.
void *vec_get(const vec *p, uint32_t index);
// Last item, or null when empty.
void *vec_last(const vec *p);
// Index of the first slot holding item (same pointer value), or
// VEC_NOT_FOUND.
uint32_t vec_find(const vec *p, const void *item);

// ---- Adding ---------------------------------------------------------------

// Adds item at the end.
inline void vec_append(vec *p, void *item);
// Adds item at the end unless vec_find finds it.
void vec_append_unique(vec *p, void *item);
// Appends every item of n in order; returns n's count.
uint32_t vec_append_all(vec *p, vec *n);
// Appends each item of n that p does not hold yet (duplicates inside n are
// added once); returns n's count.
uint32_t vec_append_all_unique(vec *p, vec *n);
// Inserts item before the item at index (at the end when index is beyond
// the count); returns the index used. Iterators at or after it move up.
uint32_t vec_insert(vec *p, void *item, uint32_t index);
// Stores item at index, extending the count when index >= count; gaps read
// as null on a fresh vector. Iterators are not adjusted.
void vec_set(vec *p, void *item, uint32_t index);
// Moves the item at from to index to, shifting the items between; nothing
// when from >= count. to must be below the count.
void vec_move(vec *p, uint32_t from, uint32_t to);

// ---- Removing -------------------------------------------------------------

// Removes and returns the last item (slot not cleared); null when empty.
void *vec_pop(vec *p);
// Removes the item at index; 0 when index >= count, else 1. Iterators past
// it move down.
int vec_remove_at(vec *p, uint32_t index);
// Removes the first slot holding item; 0 when there is none, else 1.
int vec_remove(vec *p, const void *item);
// Sets the count to 0; buffer, slots and iterators are kept.
void vec_clear(vec *p);

// ---- Ordering and capacity -----------------------------------------------

// Sorts the items in place; compare receives pointers to two slots.
void vec_sort(vec *p, vec_compare_fn compare);
// The items as an argument vector: the vector's own array of items, ending
// with a null item (one is appended unless the last item is null already).
// Valid until the vector next changes.
const char **vec_argv(vec *p);
// Makes the capacity greater than max(count, n) by doubling.
void vec_reserve(vec *p, uint32_t n);

// ---- The iteration protocol ----------------------------------------------

// Starts an iteration at position 0 (pushes an iterator). Null: nothing.
void vec_iter_reset(vec *p);
// 1 when the top iterator's position is below the count; 0 for null p.
inline int vec_iter_valid(const vec *p);
// Item at the top iterator's position, advancing it; null (no advance) at
// the end or for null p.
inline void *vec_iter_get(vec *p);
// As vec_iter_get without advancing.
void *vec_iter_peek(const vec *p);
// vec_iter_reset, then vec_iter_get (null for an empty vector; the
// iteration stays started).
void *vec_iter_first(vec *p);
// more == 0 pops the top iterator; otherwise nothing changes. Returns more.
inline int vec_iter_next(vec *p, int more);

// ---- Leak tracking ---------------------------------------------------------

// on: start a new, empty master list and track every vector created from now
// on. off: stop tracking new vectors (existing records stay and are updated).
void vec_track(bool on);
// Writes the master list (living vectors) and the per-site summary to the
// debug-out file; nothing when tracking was never switched on.
void vec_report(void);

// ---- Inline fast paths -------------------------------------------------------
//
// vec_append and the three calls of the loop protocol run once per item, so
// their common case is inline. Every other case (growth, tracking, null
// vectors, failed assertions) goes to the complete operation below, which
// handles all cases on its own.

void vec_append_slow(vec *p, void *item);
int vec_iter_valid_slow(const vec *p);
void *vec_iter_get_slow(vec *p);
int vec_iter_next_slow(vec *p, int more);

inline void vec_append(vec *p, void *item) {
    if (p != nullptr && p->count < p->capacity && p->data != nullptr && p->track == nullptr) {
        p->data[p->count++] = item;
        return;
    }
    vec_append_slow(p, item);
}

inline int vec_iter_valid(const vec *p) {
    if (p != nullptr && p->iterator != nullptr)
        return p->iterator->position < p->count;
    return vec_iter_valid_slow(p);
}

inline void *vec_iter_get(vec *p) {
    if (p != nullptr && p->iterator != nullptr && p->iterator->position < p->count &&
        p->data != nullptr)
        return p->data[p->iterator->position++];
    return vec_iter_get_slow(p);
}

inline int vec_iter_next(vec *p, int more) {
    if (more != 0 && p != nullptr && p->iterator != nullptr)
        return more;
    return vec_iter_next_slow(p, more);
}

#ifdef __cplusplus
}
#endif
