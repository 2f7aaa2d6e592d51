// Fuzz target of file identification and the readers under it: the input's
// first byte picks the file's extension, the rest is its content. Besides
// never crashing or hanging: fileid and the content tests agree with one
// another (a library's answer gives its extension's kind bits, a file that is
// there is never reported missing), getrec never reads more records than the file
// has bytes for, getString and getLineEx give back every byte of the file
// in order (a carriage return before a line feed aside; the line reader
// only for text without zero bytes).
#include "common/fileutils.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const char *kExtensions[] = {"o",   "obj", "p1", "a",  "lib",
                                       "lpp", "elf", "c",  "as", "bin"};
constexpr size_t kRecordHead = 3;

struct File {
    FILE *f;
    explicit File(const char *path) : f(std::fopen(path, "rb")) { fuzz::check(f != nullptr); }
    ~File() { std::fclose(f); }
};

void check_kinds(const char *path, const std::string &ext) {
    uint64_t kinds = fileid(path);
    fuzz::check(ext == "c" || !fileid_has(kinds, FILEID_MISSING));
    int library = fileid_is_library(path);
    fuzz::check(library >= 0 && library <= 3);
    // The library bits each library extension gives for each answer.
    uint64_t expected = 0;
    if (ext == "a")
        expected = library == 1 ? 0x4010 : library == 2 ? 0x2010 : library == 3 ? 0x6010 : 0x8010;
    else if (ext == "lib")
        expected = library == 2 ? 0x2010 : 0x4010;
    else if (ext == "lpp")
        expected = library == 1 ? 0x4010 : 0x2010;
    fuzz::check(expected == 0 || (kinds & ~FILEID_MISSING) == expected);
    scan(path);
    which_elf(path);
    fileid_is_obj(path);
    fileid_is_p1(path);
}

void check_records(const char *path, size_t size) {
    File file(path);
    size_t records = 0;
    while (getrec(file.f))
        ++records;
    fuzz::check(records * kRecordHead <= size);
}

void check_strings(const char *path, const std::string &content) {
    File file(path);
    std::vector<std::string> strings = fuzz::pieces(content, '\0');
    size_t n = 0, end_of_string = 0;
    while (std::ftell(file.f) < static_cast<long>(content.size())) {
        const char *s = getString(file.f);
        fuzz::check(s != nullptr && n < strings.size() && strings[n] == s);
        // Each string ends at its own zero byte, never past it.
        end_of_string = std::min(end_of_string + strings[n++].size() + 1, content.size());
        fuzz::check(std::ftell(file.f) == static_cast<long>(end_of_string));
    }
    const char *end = getString(file.f);
    fuzz::check(end != nullptr && *end == '\0');
}

void check_lines(const char *path, const std::string &content) {
    File file(path);
    std::string again;
    uint32_t length = 0, size = 0;
    while (char *line = getLineEx(file.f, &length, &size)) {
        fuzz::check(length < size);
        again.append(line, length);
        std::free(line);
    }
    std::string expected;
    for (size_t n = 0; n < content.size(); ++n)
        if (!(content[n] == '\r' && n + 1 < content.size() && content[n + 1] == '\n'))
            expected += content[n];
    fuzz::check(again == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const auto &dir = fuzz::scratch_dir("fileid");
    (void)dir;
    if (size == 0)
        return 0;
    std::string ext = kExtensions[data[0] % std::size(kExtensions)];
    std::string content(reinterpret_cast<const char *>(data) + 1, size - 1);
    std::string path = "in." + ext;
    FILE *f = std::fopen(path.c_str(), "wb");
    fuzz::check(f != nullptr);
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    check_kinds(path.c_str(), ext);
    check_records(path.c_str(), content.size());
    check_strings(path.c_str(), content);
    // A line reader of text: a zero byte ends what a piece of a line gives.
    if (content.find('\0') == std::string::npos)
        check_lines(path.c_str(), content);
    return 0;
}
