// hash: fixed-size chained hash tables, a process-wide list of spare
// entries, and the master list of tracked tables.
#include "common/hash.h"

#include "common/stringcache.h"
#include "common/vq4assert.h"
#include "common/vqdebug.h"

#include <cctype>
#include <cstdlib>

namespace {

bool gTracking = false;
vec *gMasterList = nullptr;
hash_entry *gSpareEntries = nullptr;

bool is_alive(const hash *h) {
    return (h->track->flags & HASH_ALIVE) != 0;
}

hash_entry *take_entry() {
    if (gSpareEntries == nullptr)
        return static_cast<hash_entry *>(must_alloc(sizeof(hash_entry)));
    hash_entry *e = gSpareEntries;
    gSpareEntries = e->next;
    return e;
}

void give_entry(hash_entry *e) {
    e->next = gSpareEntries;
    gSpareEntries = e;
}

hash_entry **bucket_of(const hash *h, const void *key) {
    return &h->buckets[h->hash_func(key) % h->size];
}

hash_entry *find_entry(const hash *h, const void *key) {
    for (hash_entry *e = *bucket_of(h, key); e != nullptr; e = e->next)
        if (h->compare(key, e->key) == 0)
            return e;
    return nullptr;
}

hash_entry **new_buckets(uint32_t size) {
    return static_cast<hash_entry **>(must_alloc(size * uint32_t{sizeof(hash_entry *)}));
}

// Puts every entry on the spare list, emptying the buckets.
void give_back_all(hash *h) {
    for (uint32_t b = 0; b < h->size && h->count != 0; ++b) {
        hash_entry *e = h->buckets[b];
        while (e != nullptr) {
            hash_entry *next = e->next;
            give_entry(e);
            --h->count;
            e = next;
        }
        h->buckets[b] = nullptr;
    }
    h->count = 0;
    if (h->track != nullptr)
        h->track->buckets_in_use = 0;
}

// Rebuilds src's chains in the same buckets of dest (same size, no rehash).
void copy_entries(hash *dest, const hash *src) {
    uint32_t copied = 0;
    for (uint32_t b = 0; b < src->size && copied < src->count; ++b) {
        hash_entry **tail = &dest->buckets[b];
        for (const hash_entry *e = src->buckets[b]; e != nullptr; e = e->next) {
            hash_entry *n = take_entry();
            n->key = e->key;
            n->value = e->value;
            n->next = nullptr;
            *tail = n;
            tail = &n->next;
            ++copied;
        }
    }
    dest->count = src->count;
}

// Every key (or value) in bucket order and chain order.
vec *collect(const hash *h, bool keys) {
    vec *v = vec_create(__FILE__, __LINE__);
    for (uint32_t b = 0; b < h->size; ++b)
        for (const hash_entry *e = h->buckets[b]; e != nullptr; e = e->next)
            vec_append(v, keys ? const_cast<void *>(e->key) : e->value);
    return v;
}

} // namespace

uint32_t voidhash(const void *key) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key));
}

int voidcmp(const void *a, const void *b) {
    return a == b ? 0 : 1;
}

uint32_t hash_string(const void *str) {
    uint32_t h = 5381;
    for (auto *s = static_cast<const signed char *>(str); *s != 0; ++s)
        h = h * 33 + static_cast<uint32_t>(static_cast<int32_t>(*s));
    return h;
}

uint32_t hash_string_nocase(const void *str) {
    uint32_t h = 5381;
    for (auto *s = static_cast<const signed char *>(str); *s != 0; ++s) {
        int c = *s >= 0 ? std::tolower(*s) : *s;
        h = h * 33 + static_cast<uint32_t>(c);
    }
    return h;
}

hash *hash_create(uint32_t size, hash_fn hash_func, hash_compare_fn compare, const char *file,
                  int line) {
    VQ4_ASSERT(size != 0, "size != 0");
    auto *h = static_cast<hash *>(must_alloc(sizeof(hash)));
    h->size = size;
    h->hash_func = hash_func != nullptr ? hash_func : voidhash;
    h->compare = compare != nullptr ? compare : voidcmp;
    h->buckets = new_buckets(size);
    if (gTracking) {
        if (gMasterList == nullptr)
            gMasterList = vec_create(__FILE__, __LINE__);
        auto *rec = static_cast<hash_track_record *>(must_alloc(sizeof(hash_track_record)));
        rec->table = h;
        rec->flags = HASH_ALIVE | (compare == nullptr ? HASH_DEFAULT_COMPARE : 0) |
                     (hash_func == nullptr ? HASH_DEFAULT_HASH : 0);
        rec->file = file;
        rec->line = line;
        rec->size = size;
        h->track = rec;
        vec_append(gMasterList, rec);
    }
    return h;
}

void hash_destroy(hash *h) {
    if (h == nullptr)
        return;
    give_back_all(h);
    std::free(h->buckets);
    if (h->track != nullptr) {
        VQ4_ASSERT(is_alive(h), "is_alive(h)");
        h->track->flags &= ~HASH_ALIVE;
    }
    std::free(h);
}

void hash_clear(hash *h) {
    give_back_all(h);
}

hash *hash_copy(const hash *h, const char *file, int line) {
    auto *copy = static_cast<hash *>(must_alloc(sizeof(hash)));
    copy->size = h->size;
    copy->hash_func = h->hash_func;
    copy->compare = h->compare;
    copy->buckets = new_buckets(h->size);
    copy_entries(copy, h);
    if (h->track != nullptr) {
        auto *rec = static_cast<hash_track_record *>(must_alloc(sizeof(hash_track_record)));
        *rec = *h->track;
        rec->table = copy;
        rec->file = file;
        rec->line = line;
        copy->track = rec;
    }
    return copy;
}

hash *hash_assign(hash *dest, const hash *src, const char *file, int line) {
    if (src == nullptr) {
        hash_destroy(dest);
        return nullptr;
    }
    if (dest == nullptr)
        return hash_copy(src, file, line);
    give_back_all(dest);
    if (dest->size != src->size) {
        std::free(dest->buckets);
        dest->size = src->size;
        dest->buckets = new_buckets(src->size);
    }
    copy_entries(dest, src);
    return dest;
}

int hash_insert(hash *h, const void *key, void *value, const char *file, int line) {
    hash_entry **link = bucket_of(h, key);
    int walked = 0;
    for (; *link != nullptr; link = &(*link)->next, ++walked)
        if (h->compare(key, (*link)->key) == 0)
            return 0;
    hash_entry *e = take_entry();
    e->value = value;
    e->key = key;
    e->next = nullptr;
    *link = e;
    ++h->count;
    if (h->track != nullptr) {
        VQ4_ASSERT(is_alive(h), "is_alive(h)");
        hash_track_record *rec = h->track;
        if (walked > 0) {
            if (DB_TRACING_LINES())
                tracef(file, line, "HASH @ %s:%d (%u/%u) clashed %d times inserting (%p,%p)",
                       rec->file, rec->line, h->count, h->size, walked, key, value);
            rec->clashes += static_cast<uint32_t>(walked);
        } else if (++rec->buckets_in_use > rec->max_utilisation) {
            rec->max_utilisation = rec->buckets_in_use;
        }
        if (h->count > rec->max_usage)
            rec->max_usage = h->count;
    }
    return 1;
}

int hash_replace(hash *h, const void *key, void *value) {
    if (hash_lookup(h, key) != nullptr)
        hash_remove(h, key);
    return hash_insert(h, key, value, __FILE__, __LINE__);
}

void *hash_remove(hash *h, const void *key) {
    hash_entry **head = bucket_of(h, key);
    for (hash_entry **link = head; *link != nullptr; link = &(*link)->next) {
        hash_entry *e = *link;
        if (h->compare(key, e->key) != 0)
            continue;
        *link = e->next;
        void *value = e->value;
        give_entry(e);
        --h->count;
        if (h->track != nullptr) {
            VQ4_ASSERT(is_alive(h), "is_alive(h)");
            if (*head == nullptr)
                --h->track->buckets_in_use;
        }
        return value;
    }
    return nullptr;
}

void *hash_lookup(const hash *h, const void *key) {
    const hash_entry *e = find_entry(h, key);
    return e == nullptr ? nullptr : e->value;
}

int hash_haskey(const hash *h, const void *key) {
    return find_entry(h, key) != nullptr;
}

uint32_t hash_count(const hash *h) {
    return h->count;
}

int hash_foreach(const hash *h, void *context, hash_callback_fn callback) {
    for (uint32_t b = 0; b < h->size; ++b) {
        // The next entry is taken before the callback runs: removing the
        // current one returns it to the spare list, which reuses its link.
        for (const hash_entry *e = h->buckets[b], *next; e != nullptr; e = next) {
            next = e->next;
            if (int r = callback(context, e->key, e->value); r != 0)
                return r;
        }
    }
    return 0;
}

vec *hash_keys(const hash *h) {
    return collect(h, true);
}

vec *hash_values(const hash *h) {
    return collect(h, false);
}

void hash_track(bool on) {
    gTracking = on;
}

namespace {

// Report order: most clashes first, then the record's address descending.
int compare_records(const void *a, const void *b) {
    auto *x = *static_cast<hash_track_record *const *>(a);
    auto *y = *static_cast<hash_track_record *const *>(b);
    if (x->clashes != y->clashes)
        return x->clashes > y->clashes ? -1 : 1;
    if (x == y)
        return 0;
    return x > y ? -1 : 1;
}

char yes_no(unsigned flags, unsigned bit) {
    return (flags & bit) != 0 ? 'Y' : 'n';
}

} // namespace

void hash_report(void) {
    if (gMasterList == nullptr)
        return;
    vec_sort(gMasterList, compare_records);
    db_puts("# Hash Table Master List:");
    db_puts("# ptr    file:line    max_util/capacity    max_usage/capacity    clashes    voidcmp"
            "    voidhash    alive");
    if (vec_size(gMasterList) == 0)
        db_puts("# No hash tables were used");
    for (uint32_t i = 0; i < vec_size(gMasterList); ++i) {
        auto *rec = static_cast<const hash_track_record *>(vec_get(gMasterList, i));
        db_printf("# %p    %s:%d    %u/%u    %u/%u    %u    %c    %c    %c",
                  static_cast<void *>(rec->table), rec->file, rec->line, rec->max_utilisation,
                  rec->size, rec->max_usage, rec->size, rec->clashes,
                  yes_no(rec->flags, HASH_DEFAULT_COMPARE), yes_no(rec->flags, HASH_DEFAULT_HASH),
                  yes_no(rec->flags, HASH_ALIVE));
    }
}
