// ptrset: pointer sets over the skip list (see ptrset.h).
//
// The table's keys and values are both the element. Binary operations walk
// a listing of one operand's table (skiplist_values) and look up, insert or
// remove in the other's. Set records and iteration nodes come from two free
// caches made together by the first operation that makes a set; nothing
// here ever frees the elements.
#include "common/ptrset.h"

#include "common/freecache.h"
#include "common/skiplist.h"
#include "common/vector.h"
#include "common/vq4assert.h"

// One active iteration: a snapshot of the listing, iterated as a vector.
struct ptrset_iter_node {
    vec *items;
    ptrset_iter_node *below;
};

struct ptrset {
    skiplist *table;            // null until the first element, and after a clear
    ptrset_iter_node *iterator; // top of the iteration stack, or null
    uint32_t serial;
    ptrset_order_fn order;
};

namespace {

constexpr uint32_t kMaxKeptObjects = 8192;

freecache *gSetRecords = nullptr;
freecache *gIterationNodes = nullptr;
uint32_t gNextSerial = 0;

ptrset *new_set(ptrset_order_fn order) {
    if (gSetRecords == nullptr) {
        gSetRecords = freecache_create(sizeof(ptrset), kMaxKeptObjects);
        gIterationNodes = freecache_create(sizeof(ptrset_iter_node), kMaxKeptObjects);
    }
    auto *set = static_cast<ptrset *>(freecache_alloc(gSetRecords));
    set->serial = gNextSerial++;
    set->order = order;
    return set;
}

skiplist *table_of(ptrset *set) {
    if (set->table == nullptr)
        set->table = skiplist_create(nullptr, nullptr, nullptr, __FILE__, __LINE__);
    return set->table;
}

void drop_table(ptrset *set) {
    skiplist_destroy(set->table);
    set->table = nullptr;
}

bool has_table(const ptrset *set) {
    return set != nullptr && set->table != nullptr;
}

bool is_empty(const ptrset *set) {
    return !has_table(set) || skiplist_count(set->table) == 0;
}

// Lookups answer with the stored value, so the null element is never found.
bool holds(skiplist *table, const void *element) {
    return table != nullptr && skiplist_lookup(table, element) != nullptr;
}

void insert(skiplist *table, void *element) {
    if (!holds(table, element))
        skiplist_insert(table, element, element, __FILE__, __LINE__);
}

// Calls visit with each element of a listing of table, in table order, until
// it returns true; returns whether it did. The listing is a snapshot, so
// visit may change the table.
template <typename Visit> bool any_element(skiplist *table, Visit visit) {
    vec *elements = skiplist_values(table);
    bool found = false;
    for (uint32_t i = 0; i < vec_size(elements) && !found; ++i)
        found = visit(vec_get(elements, i));
    vec_destroy(elements);
    return found;
}

template <typename Visit> void each_element(skiplist *table, Visit visit) {
    any_element(table, [&visit](void *element) {
        visit(element);
        return false;
    });
}

// Whether some element of walked is (member true) or is not (member false)
// in within; the walk stops at the first such element.
bool any_with_membership(ptrset *walked, ptrset *within, bool member) {
    skiplist *table = within->table;
    return any_element(walked->table,
                       [table, member](void *element) { return holds(table, element) == member; });
}

int add_low_bits(void *context, const void *, void *element) {
    *static_cast<uint32_t *>(context) +=
        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(element));
    return 0;
}

vec *top_items(const ptrset *sp) {
    return sp->iterator != nullptr ? sp->iterator->items : nullptr;
}

void pop_iteration(ptrset *sp) {
    ptrset_iter_node *node = sp->iterator;
    sp->iterator = node->below;
    vec_destroy(node->items);
    freecache_release(gIterationNodes, node);
}

} // namespace

ptrset *ptrset_create(ptrset_order_fn order) {
    return new_set(order);
}

void ptrset_destroy(ptrset *set) {
    if (set == nullptr)
        return;
    drop_table(set);
    while (set->iterator != nullptr)
        pop_iteration(set);
    freecache_release(gSetRecords, set);
}

ptrset *ptrset_copy(ptrset *so) {
    VQ4_ASSERT(so != nullptr, "so != NULL");
    ptrset *copy = new_set(so->order);
    if (so->table != nullptr)
        copy->table = skiplist_copy(so->table);
    return copy;
}

void ptrset_assign(ptrset *dest, ptrset *src) {
    VQ4_ASSERT(dest != nullptr, "dest != NULL");
    VQ4_ASSERT(src != nullptr, "src != NULL");
    VQ4_ASSERT(dest->iterator == nullptr, "dest->iterator == NULL");
    // Copied before the old table goes, so that a set assigned to itself
    // keeps its elements.
    skiplist *copy = src->table != nullptr ? skiplist_copy(src->table) : nullptr;
    skiplist_destroy(dest->table);
    dest->table = copy;
}

void ptrset_clear(ptrset *sp) {
    VQ4_ASSERT(sp != nullptr, "sp != NULL");
    drop_table(sp);
}

void ptrset_add(ptrset *set, void *element) {
    insert(table_of(set), element);
}

int ptrset_remove(ptrset *sp, void *element) {
    VQ4_ASSERT(sp != nullptr, "sp != NULL");
    return sp->table != nullptr && skiplist_remove(sp->table, element) != nullptr;
}

int ptrset_has(ptrset *sp, const void *element) {
    VQ4_ASSERT(sp != nullptr, "sp != NULL");
    return holds(sp->table, element);
}

uint32_t ptrset_count(ptrset *sp) {
    VQ4_ASSERT(sp != nullptr, "sp != NULL");
    return sp->table != nullptr ? skiplist_count(sp->table) : 0;
}

int ptrset_is_empty(ptrset *set) {
    return is_empty(set);
}

void *ptrset_first(ptrset *set) {
    return has_table(set) ? skiplist_first(set->table) : nullptr;
}

int32_t ptrset_sum(ptrset *set) {
    uint32_t sum = 0;
    if (has_table(set))
        skiplist_foreach(set->table, &sum, add_low_bits);
    return static_cast<int32_t>(sum);
}

vec *ptrset_list(ptrset *sp) {
    VQ4_ASSERT(sp != nullptr, "sp != NULL");
    vec *elements =
        sp->table != nullptr ? skiplist_values(sp->table) : vec_create(__FILE__, __LINE__);
    if (sp->order != nullptr)
        vec_sort(elements, sp->order);
    return elements;
}

void ptrset_union_into(ptrset *sd, ptrset *ss) {
    VQ4_ASSERT(ss != nullptr, "ss != NULL");
    if (ss->table == nullptr)
        return;
    VQ4_ASSERT(sd != nullptr, "sd != NULL");
    skiplist *dest = table_of(sd);
    each_element(ss->table, [dest](void *element) { insert(dest, element); });
}

void ptrset_intersect_into(ptrset *sd, ptrset *ss) {
    VQ4_ASSERT(sd != nullptr, "sd != NULL");
    if (sd->table == nullptr)
        return;
    VQ4_ASSERT(ss != nullptr, "ss != NULL");
    if (ss->table == nullptr) {
        drop_table(sd);
        return;
    }
    skiplist *dest = sd->table;
    skiplist *src = ss->table;
    each_element(dest, [dest, src](void *element) {
        if (!holds(src, element))
            skiplist_remove(dest, element);
    });
}

void ptrset_subtract_into(ptrset *sd, ptrset *ss) {
    if (!has_table(sd) || !has_table(ss))
        return;
    skiplist *dest = sd->table;
    each_element(ss->table, [dest](void *element) { skiplist_remove(dest, element); });
}

void ptrset_toggle_into(ptrset *sd, ptrset *ss) {
    VQ4_ASSERT(ss != nullptr, "ss != NULL");
    if (ss->table == nullptr)
        return;
    each_element(ss->table, [sd](void *element) {
        if (ptrset_has(sd, element))
            ptrset_remove(sd, element);
        else
            ptrset_add(sd, element);
    });
}

ptrset *ptrset_union(ptrset *so, ptrset *s2) {
    ptrset *result = ptrset_copy(so);
    ptrset_union_into(result, s2);
    return result;
}

ptrset *ptrset_intersection(ptrset *so, ptrset *s2) {
    ptrset *result = ptrset_copy(so);
    ptrset_intersect_into(result, s2);
    return result;
}

ptrset *ptrset_difference(ptrset *so, ptrset *s2) {
    ptrset *result = ptrset_copy(so);
    ptrset_subtract_into(result, s2);
    return result;
}

int ptrset_equal(ptrset *s1, ptrset *s2) {
    VQ4_ASSERT(s1 != nullptr, "s1 != NULL");
    VQ4_ASSERT(s2 != nullptr, "s2 != NULL");
    if (is_empty(s1))
        return is_empty(s2);
    if (is_empty(s2) || skiplist_count(s1->table) != skiplist_count(s2->table))
        return 0;
    vec *a = ptrset_list(s1);
    vec *b = ptrset_list(s2);
    bool same = true;
    for (uint32_t i = 0; i < vec_size(a) && same; ++i)
        same = vec_get(a, i) == vec_get(b, i);
    vec_destroy(a);
    vec_destroy(b);
    return same;
}

int ptrset_intersects(ptrset *sp1, ptrset *sp2) {
    VQ4_ASSERT(sp1 != nullptr, "sp1 != NULL");
    VQ4_ASSERT(sp2 != nullptr, "sp2 != NULL");
    return !is_empty(sp1) && !is_empty(sp2) && any_with_membership(sp2, sp1, true);
}

int ptrset_contains_all(ptrset *sp1, ptrset *sp2) {
    VQ4_ASSERT(sp1 != nullptr, "sp1 != NULL");
    VQ4_ASSERT(sp2 != nullptr, "sp2 != NULL");
    return is_empty(sp2) || (!is_empty(sp1) && !any_with_membership(sp2, sp1, false));
}

int ptrset_any_outside(ptrset *s1, ptrset *s2) {
    VQ4_ASSERT(s1 != nullptr, "s1 != NULL");
    VQ4_ASSERT(s2 != nullptr, "s2 != NULL");
    return !is_empty(s1) && !is_empty(s2) && any_with_membership(s1, s2, false);
}

void ptrset_iter_reset(ptrset *sp) {
    VQ4_ASSERT(sp != nullptr, "sp != NULL");
    if (sp->table == nullptr)
        return;
    auto *node = static_cast<ptrset_iter_node *>(freecache_alloc(gIterationNodes));
    node->items = ptrset_list(sp);
    vec_iter_reset(node->items);
    node->below = sp->iterator;
    sp->iterator = node;
}

int ptrset_iter_valid(ptrset *sp) {
    VQ4_ASSERT(sp != nullptr, "sp != NULL");
    VQ4_ASSERT(sp->table == nullptr || sp->iterator != nullptr,
               "sp->table == NULL || sp->iterator != NULL");
    return sp->table != nullptr ? vec_iter_valid(top_items(sp)) : 0;
}

void *ptrset_iter_get(ptrset *sp) {
    VQ4_ASSERT(sp != nullptr, "sp != NULL");
    return vec_iter_get(top_items(sp));
}

void *ptrset_iter_peek(ptrset *sp) {
    VQ4_ASSERT(sp != nullptr, "sp != NULL");
    return vec_iter_peek(top_items(sp));
}

void *ptrset_iter_first(ptrset *sp) {
    VQ4_ASSERT(sp != nullptr, "sp != NULL");
    if (sp->table != nullptr)
        ptrset_iter_reset(sp);
    return ptrset_iter_get(sp);
}

int ptrset_iter_next(ptrset *sp, int more) {
    VQ4_ASSERT(sp != nullptr, "sp != NULL");
    if (more == 0 && sp->iterator != nullptr)
        pop_iteration(sp);
    return more;
}

ptrset_order_fn ptrset_order(ptrset *sp) {
    VQ4_ASSERT(sp != nullptr, "sp != NULL");
    return sp->order;
}

uint32_t ptrset_serial(ptrset *sp) {
    VQ4_ASSERT(sp != nullptr, "sp != NULL");
    return sp->serial;
}
