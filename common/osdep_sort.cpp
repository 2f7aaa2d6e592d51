// osdep: the suite's own sort and binary search (quicksort without recursion).
#include "common/osdep.h"

#include "common/vq4assert.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kLocalPivotBytes = 800;
// The larger part is always deferred, so at most log2(count) ranges wait.
constexpr int kMaxPendingRanges = 64;

struct Range {
    size_t low;
    size_t high;
};

// Exchanges two elements byte-wise, in 16- and 8-byte steps where the size allows.
void swap_elements(unsigned char *a, unsigned char *b, size_t size) {
    unsigned char tmp[16];
    while (size >= 16) {
        std::memcpy(tmp, a, 16);
        std::memcpy(a, b, 16);
        std::memcpy(b, tmp, 16);
        a += 16, b += 16, size -= 16;
    }
    if (size >= 8) {
        std::memcpy(tmp, a, 8);
        std::memcpy(a, b, 8);
        std::memcpy(b, tmp, 8);
        a += 8, b += 8, size -= 8;
    }
    while (size-- > 0) {
        unsigned char t = *a;
        *a++ = *b;
        *b++ = t;
    }
}

} // namespace

void os_sort(void *vbase, size_t count, size_t size, os_compare_fn compare) {
    if (count < 2)
        return;
    VQ4_ASSERT(vbase != nullptr, "vbase");
    auto *base = static_cast<unsigned char *>(vbase);
    unsigned char local_pivot[kLocalPivotBytes];
    unsigned char *pivot = size < kLocalPivotBytes
                               ? local_pivot
                               : static_cast<unsigned char *>(std::malloc(size + 1));
    VQ4_ASSERT(pivot != nullptr, "pivot");
    auto at = [&](size_t i) { return base + i * size; };

    Range pending[kMaxPendingRanges];
    int npending = 0;
    Range cur{0, count - 1};
    for (;;) {
        while (cur.low < cur.high) {
            std::memcpy(pivot, at(cur.low + (cur.high - cur.low) / 2), size);
            // Signed indices: j may step below low (to low - 1) when low is 0.
            ptrdiff_t i = static_cast<ptrdiff_t>(cur.low);
            ptrdiff_t j = static_cast<ptrdiff_t>(cur.high);
            do {
                while (compare(at(i), pivot) < 0)
                    ++i;
                while (compare(pivot, at(j)) < 0)
                    --j;
                if (i <= j) {
                    if (i != j)
                        swap_elements(at(i), at(j), size);
                    ++i, --j;
                }
            } while (i <= j);
            ptrdiff_t low = static_cast<ptrdiff_t>(cur.low);
            ptrdiff_t high = static_cast<ptrdiff_t>(cur.high);
            if (j - low >= high - i) {
                if (j > low)
                    pending[npending++] = Range{cur.low, static_cast<size_t>(j)};
                cur = Range{static_cast<size_t>(i), cur.high};
            } else {
                if (high > i)
                    pending[npending++] = Range{static_cast<size_t>(i), cur.high};
                cur = Range{cur.low, static_cast<size_t>(j < low ? low : j)};
                if (j < low)
                    cur.high = cur.low;
            }
        }
        if (npending == 0)
            break;
        cur = pending[--npending];
    }
    if (pivot != local_pivot)
        std::free(pivot);
}

void *os_bsearch(const void *key, const void *vbase, size_t count, size_t size,
                 os_compare_fn compare) {
    if (count == 0)
        return nullptr;
    auto *base = static_cast<const unsigned char *>(vbase);
    size_t low = 0;
    size_t high = count - 1;
    for (;;) {
        size_t mid = low + (high - low) / 2;
        const unsigned char *element = base + mid * size;
        int r = compare(key, element);
        if (r == 0)
            return const_cast<unsigned char *>(element);
        if (r > 0) {
            low = mid + 1;
            if (low > high)
                return nullptr;
        } else {
            if (mid == 0)
                return nullptr;
            high = mid - 1;
            if (high < low)
                return nullptr;
        }
    }
}
