// skiplist: the ordered map of pointer-sized keys (see skiplist.h).
//
// Nodes carry as many forward links as their level count (1 to 16). The
// head node has all 16; its levels field holds the list's current height.
// A search walks from the head's top level down, recording in update[] the
// last node before the key's position on every level; insertion and removal
// relink exactly those predecessors.
#include "common/skiplist.h"

#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vq4assert.h"
#include "common/vqdebug.h"

#include <cstddef>
#include <cstdlib>

namespace {

constexpr uint32_t kMaxLevels = 16;

// Tracking-record flag bits.
constexpr unsigned kAlive = 1u;
constexpr unsigned kDefaultCompare = 2u;
constexpr unsigned kDefaultHash = 4u;

enum class SearchMode { find, insert, remove };

} // namespace

struct skiplist_node {
    void *value;
    const void *key;
    uint32_t hash;
    uint32_t levels;
    uint32_t serial;
    skiplist_node *forward[];
};

struct skiplist_track_record {
    skiplist *list;
    unsigned flags;
    const char *file;
    int32_t line;
    uint32_t max_usage;
    uint32_t clashes;
    uint32_t inserts;
    uint32_t max_chain;
    skiplist_tostring_fn key_tostring;
};

struct skiplist {
    skiplist_node *head;
    skiplist_node *update[kMaxLevels];
    uint32_t count;
    skiplist_hash_fn hash;
    skiplist_cmp_fn compare;
    skiplist_track_record *debug;
};

namespace {

bool tracking = false;
vec *master_list = nullptr;
uint32_t serial_counter = 0;
bool rand_seeded = false;

uint32_t default_hash(const void *key) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key));
}

int32_t default_compare(const void *a, const void *b) {
    return static_cast<int32_t>(default_hash(a) - default_hash(b));
}

const char *default_key_tostring(const void *key) {
    return key == nullptr ? "NULL" : sc_printf("%p", key);
}

bool is_alive(const skiplist *h) {
    return (h->debug->flags & kAlive) != 0;
}

skiplist_tostring_fn key_renderer(const skiplist *h) {
    return h->debug != nullptr ? h->debug->key_tostring : default_key_tostring;
}

skiplist_node *new_node(uint32_t levels) {
    size_t size = offsetof(skiplist_node, forward) + levels * sizeof(skiplist_node *);
    auto *node = static_cast<skiplist_node *>(must_alloc(static_cast<uint32_t>(size)));
    node->levels = levels;
    return node;
}

// The search shared by every keyed operation. Returns the node with an
// equal key, or null; leaves the predecessors of the key's position in
// h->update (complete only when there is no result or the mode is not find).
skiplist_node *search(skiplist *h, const void *key, SearchMode mode) {
    skiplist_node *head = h->head;
    if (mode != SearchMode::find) {
        for (uint32_t i = 0; i < head->levels; ++i)
            h->update[i] = nullptr;
    }
    uint32_t hash = h->hash(key);
    uint32_t equal_hashes = 0;
    skiplist_node *result = nullptr;
    skiplist_node *x = head;
    for (uint32_t level = head->levels; level-- > 0;) {
        for (skiplist_node *next = x->forward[level]; next != nullptr; next = x->forward[level]) {
            if (next->hash < hash) {
                x = next;
                continue;
            }
            if (next->hash > hash)
                break;
            if (level == 0)
                ++equal_hashes;
            int32_t r = h->compare(key, next->key);
            if (r == 0 && mode == SearchMode::find)
                return next;
            if (r > 0) {
                x = next;
                continue;
            }
            if (r == 0 && level == 0)
                result = next;
            break;
        }
        h->update[level] = x;
    }
    for (skiplist_node *n = x->forward[0]; n != nullptr && n->hash == hash; n = n->forward[0])
        ++equal_hashes;
    if (mode == SearchMode::insert && h->debug != nullptr) {
        uint32_t chain = result != nullptr ? equal_hashes : equal_hashes + 1;
        if (chain > h->debug->max_chain)
            h->debug->max_chain = chain;
    }
    return result;
}

// Draws the level count of a new node: each extra level with probability
// 1/4, at most one above the list's height, never above 16.
uint32_t random_levels(uint32_t list_levels) {
    if (!rand_seeded) {
        std::srand(0);
        (void)std::rand();
        rand_seeded = true;
    }
    uint32_t levels = 1;
    while (std::rand() % 4 == 0 && levels <= list_levels && levels != kMaxLevels)
        ++levels;
    return levels;
}

void dump_from_head(const skiplist *h, skiplist_tostring_fn key_tostring) {
    db_printf("HEAD(%4d)", static_cast<int>(h->count));
    for (skiplist_node *n = h->head; n != nullptr; n = n->forward[0])
        skiplist_dump_node(n, key_tostring);
}

// Walks every level from the top and stops the program at the first node
// whose hash is below its predecessor's, after dumping the list.
void check_order(const skiplist *h, const char *file, int line) {
    for (uint32_t level = h->head->levels; level-- > 0;) {
        uint32_t previous = h->head->hash;
        for (skiplist_node *n = h->head->forward[level]; n != nullptr; n = n->forward[level]) {
            if (n->hash < previous) {
                db_printf("SKIPLIST Node out-of-order: @ %s:%d", file, line);
                skiplist_dump_node(n, key_renderer(h));
                db_puts("List AFTER:");
                dump_from_head(h, key_renderer(h));
                VQ4_ASSERT(false, "0");
            }
            previous = n->hash;
        }
    }
}

void note_insertion(skiplist *h, skiplist_node *node, const char *file, int line) {
    skiplist_track_record *rec = h->debug;
    skiplist_node *before = h->update[0];
    skiplist_node *after = node->forward[0];
    if (before->hash == node->hash || (after != nullptr && after->hash == node->hash)) {
        ++rec->clashes;
        if (DB_TRACING_LINES())
            tracef(file, line, "SKIPLIST @ %s:%d (#%u) clashed %d times inserting (%p,%p)",
                   rec->file, rec->line, h->count - 1, 1, node->key, node->value);
    }
    ++rec->inserts;
    if (h->count > rec->max_usage)
        rec->max_usage = h->count;
    check_order(h, file, line);
}

void free_nodes(skiplist *h) {
    if (h->count == 0)
        return;
    skiplist_node *n = h->head->forward[0];
    while (n != nullptr) {
        skiplist_node *next = n->forward[0];
        std::free(n);
        n = next;
    }
    h->head->forward[0] = nullptr;
    h->count = 0;
    h->head->levels = 1;
}

// Report order: clashes, inserts, max usage, then address; larger first.
template <typename T> int descending(T a, T b) {
    return (a < b) - (a > b);
}

int compare_records(const void *a, const void *b) {
    auto *ra = *static_cast<skiplist_track_record *const *>(a);
    auto *rb = *static_cast<skiplist_track_record *const *>(b);
    if (int c = descending(ra->clashes, rb->clashes))
        return c;
    if (int c = descending(ra->inserts, rb->inserts))
        return c;
    if (int c = descending(ra->max_usage, rb->max_usage))
        return c;
    return descending(reinterpret_cast<uintptr_t>(ra), reinterpret_cast<uintptr_t>(rb));
}

char yes_no(unsigned flags, unsigned bit) {
    return (flags & bit) != 0 ? 'Y' : 'n';
}

} // namespace

skiplist *skiplist_create(skiplist_hash_fn hash, skiplist_cmp_fn compare,
                          skiplist_tostring_fn key_tostring, const char *file, int line) {
    auto *h = static_cast<skiplist *>(must_alloc(sizeof(skiplist)));
    h->head = new_node(kMaxLevels);
    h->head->levels = 1;
    h->head->serial = serial_counter++;
    h->hash = hash != nullptr ? hash : default_hash;
    h->compare = compare != nullptr ? compare : default_compare;
    if (tracking) {
        if (master_list == nullptr)
            master_list = vec_create(__FILE__, __LINE__);
        auto *rec = static_cast<skiplist_track_record *>(must_alloc(sizeof(skiplist_track_record)));
        rec->list = h;
        rec->flags = kAlive;
        if (h->compare == default_compare)
            rec->flags |= kDefaultCompare;
        if (h->hash == default_hash)
            rec->flags |= kDefaultHash;
        rec->file = file;
        rec->line = line;
        rec->key_tostring = key_tostring != nullptr ? key_tostring : default_key_tostring;
        vec_append(master_list, rec);
        h->debug = rec;
    }
    return h;
}

void skiplist_destroy(skiplist *h) {
    if (h == nullptr)
        return;
    if (h->debug != nullptr) {
        VQ4_ASSERT(is_alive(h), "isalive(h)");
        h->debug->flags &= ~kAlive;
    }
    free_nodes(h);
    std::free(h->head);
    std::free(h);
}

void skiplist_clear(skiplist *h) {
    free_nodes(h);
}

skiplist *skiplist_copy(skiplist *h) {
    skiplist *copy = skiplist_create(h->hash, h->compare, nullptr, __FILE__, __LINE__);
    for (skiplist_node *n = h->head->forward[0]; n != nullptr; n = n->forward[0])
        skiplist_insert(copy, n->key, n->value, __FILE__, __LINE__);
    return copy;
}

int skiplist_insert(skiplist *h, const void *key, void *value, const char *file, int line) {
    VQ4_ASSERT(h->debug == nullptr || is_alive(h), "h->debug == NULL || isalive(h)");
    if (search(h, key, SearchMode::insert) != nullptr)
        return 0;
    skiplist_node *head = h->head;
    uint32_t levels = random_levels(head->levels);
    skiplist_node *node = new_node(levels);
    if (levels > head->levels) {
        head->levels = levels;
        head->forward[levels - 1] = nullptr;
        h->update[levels - 1] = head;
    }
    node->key = key;
    node->value = value;
    node->serial = serial_counter++;
    node->hash = h->hash(key);
    for (uint32_t level = levels; level-- > 0;) {
        skiplist_node *before = h->update[level];
        VQ4_ASSERT(before != nullptr, "op");
        node->forward[level] = before->forward[level];
        before->forward[level] = node;
    }
    ++h->count;
    if (h->debug != nullptr)
        note_insertion(h, node, file, line);
    return 1;
}

void *skiplist_remove(skiplist *h, const void *key) {
    skiplist_node *node = search(h, key, SearchMode::remove);
    if (node == nullptr)
        return nullptr;
    for (uint32_t level = node->levels; level-- > 0;) {
        skiplist_node *before = h->update[level];
        VQ4_ASSERT(before != nullptr, "op");
        before->forward[level] = node->forward[level];
    }
    --h->count;
    void *value = node->value;
    std::free(node);
    return value;
}

void *skiplist_lookup(skiplist *h, const void *key) {
    skiplist_node *node = search(h, key, SearchMode::find);
    return node != nullptr ? node->value : nullptr;
}

int skiplist_haskey(skiplist *h, const void *key) {
    return h != nullptr && search(h, key, SearchMode::find) != nullptr ? 1 : 0;
}

void *skiplist_lookup_floor(skiplist *h, const void *key) {
    h->update[0] = nullptr;
    skiplist_node *node = search(h, key, SearchMode::find);
    if (node == nullptr)
        node = h->update[0] != nullptr ? h->update[0] : h->head;
    return node->value;
}

void *skiplist_lookup_next(skiplist *h, const void *key) {
    h->update[0] = nullptr;
    skiplist_node *node = search(h, key, SearchMode::find);
    if (node == nullptr)
        node = h->update[0] != nullptr ? h->update[0] : h->head;
    skiplist_node *next = node->forward[0];
    return next != nullptr ? next->value : nullptr;
}

void *skiplist_first(skiplist *h) {
    skiplist_node *first = h->head->forward[0];
    return first != nullptr ? first->value : nullptr;
}

uint32_t skiplist_count(skiplist *h) {
    return h->count;
}

int skiplist_foreach(skiplist *h, void *context, skiplist_visit_fn visit) {
    for (skiplist_node *n = h->head->forward[0]; n != nullptr; n = n->forward[0])
        visit(context, n->key, n->value);
    return 0;
}

vec *skiplist_keys(skiplist *h) {
    vec *keys = vec_create(__FILE__, __LINE__);
    for (skiplist_node *n = h->head->forward[0]; n != nullptr; n = n->forward[0])
        vec_append(keys, const_cast<void *>(n->key));
    return keys;
}

vec *skiplist_values(skiplist *h) {
    vec *values = vec_create(__FILE__, __LINE__);
    for (skiplist_node *n = h->head->forward[0]; n != nullptr; n = n->forward[0])
        vec_append(values, n->value);
    return values;
}

uint32_t skiplist_hash_string(const void *str) {
    const char *s = static_cast<const char *>(str);
    uint32_t h = 0;
    do {
        h = h * 2 + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*s)));
    } while (*s++ != '\0');
    return h;
}

void skiplist_track(int on) {
    tracking = on != 0;
}

void skiplist_report(void) {
    db_puts("# Skiplist Master List:");
    if (vec_size(master_list) == 0) {
        db_puts("# None.");
        return;
    }
    vec_sort(master_list, compare_records);
    db_puts("# ptr    file:line    max_usage    clashes/inserts    max_chain    voidcmp    voidhash"
            "    alive");
    for (uint32_t i = 0; i < vec_size(master_list); ++i) {
        auto *rec = static_cast<skiplist_track_record *>(vec_get(master_list, i));
        db_printf("# %p    %s:%d    %u    %u/%u    %u    %c    %c    %c",
                  static_cast<void *>(rec->list), rec->file, rec->line, rec->max_usage,
                  rec->clashes, rec->inserts, rec->max_chain, yes_no(rec->flags, kDefaultCompare),
                  yes_no(rec->flags, kDefaultHash), yes_no(rec->flags, kAlive));
    }
}

void skiplist_dump_node(skiplist_node *node, skiplist_tostring_fn key_tostring) {
    VQ4_ASSERT(key_tostring != nullptr, "key_tostring != NULL");
    db_printf("KEY: %s", key_tostring(node->key));
    db_printf("    number: %u", node->serial);
    db_printf("    hash:   %X", node->hash);
    db_printf("    order:  %u", node->levels);
    for (uint32_t level = node->levels; level-- > 0;) {
        skiplist_node *next = node->forward[level];
        db_printf("        %u) %s", level, next != nullptr ? key_tostring(next->key) : "Nil");
    }
}

void skiplist_dump(skiplist *h) {
    dump_from_head(h, key_renderer(h));
}
