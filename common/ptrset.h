// ptrset: sets of pointer-sized values with set algebra and snapshot
// iteration.
//
// A set keeps its elements in a skip list (key and value are both the
// element) with the default hash and comparison, so elements are compared
// by their low 32 bits: two elements with equal low 32 bits are one element
// for the set, and the table order is the unsigned order of the low 32 bits.
// The table exists only while the set has held elements since it was made
// or last cleared. A set never looks at what its elements point to and never
// frees them.
//
// The null pointer is a poor element: it can be added, but lookups answer
// with the stored value, so ptrset_has and ptrset_remove report it absent.
//
// Iteration takes a snapshot of the set (its listing, in a vector), so the
// set may change during a loop without disturbing it. Every loop has this
// shape, and loops over one set may nest:
//
//     void *e;
//     ptrset_iter_reset(s);
//     while (ptrset_iter_next(s, ptrset_iter_valid(s) ? (e = ptrset_iter_get(s), 1) : 0)) {
//         ... use e ...
//     }
//
// Set records and iteration nodes are recycled through two process-wide
// free caches. Null arguments where a set is required fail an always-active
// assertion naming the parameter ("sp != NULL", ...). Single-threaded.
#pragma once

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vec vec;
typedef struct ptrset ptrset;

// Orders listings and iterations; receives pointers to two slots holding
// elements (the same type as the vector's sort comparison).
typedef int (*ptrset_order_fn)(const void *a, const void *b);

// ---- Life cycle ----------------------------------------------------------

// A new empty set whose listings follow order (null: table order); the
// caller owns it and gives it back with ptrset_destroy.
ptrset *ptrset_create(ptrset_order_fn order);
// Frees the table and every active iteration and recycles the record.
// Null: nothing.
void ptrset_destroy(ptrset *set);
// A new set with so's order and elements; the caller owns it.
ptrset *ptrset_copy(ptrset *so);
// Replaces dest's elements by a copy of src's; dest keeps its order and must
// not be in an iteration.
void ptrset_assign(ptrset *dest, ptrset *src);
// Removes every element; the set stays usable.
void ptrset_clear(ptrset *sp);

// ---- Elements ------------------------------------------------------------

// Adds element unless an equal one is present. set must not be null.
void ptrset_add(ptrset *set, void *element);
// Removes the equal element; 1 when one was present (and is not null), else 0.
int ptrset_remove(ptrset *sp, void *element);
// 1 when an equal element is present (never for the null pointer), else 0.
int ptrset_has(ptrset *sp, const void *element);
uint32_t ptrset_count(ptrset *sp);
// 1 for a null or empty set, else 0.
int ptrset_is_empty(ptrset *set);
// The element first in table order, or null for a null or empty set.
void *ptrset_first(ptrset *set);
// The sum of the elements' low 32 bits (wrapping); 0 for a null or empty set.
int32_t ptrset_sum(ptrset *set);
// A new vector of the elements in listing order; the caller owns it.
vec *ptrset_list(ptrset *sp);

// ---- Set algebra -----------------------------------------------------------

// sd gains every element of ss.
void ptrset_union_into(ptrset *sd, ptrset *ss);
// sd loses every element that ss lacks (all of them when ss is empty).
void ptrset_intersect_into(ptrset *sd, ptrset *ss);
// sd loses every element of ss. A null set counts as empty.
void ptrset_subtract_into(ptrset *sd, ptrset *ss);
// Each element of ss leaves sd when present and joins it when absent.
void ptrset_toggle_into(ptrset *sd, ptrset *ss);
// New sets (the caller's) with so's order: so's elements combined with s2's.
ptrset *ptrset_union(ptrset *so, ptrset *s2);
ptrset *ptrset_intersection(ptrset *so, ptrset *s2);
ptrset *ptrset_difference(ptrset *so, ptrset *s2);

// 1 when both listings (each in its own order) hold identical elements.
int ptrset_equal(ptrset *s1, ptrset *s2);
// 1 when some element of sp2 is in sp1; 0 when either is empty.
int ptrset_intersects(ptrset *sp1, ptrset *sp2);
// 1 when every element of sp2 is in sp1 (always when sp2 is empty).
int ptrset_contains_all(ptrset *sp1, ptrset *sp2);
// 1 when some element of s1 is not in s2; 0 when either is empty.
int ptrset_any_outside(ptrset *s1, ptrset *s2);

// ---- The iteration protocol ----------------------------------------------

// Starts an iteration over a snapshot of the set's listing. A set that has
// no table (never filled, or cleared) starts nothing.
void ptrset_iter_reset(ptrset *sp);
// 1 while the top iteration has elements left; 0 for a set without table.
int ptrset_iter_valid(ptrset *sp);
// The top iteration's next element, advancing; null at its end or when no
// iteration is active.
void *ptrset_iter_get(ptrset *sp);
// As ptrset_iter_get without advancing.
void *ptrset_iter_peek(ptrset *sp);
// ptrset_iter_reset (when the set has a table), then ptrset_iter_get.
void *ptrset_iter_first(ptrset *sp);
// more == 0 ends the top iteration (if any). Returns more.
int ptrset_iter_next(ptrset *sp, int more);

// ---- Properties -----------------------------------------------------------

// The order given at creation (or inherited from the source set), or null.
ptrset_order_fn ptrset_order(ptrset *sp);
// Creation number: sets made by creation, copying and the operations that
// return a new set are numbered from 0 in one process-wide sequence.
uint32_t ptrset_serial(ptrset *sp);

#ifdef __cplusplus
}
#endif
