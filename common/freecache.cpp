// freecache: a bounded last-in, first-out list of given-back objects,
// threaded through the objects' first word.
#include "common/freecache.h"

#include "common/stringcache.h"
#include "common/vq4assert.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The link word at the start of a kept object.
void *&next_of(void *obj) {
    return *static_cast<void **>(obj);
}

} // namespace

freecache *freecache_create(uint64_t obj_size, uint32_t max_objs) {
    VQ4_ASSERT(obj_size != 0, "obj_size != 0");
    VQ4_ASSERT(max_objs != 0, "max_objs != 0");
    VQ4_ASSERT(obj_size >= sizeof(void *), "obj_size >= sizeof (void*)");
    auto *fc = static_cast<freecache *>(must_alloc(sizeof(freecache)));
    fc->obj_size = obj_size;
    fc->max_free = max_objs;
    return fc;
}

int freecache_destroy(freecache *fc) {
    if (fc == nullptr)
        return 0;
    while (fc->free_list != nullptr) {
        void *obj = fc->free_list;
        fc->free_list = next_of(obj);
        std::free(obj);
    }
    std::free(fc);
    return 0;
}

void *freecache_alloc(freecache *fc) {
    if (fc == nullptr)
        return nullptr;
    if (fc->free_list == nullptr)
        return must_alloc(static_cast<uint32_t>(fc->obj_size));
    void *obj = fc->free_list;
    fc->free_list = next_of(obj);
    --fc->num_free;
    std::memset(obj, 0, fc->obj_size);
    return obj;
}

uint32_t freecache_release(freecache *fc, void *obj) {
    VQ4_ASSERT(fc != nullptr, "fc != NULL");
    VQ4_ASSERT(obj != nullptr, "obj != NULL");
    if (fc->num_free == fc->max_free) {
        std::free(obj);
        return 0;
    }
    next_of(obj) = fc->free_list;
    fc->free_list = obj;
    return ++fc->num_free;
}

uint32_t freecache_num_free(const freecache *fc) {
    return fc == nullptr ? 0 : fc->num_free;
}

uint32_t freecache_max_free(const freecache *fc) {
    return fc == nullptr ? 0 : fc->max_free;
}

int freecache_is_full(const freecache *fc) {
    return fc == nullptr || fc->num_free == fc->max_free;
}

int freecache_is_empty(const freecache *fc) {
    return fc == nullptr || fc->num_free == 0;
}

void freecache_dump(const freecache *fc) {
    std::fprintf(stderr, "Freecache: %p\n", static_cast<const void *>(fc));
    if (fc == nullptr)
        return;
    std::fprintf(stderr, "\tobj_size: %llu\n", static_cast<unsigned long long>(fc->obj_size));
    std::fprintf(stderr, "\tnum_free: %u\n", fc->num_free);
    std::fprintf(stderr, "\tmax_free: %u\n", fc->max_free);
    std::fprintf(stderr, "\tfree_list:\n");
    for (void *obj = fc->free_list; obj != nullptr; obj = next_of(obj))
        std::fprintf(stderr, "\t\t[%p]\n", obj);
}
