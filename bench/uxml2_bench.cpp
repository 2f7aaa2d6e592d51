// The XML reader side by side with tinyxml2 reading the same 10 MB file
// (target: uxml_read at most 2x tinyxml2's time). The document has the
// shape of the suite's data files: a project of modules holding files with
// attributes, texts with entities, and options, three to four levels deep;
// uxml_write generates it. Freeing the trees is not timed.
#include "common/uxml2.h"

#include <benchmark/benchmark.h>
#include <tinyxml2.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr long kTargetBytes = 10L * 1024 * 1024;

void add_attribute(uxml_element *element, const char *name, const std::string &value) {
    uxml_attribute *attribute = uxml_attribute_new(name);
    uxml_set_text(attribute, value.c_str());
    uxml_add_attribute(element, attribute);
}

uxml_element *add_child(uxml_element *parent, const char *name, const std::string &text) {
    uxml_element *child = uxml_element_new(name);
    uxml_set_text(child, text.c_str());
    uxml_add_child(parent, child);
    return child;
}

uxml_element *module(int m) {
    std::string id = std::to_string(m);
    uxml_element *element = uxml_element_new("module");
    add_attribute(element, "name", "mod" + id);
    add_attribute(element, "kind", m % 3 == 0 ? "library" : "program");
    add_attribute(element, "path", "src\\modules\\mod" + id);
    for (int f = 0; f < 12; ++f) {
        std::string file = "file" + std::to_string(f);
        uxml_element *source =
            add_child(element, "file", "Source " + file + " of module " + id + " & its <headers>");
        add_attribute(source, "name", file + ".c");
        add_attribute(source, "size", std::to_string((m * 7919 + f * 104729) % 100000));
        add_attribute(source, "sha1", std::string(40, "0123456789abcdef"[(m + f) % 16]));
        uxml_element *option = add_child(source, "option", "");
        add_attribute(option, "key", "-O" + std::to_string(f % 3));
        add_attribute(option, "value", f % 2 ? "on" : "off");
        add_child(source, "note", "checked by \"lint\" at level " + std::to_string(f % 4));
    }
    return element;
}

// The document as a temporary file, generated once; tinyxml2 and uxml_read
// both read this stream from its start.
FILE *document() {
    static FILE *file = [] {
        FILE *out = std::tmpfile();
        uxml_element *root = uxml_element_new("project");
        add_attribute(root, "name", "benchmark");
        add_attribute(root, "version", "4.10");
        uxml_element *probe = module(0);
        uxml_add_child(root, probe);
        uxml_write(probe, out);
        long per_module = std::ftell(out);
        for (long m = 1; m < kTargetBytes / per_module; ++m)
            uxml_add_child(root, module(static_cast<int>(m)));
        std::rewind(out);
        if (!uxml_write(root, out))
            std::abort();
        std::fflush(out);
        uxml_document_free(root);
        return out;
    }();
    return file;
}

long document_size() {
    std::fseek(document(), 0, SEEK_END);
    return std::ftell(document());
}

void BM_UxmlRead(benchmark::State &state) {
    FILE *file = document();
    for (auto _ : state) {
        std::rewind(file);
        uxml_element *root = uxml_read(file);
        if (root == nullptr) {
            state.SkipWithError("uxml_read rejected the document");
            break;
        }
        state.PauseTiming();
        uxml_document_free(root);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * document_size());
}
BENCHMARK(BM_UxmlRead)->Unit(benchmark::kMillisecond);

void BM_Tinyxml2Read(benchmark::State &state) {
    FILE *file = document();
    for (auto _ : state) {
        std::rewind(file);
        auto doc = std::make_unique<tinyxml2::XMLDocument>();
        if (doc->LoadFile(file) != tinyxml2::XML_SUCCESS) {
            state.SkipWithError("tinyxml2 rejected the document");
            break;
        }
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * document_size());
}
BENCHMARK(BM_Tinyxml2Read)->Unit(benchmark::kMillisecond);

} // namespace
