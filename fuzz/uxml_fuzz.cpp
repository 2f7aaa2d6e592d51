// Fuzz target of the XML reader and writer: a document the reader accepts
// is written out and read again, and the second tree must equal the first
// (names, texts, attributes and children, in order, at every depth); the
// writer's output of the second tree must equal its output of the first.
#include "common/uxml2.h"
#include "common/vector.h"
#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

bool same_text(const char *a, const char *b) {
    return std::strcmp(a ? a : "", b ? b : "") == 0;
}

bool same_record(const void *a, const void *b) {
    return same_text(uxml_name(a), uxml_name(b)) && same_text(uxml_text(a), uxml_text(b));
}

// Compares two vectors of records item by item; with children, queues the
// pairs to compare further.
bool same_items(vec *a, vec *b,
                std::vector<std::pair<const uxml_element *, const uxml_element *>> *queue) {
    bool same = vec_size(a) == vec_size(b);
    for (uint32_t n = 0; same && n < vec_size(a); ++n) {
        same = same_record(vec_get(a, n), vec_get(b, n));
        if (queue)
            queue->emplace_back(static_cast<const uxml_element *>(vec_get(a, n)),
                                static_cast<const uxml_element *>(vec_get(b, n)));
    }
    vec_destroy(a);
    vec_destroy(b);
    return same;
}

// The trees compared with a queue of their own: nesting can be deep.
bool same_tree(const uxml_element *a, const uxml_element *b) {
    std::vector<std::pair<const uxml_element *, const uxml_element *>> queue{{a, b}};
    while (!queue.empty()) {
        auto [x, y] = queue.back();
        queue.pop_back();
        if (!same_record(x, y) || !same_items(uxml_attributes(x), uxml_attributes(y), nullptr) ||
            !same_items(uxml_children(x), uxml_children(y), &queue))
            return false;
    }
    return true;
}

// The writer's text of a tree.
std::string written(const uxml_element *root) {
    FILE *f = std::tmpfile();
    fuzz::check(f != nullptr && uxml_write(root, f));
    std::string text(static_cast<size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    fuzz::check(std::fread(text.data(), 1, text.size(), f) == text.size());
    std::fclose(f);
    return text;
}

uxml_element *read_text(std::string_view text) {
    FILE *f = std::tmpfile();
    fuzz::check(f != nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    uxml_element *root = uxml_read(f);
    std::fclose(f);
    return root;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    uxml_element *first = read_text(fuzz::text_of(data, size));
    if (first == nullptr)
        return 0;
    std::string text = written(first);
    uxml_element *second = read_text(text);
    fuzz::check(second != nullptr);
    fuzz::check(same_tree(first, second));
    fuzz::check(written(second) == text);
    uxml_document_free(first);
    uxml_document_free(second);
    return 0;
}
