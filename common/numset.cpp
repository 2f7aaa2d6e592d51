// numset: number sets as pointer sets of n + 1 (see numset.h). A numset
// handle is a ptrset record under another name; nothing here keeps state.
#include "common/numset.h"

#include "common/ptrset.h"
#include "common/vq4assert.h"

namespace {

ptrset *as_ptrset(numset *set) {
    return reinterpret_cast<ptrset *>(set);
}

numset *as_numset(ptrset *set) {
    return reinterpret_cast<numset *>(set);
}

void *element_of(uint64_t n) {
    return reinterpret_cast<void *>(static_cast<uintptr_t>(n + 1));
}

uint64_t number_of(const void *element) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(element)) - 1;
}

} // namespace

numset *numset_create(void) {
    return as_numset(ptrset_create(nullptr));
}

void numset_destroy(numset *set) {
    ptrset_destroy(as_ptrset(set));
}

void numset_clear(numset *sp) {
    ptrset_clear(as_ptrset(sp));
}

numset *numset_copy(numset *so) {
    return as_numset(ptrset_copy(as_ptrset(so)));
}

int numset_canContain(uint64_t n) {
    return n != NUMSET_NONE;
}

void numset_add(numset *set, uint64_t n) {
    VQ4_ASSERT(numset_canContain(n), "numset_canContain(n)");
    ptrset_add(as_ptrset(set), element_of(n));
}

int numset_has(numset *sp, uint64_t n) {
    return numset_canContain(n) && ptrset_has(as_ptrset(sp), element_of(n));
}

uint32_t numset_count(numset *sp) {
    return ptrset_count(as_ptrset(sp));
}

int numset_is_empty(numset *set) {
    return ptrset_is_empty(as_ptrset(set));
}

uint64_t numset_first(numset *set) {
    return number_of(ptrset_first(as_ptrset(set)));
}

void numset_union_into(numset *sd, numset *ss) {
    ptrset_union_into(as_ptrset(sd), as_ptrset(ss));
}

int numset_equal(numset *s1, numset *s2) {
    return ptrset_equal(as_ptrset(s1), as_ptrset(s2));
}

int numset_intersects(numset *sp1, numset *sp2) {
    return ptrset_intersects(as_ptrset(sp1), as_ptrset(sp2));
}

int numset_contains_all(numset *sp1, numset *sp2) {
    return ptrset_contains_all(as_ptrset(sp1), as_ptrset(sp2));
}

void numset_iter_reset(numset *sp) {
    ptrset_iter_reset(as_ptrset(sp));
}

int numset_iter_valid(numset *sp) {
    return ptrset_iter_valid(as_ptrset(sp));
}

uint64_t numset_iter_get(numset *sp) {
    if (!ptrset_iter_valid(as_ptrset(sp)))
        return NUMSET_NONE;
    return number_of(ptrset_iter_get(as_ptrset(sp)));
}

int numset_iter_next(numset *sp, int more) {
    return ptrset_iter_next(as_ptrset(sp), more);
}
