// vector: growable arrays of pointer-sized items with a built-in iterator
// stack, creation sites and an optional master list of every vector made.
#include "common/vector.h"

#include "common/freecache.h"
#include "common/osdep.h"
#include "common/stringcache.h"
#include "common/vq4assert.h"
#include "common/vqdebug.h"

#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

struct vec_track_record {
    vec *vector;
    unsigned flags; // kAlive
    const char *file;
    int32_t line;
    uint32_t capacity;
    uint32_t max_count;
};

namespace {

constexpr unsigned kAlive = 1;
constexpr uint32_t kDefaultInitialCapacity = 10;
constexpr uint32_t kMaxKeptIterators = 8192;

bool gTracking = false;
vec *gMasterList = nullptr;
freecache *gIteratorNodes = nullptr;
uint32_t gNextSerial = 0;

// One row of the per-site summary of vec_report.
struct SummaryRow {
    const char *file;
    int32_t line;
    uintmax_t living, dead, total;
    uintmax_t living_capacity, dead_capacity, total_capacity;
    SummaryRow *next;
};

SummaryRow gTotalRow = {"Total Summary", 0, 0, 0, 0, 0, 0, 0, nullptr};
SummaryRow *gSummaryRows = &gTotalRow;

bool is_alive(const vec *p) {
    return (p->track->flags & kAlive) != 0;
}

// After the count rose: a tracked vector remembers its largest count.
void note_count(vec *p) {
    if (p->track == nullptr)
        return;
    VQ4_ASSERT(is_alive(p), "is_alive(p)");
    if (p->count > p->track->max_count)
        p->track->max_count = p->count;
}

vec_track_record *new_track_record(vec *p, const char *file, int line) {
    auto *rec = static_cast<vec_track_record *>(must_alloc(sizeof(vec_track_record)));
    rec->vector = p;
    rec->flags = kAlive;
    rec->file = file;
    rec->line = line;
    vec_append(gMasterList, rec);
    return rec;
}

// End of the slots written since the last growth.
uint32_t written_end(const vec *p) {
    return p->count > p->written ? p->count : p->written;
}

// Before the count falls: the slots given up keep their items.
void give_up_slots(vec *p) {
    p->written = written_end(p);
}

void push_iterator(vec *p) {
    auto *node = static_cast<vec_iter_node *>(freecache_alloc(gIteratorNodes));
    node->below = p->iterator;
    p->iterator = node;
}

void pop_iterator(vec *p) {
    vec_iter_node *node = p->iterator;
    p->iterator = node->below;
    freecache_release(gIteratorNodes, node);
}

} // namespace

vec *vec_create_sized(uint32_t initial_capacity, const char *file, int line) {
    if (gIteratorNodes == nullptr)
        gIteratorNodes = freecache_create(sizeof(vec_iter_node), kMaxKeptIterators);
    auto *p = static_cast<vec *>(must_alloc(sizeof(vec)));
    p->initial_capacity = initial_capacity;
    p->serial = gNextSerial++;
    if (gTracking)
        p->track = new_track_record(p, file, line);
    return p;
}

vec *vec_create(const char *file, int line) {
    return vec_create_sized(kDefaultInitialCapacity, file, line);
}

vec *vec_copy(vec *p, const char *file, int line) {
    if (p == nullptr)
        return nullptr;
    auto *copy = static_cast<vec *>(must_alloc(sizeof(vec)));
    *copy = *p;
    copy->iterator = nullptr;
    copy->data = nullptr;
    copy->written = 0;
    if (p->capacity != 0) {
        copy->data = static_cast<void **>(must_alloc(p->capacity * uint32_t{sizeof(void *)}));
        if (p->count != 0)
            std::memcpy(copy->data, p->data, p->count * sizeof(void *));
    }
    if (p->track != nullptr) {
        VQ4_ASSERT(is_alive(p), "is_alive(p)");
        copy->track = new_track_record(copy, file, line);
        copy->track->capacity = p->capacity;
        copy->track->max_count = p->count;
    }
    return copy;
}

void vec_destroy(vec *p) {
    if (p == nullptr)
        return;
    std::free(p->data);
    while (p->iterator != nullptr)
        pop_iterator(p);
    if (p->track != nullptr) {
        VQ4_ASSERT(is_alive(p), "is_alive(p)");
        p->track->flags &= ~kAlive;
    }
    std::free(p);
}

uint32_t vec_size(const vec *p) {
    return p == nullptr ? 0 : p->count;
}

void *vec_get(const vec *p, uint32_t index) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    if (index >= p->count)
        return nullptr;
    VQ4_ASSERT(p->data != nullptr, "p->data != NULL");
    return p->data[index];
}

void *vec_last(const vec *p) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    if (p->count == 0)
        return nullptr;
    VQ4_ASSERT(p->data != nullptr, "p->data != NULL");
    return p->data[p->count - 1];
}

uint32_t vec_find(const vec *p, const void *item) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    if (p->count == 0)
        return VEC_NOT_FOUND;
    VQ4_ASSERT(p->data != nullptr, "p->data != NULL");
    for (uint32_t i = 0; i < p->count; ++i)
        if (p->data[i] == item)
            return i;
    return VEC_NOT_FOUND;
}

void vec_reserve(vec *p, uint32_t n) {
    uint32_t want = n > p->count ? n : p->count;
    if (p->capacity != 0 && want < p->capacity)
        return;
    // A zero initial capacity would never grow; it is taken as 1.
    uint64_t capacity = p->capacity != 0           ? uint64_t{p->capacity} * 2
                        : p->initial_capacity != 0 ? p->initial_capacity
                                                   : 1;
    while (want >= capacity)
        capacity *= 2;
    // The buffer is resized in place where the heap allows. Only the first
    // count slots carry over; the rest count as never written, so they read
    // as null (vec_set clears them when it first reaches past them).
    p->data = static_cast<void **>(must_realloc(p->data, capacity * sizeof(void *)));
    p->capacity = static_cast<uint32_t>(capacity);
    p->written = 0;
    if (p->track != nullptr) {
        VQ4_ASSERT(is_alive(p), "is_alive(p)");
        p->track->capacity = p->capacity;
    }
}

void vec_append_slow(vec *p, void *item) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    if (p->count >= p->capacity)
        vec_reserve(p, p->count);
    VQ4_ASSERT(p->data != nullptr, "p->data != NULL");
    p->data[p->count++] = item;
    note_count(p);
}

void vec_append_unique(vec *p, void *item) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    if (vec_find(p, item) == VEC_NOT_FOUND)
        vec_append(p, item);
}

namespace {

// Walks n with its own iterator and appends its items to p (only those p
// lacks when unique). Stops after n's original count, so that appending a
// vector to itself ends.
uint32_t append_items(vec *p, vec *n, bool unique) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    VQ4_ASSERT(n != nullptr, "n != NULL");
    uint32_t total = n->count;
    vec_iter_reset(n);
    for (uint32_t taken = 0; taken < total && vec_iter_valid(n); ++taken) {
        void *item = vec_iter_get(n);
        if (unique)
            vec_append_unique(p, item);
        else
            vec_append(p, item);
    }
    vec_iter_next(n, 0);
    return total;
}

} // namespace

uint32_t vec_append_all(vec *p, vec *n) {
    return append_items(p, n, false);
}

uint32_t vec_append_all_unique(vec *p, vec *n) {
    return append_items(p, n, true);
}

uint32_t vec_insert(vec *p, void *item, uint32_t index) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    vec_reserve(p, p->count);
    VQ4_ASSERT(p->data != nullptr, "p->data != NULL");
    uint32_t k = index < p->count ? index : p->count;
    for (vec_iter_node *it = p->iterator; it != nullptr; it = it->below)
        if (it->position >= k)
            ++it->position;
    std::memmove(p->data + k + 1, p->data + k, (p->count - k) * sizeof(void *));
    p->data[k] = item;
    ++p->count;
    note_count(p);
    return k;
}

void vec_set(vec *p, void *item, uint32_t index) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    vec_reserve(p, index);
    VQ4_ASSERT(p->data != nullptr, "p->data != NULL");
    uint32_t written = written_end(p);
    if (index > written)
        std::memset(p->data + written, 0, (index - written) * sizeof(void *));
    if (index >= p->count) {
        p->count = index + 1;
        note_count(p);
    }
    p->data[index] = item;
}

void vec_move(vec *p, uint32_t from, uint32_t to) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    if (from >= p->count)
        return;
    vec_reserve(p, to);
    VQ4_ASSERT(p->data != nullptr, "p->data != NULL");
    void *item = p->data[from];
    if (from < to)
        std::memmove(p->data + from, p->data + from + 1, (to - from) * sizeof(void *));
    else if (from > to)
        std::memmove(p->data + to + 1, p->data + to, (from - to) * sizeof(void *));
    p->data[to] = item;
}

void *vec_pop(vec *p) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    if (p->count == 0)
        return nullptr;
    VQ4_ASSERT(p->data != nullptr, "p->data != NULL");
    give_up_slots(p);
    return p->data[--p->count];
}

int vec_remove_at(vec *p, uint32_t index) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    if (index >= p->count)
        return 0;
    give_up_slots(p);
    --p->count;
    for (vec_iter_node *it = p->iterator; it != nullptr; it = it->below)
        if (it->position > index)
            --it->position;
    VQ4_ASSERT(p->data != nullptr, "p->data != NULL");
    std::memmove(p->data + index, p->data + index + 1, (p->count - index) * sizeof(void *));
    p->data[p->count] = nullptr;
    return 1;
}

int vec_remove(vec *p, const void *item) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    uint32_t index = vec_find(p, item);
    return index == VEC_NOT_FOUND ? 0 : vec_remove_at(p, index);
}

void vec_clear(vec *p) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    give_up_slots(p);
    p->count = 0;
}

const char **vec_argv(vec *p) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    if (p->count == 0 || p->data[p->count - 1] != nullptr)
        vec_append(p, nullptr);
    return const_cast<const char **>(reinterpret_cast<char **>(p->data));
}

void vec_sort(vec *p, vec_compare_fn compare) {
    VQ4_ASSERT(p != nullptr, "p != NULL");
    if (p->count == 0)
        return;
    VQ4_ASSERT(p->data != nullptr, "p->data != NULL");
    os_sort(p->data, p->count, sizeof(void *), compare);
}

void vec_iter_reset(vec *p) {
    if (p != nullptr)
        push_iterator(p);
}

int vec_iter_valid_slow(const vec *p) {
    if (p == nullptr)
        return 0;
    VQ4_ASSERT(p->iterator != nullptr, "p->iterator != NULL");
    return p->iterator->position < p->count;
}

void *vec_iter_peek(const vec *p) {
    if (p == nullptr)
        return nullptr;
    VQ4_ASSERT(p->iterator != nullptr, "p->iterator != NULL");
    if (p->iterator->position >= p->count)
        return nullptr;
    VQ4_ASSERT(p->data != nullptr, "p->data != NULL");
    return p->data[p->iterator->position];
}

void *vec_iter_get_slow(vec *p) {
    void *item = vec_iter_peek(p);
    if (p != nullptr && p->iterator->position < p->count)
        ++p->iterator->position;
    return item;
}

void *vec_iter_first(vec *p) {
    vec_iter_reset(p);
    return vec_iter_get(p);
}

int vec_iter_next_slow(vec *p, int more) {
    if (p == nullptr) {
        VQ4_ASSERT(more == 0, "more == 0");
        return 0;
    }
    VQ4_ASSERT(p->iterator != nullptr, "p->iterator != NULL");
    if (more == 0)
        pop_iterator(p);
    return more;
}

void vec_track(bool on) {
    gTracking = false;
    if (!on)
        return;
    gMasterList = vec_create(__FILE__, __LINE__);
    gTracking = true;
}

namespace {

// Report order: capacity descending, max count ascending, file, line, then
// the record's address descending.
int compare_records(const void *a, const void *b) {
    auto *x = *static_cast<vec_track_record *const *>(a);
    auto *y = *static_cast<vec_track_record *const *>(b);
    if (x->capacity != y->capacity)
        return x->capacity > y->capacity ? -1 : 1;
    if (x->max_count != y->max_count)
        return x->max_count < y->max_count ? -1 : 1;
    if (int c = std::strcmp(x->file, y->file); c != 0)
        return c;
    if (x->line != y->line)
        return x->line < y->line ? -1 : 1;
    if (x == y)
        return 0;
    return x > y ? -1 : 1;
}

SummaryRow *summary_row_for(const vec_track_record *rec) {
    for (SummaryRow *row = gSummaryRows; row != nullptr; row = row->next)
        if (row->file == rec->file && row->line == rec->line)
            return row;
    auto *row = static_cast<SummaryRow *>(must_alloc(sizeof(SummaryRow)));
    row->file = rec->file;
    row->line = rec->line;
    row->next = gSummaryRows;
    gSummaryRows = row;
    return row;
}

void count_record(const vec_track_record *rec) {
    SummaryRow *row = summary_row_for(rec);
    bool alive = (rec->flags & kAlive) != 0;
    for (SummaryRow *r : {row, &gTotalRow}) {
        (alive ? r->living : r->dead) += 1;
        (alive ? r->living_capacity : r->dead_capacity) += rec->capacity;
        r->total += 1;
        r->total_capacity += rec->capacity;
    }
    if (alive)
        db_printf("# %p    %s:%d    %u/%u    %c", static_cast<void *>(rec->vector), rec->file,
                  rec->line, rec->max_count, rec->capacity, 'Y');
}

} // namespace

void vec_report(void) {
    if (gMasterList == nullptr)
        return;
    if (gMasterList->count != 0)
        vec_sort(gMasterList, compare_records);
    db_puts("# Living Vector Master List:");
    db_puts("# ptr    file:line    max_count/capacity    alive");
    for (uint32_t i = 0; i < gMasterList->count; ++i)
        count_record(static_cast<vec_track_record *>(gMasterList->data[i]));
    db_puts("# Vector Master List Summary:");
    db_puts("#                                                                  Living"
            "              Dead                Total");
    db_puts("#                                file:line                         "
            "vectors/capacity    vectors/capacity    vectors/capacity");
    for (const SummaryRow *row = gSummaryRows; row != nullptr; row = row->next)
        db_printf("# %35s:%-5d                        %ju/%ju    %ju/%ju    %ju/%ju", row->file,
                  row->line, row->living, row->living_capacity, row->dead, row->dead_capacity,
                  row->total, row->total_capacity);
}
