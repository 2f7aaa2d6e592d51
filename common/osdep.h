// osdep: the operating-system layer of the suite.
//
// Everything that touches the host goes through here (and, below it,
// through platform/platform.h). This header grows with the layer; for now
// it holds the sort and search that the containers use.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

// Three-way comparison of two elements given by address.
typedef int (*os_compare_fn)(const void *a, const void *b);

// Sorts count elements of size bytes at base in place: an unstable
// quicksort that keeps its pending ranges on an explicit stack (no
// recursion) and allocates nothing for elements of up to 799 bytes.
// Fewer than two elements: nothing happens. Otherwise base must not be null.
void os_sort(void *base, size_t count, size_t size, os_compare_fn compare);

// Binary search for key in count sorted elements; compare receives the key
// first. Returns a matching element or null (always null for count 0).
void *os_bsearch(const void *key, const void *base, size_t count, size_t size,
                 os_compare_fn compare);

#ifdef __cplusplus
}
#endif
