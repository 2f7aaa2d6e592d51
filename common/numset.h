// numset: sets of unsigned 64-bit numbers, stored as pointer sets.
//
// The number n is kept as the element n + 1, so 0 can be a member and the
// all-ones value cannot (adding it fails the always-active assertion
// "numset_canContain(n)"). Like every pointer-set element, a number counts
// by its low 32 bits: numbers whose low 32 bits are equal are one member,
// and iteration follows the unsigned order of the low 32 bits. Iteration is
// the pointer set's snapshot protocol:
//
//     uint64_t n;
//     numset_iter_reset(s);
//     while (numset_iter_next(s, numset_iter_valid(s) ? (n = numset_iter_get(s), 1) : 0)) {
//         ... use n ...
//     }
//
// The operations without a comment here behave as their pointer-set
// namesakes (ptrset.h). Single-threaded.
#pragma once

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct numset numset;

// The value no set can hold; also the answer for "no number".
#define NUMSET_NONE UINT64_MAX

// A new empty set; the caller owns it and gives it back with numset_destroy.
numset *numset_create(void);
void numset_destroy(numset *set);
void numset_clear(numset *sp);
numset *numset_copy(numset *so);

// 1 unless n is the all-ones value.
int numset_canContain(uint64_t n);
// Adds n; n must not be the all-ones value.
void numset_add(numset *set, uint64_t n);
// 1 when n is a member; 0 for the all-ones value.
int numset_has(numset *sp, uint64_t n);
uint32_t numset_count(numset *sp);
int numset_is_empty(numset *set);
// The number first in table order; NUMSET_NONE for an empty set.
uint64_t numset_first(numset *set);

void numset_iter_reset(numset *sp);
int numset_iter_valid(numset *sp);
// The top iteration's next number, advancing; NUMSET_NONE when none is left.
uint64_t numset_iter_get(numset *sp);
int numset_iter_next(numset *sp, int more);

// sd gains every number of ss.
void numset_union_into(numset *sd, numset *ss);
// 1 or 0: the sets hold the same numbers; some number of sp2 is in sp1
// (never when either is empty); every number of sp2 is in sp1 (always when
// sp2 is empty).
int numset_equal(numset *s1, numset *s2);
int numset_intersects(numset *sp1, numset *sp2);
int numset_contains_all(numset *sp1, numset *sp2);

#ifdef __cplusplus
}
#endif
