// freecache: recycling of fixed-size heap objects of one kind.
//
// Objects given back are kept on a last-in, first-out free list (threaded
// through the objects' first word), up to max_free of them, and handed out
// again cleared before new memory is asked for; objects given back while
// the list is full are freed at once. The cache does not remember the
// objects it handed out: freecache_destroy frees only the kept ones.
// Allocation failure is fatal (message 296). Single-threaded.
#pragma once

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct freecache {
    uint64_t obj_size; // bytes per object, at least a pointer
    uint32_t num_free; // objects now kept
    uint32_t max_free; // most objects kept (non-zero)
    void *free_list;   // most recently given-back object, or null
} freecache;

// New empty cache for objects of obj_size bytes keeping at most max_objs;
// the caller owns it. Asserts "obj_size != 0", "max_objs != 0" and
// "obj_size >= sizeof (void*)".
freecache *freecache_create(uint64_t obj_size, uint32_t max_objs);
// Frees every kept object, then the cache. Null: nothing. Returns 0.
int freecache_destroy(freecache *fc);
// A zero-filled object of obj_size bytes (a kept one when there is one);
// the caller gives it back with freecache_release. Null for a null cache.
void *freecache_alloc(freecache *fc);
// Gives obj back: kept (result: the new number kept) unless the list is
// full, then freed (result 0). Asserts "fc != NULL" and "obj != NULL".
uint32_t freecache_release(freecache *fc, void *obj);
// Number of kept objects; 0 for null.
uint32_t freecache_num_free(const freecache *fc);
// Most objects kept; 0 for null.
uint32_t freecache_max_free(const freecache *fc);
// 1 when the free list is full (or fc is null), else 0.
int freecache_is_full(const freecache *fc);
// 1 when nothing is kept (or fc is null), else 0.
int freecache_is_empty(const freecache *fc);
// Writes the cache's state and kept objects to standard error (a debugging
// aid).
void freecache_dump(const freecache *fc);

#ifdef __cplusplus
}
#endif
