#include "common/stringcache.h"

#include "tests/support.h"

#include <vector>

using namespace test_support;

using Strings = std::vector<std::string>;

namespace {

std::string text(const char *s) {
    return s == nullptr ? "(null)" : s;
}

Strings tokens(vec *v) {
    Strings out;
    for (uint32_t i = 0; i < vec_size(v); ++i)
        out.emplace_back(static_cast<const char *>(vec_get(v, i)));
    vec_destroy(v);
    return out;
}

// Every line sc_readline returns for content, read from a file opened in
// text mode as the suite's readers open theirs, then "(null)" for the end.
Strings read_lines(const std::string &content) {
    ScratchDir dir;
    write_file(dir.host("lines"), content);
    FILE *f = std::fopen(dir.host("lines").string().c_str(), "r");
    Strings lines;
    const char *line;
    do
        lines.push_back(text(line = sc_readline(f)));
    while (line != nullptr);
    std::fclose(f);
    return lines;
}

// One helper call, its result (interned, so it stays valid) and the wanted text.
struct Row {
    const char *call, *got, *want;
};
#define ROW(call, want) (Row{#call, call, want})

} // namespace

TEST(ScInternTest, EqualTextsShareOneCopyUnlessCachingIsOff) {
    std::string a = "intern me";
    EXPECT_NE(sc_intern(a.c_str()), a.c_str());
    EXPECT_EQ(sc_intern(nullptr), nullptr);
    for (size_t n = 0; n <= 40; ++n) {
        const char *first = sc_intern(std::string(n, 'k').c_str());
        EXPECT_EQ(sc_intern(std::string(n, 'k').c_str()), first) << n << " characters";
    }
    EXPECT_STREQ(sc_intern_n("abcdef", 3), "abc");
    EXPECT_STREQ(sc_intern_n("ab", 5), "ab");
    vec *v = vec_create(__FILE__, __LINE__);
    for (char c : std::string("hey"))
        vec_append(v, reinterpret_cast<void *>(static_cast<uintptr_t>(c)));
    EXPECT_EQ(sc_from_vec(v), sc_intern("hey"));
    vec_destroy(v);
    sc_set_cache_size(0);
    char *x = const_cast<char *>(sc_intern("uncached text"));
    const char *y = sc_intern(x);
    sc_set_cache_size(5077);
    EXPECT_NE(x, y);
    EXPECT_EQ(take(x), take(const_cast<char *>(y)));
    char *mine = heap_printf("adopted-%d", 1); // adopting keeps the heap string itself
    EXPECT_EQ(sc_adopt(mine), mine);
    char *again = heap_printf("adopted-%d", 1);
    EXPECT_EQ(sc_adopt(again), mine);
    std::free(again);
}

TEST(ScInternTest, ATableGrownFarBeyondItsFirstSizeKeepsOnePointerPerText) {
    expect_in_fresh_process([] {
        sc_set_cache_size(16);
        std::vector<const char *> first;
        for (int i = 0; i < 200000; ++i)
            first.push_back(sc_intern(("arg" + std::to_string(i)).c_str()));
        for (int i = 0; i < 200000; ++i) {
            std::string again = "arg" + std::to_string(i);
            if (sc_intern(again.c_str()) != first[i] || again != first[i])
                return "\"" + again + "\" was not found again";
        }
        // The figures show that the table grew and that texts shared slots'
        // neighbourhoods (probes longer than one).
        std::istringstream report(debug_out_of(sc_report));
        unsigned strings = 0, slots = 0, probe = 0;
        for (std::string line; std::getline(report, line);)
            std::sscanf(line.c_str(), "# %u %u %u", &strings, &slots, &probe);
        if (strings < 200000 || slots < strings || probe < 2)
            return "report: " + std::to_string(strings) + " strings, " + std::to_string(slots) +
                   " slots, longest probe " + std::to_string(probe);
        return std::string();
    });
}

TEST(ScInternTest, LimitOfOneCachesTwoNewStringsThenStops) {
    expect_in_fresh_process([] {
        sc_set_cache_limit(1);
        const char *first = sc_intern("limit-1");
        const char *second = sc_intern("limit-2");
        const char *third = sc_intern("limit-3");
        if (sc_intern("limit-1") != first || sc_intern("limit-2") != second)
            return std::string("one of the first two strings was not cached");
        return std::string(sc_intern("limit-3") == third ? "the third string was cached" : "");
    });
}

TEST(ScFormatDeathTest, ConcatAndPrintfInternAndAFormatterFailureAborts) {
    std::string plain = "not interned";
    EXPECT_EQ(sc_concat(nullptr, plain.c_str()), plain.c_str());
    EXPECT_EQ(sc_concat(plain.c_str(), nullptr), plain.c_str());
    EXPECT_EQ(sc_concat("ab", "cd"), sc_intern("abcd"));
    EXPECT_EQ(sc_printf("%s-%d", "x", 42), sc_intern("x-42"));
    std::string big(10000, 'q'); // too long for the first attempt
    EXPECT_EQ(text(sc_printf("<%s>", big.c_str())), "<" + big + ">");
    // A wide character outside the C locale cannot be converted: the C
    // library says so, and the failure is fatal. (The Windows runtime writes
    // what it can instead, so there the text is simply interned.)
    if (PLAT_HOST_WINDOWS)
        EXPECT_NE(sc_printf("%ls", L"\x263a"), nullptr);
    else
        EXPECT_DEATH(sc_printf("%ls", L"\x263a"), "vsnprintf failed in a mysterious way");
}

TEST(ScReadlineTest, ReadsWholeLinesWithTheirTerminatorsThenNull) {
    EXPECT_EQ(read_lines("first\nsecond\r\nlast\rcr"),
              (Strings{"first\n", "second\n", "last\rcr", "(null)"}));
    std::string long_line(3000, 'x');
    long_line[1500] = 'y';
    EXPECT_EQ(read_lines(long_line + "\nnext\n"), (Strings{long_line + "\n", "next\n", "(null)"}));
    for (size_t n : {1022u, 1023u, 1024u, 2047u}) { // around the read chunk
        std::string line(n, 'z');
        EXPECT_EQ(read_lines(line + "\n"), (Strings{line + "\n", "(null)"})) << n;
        EXPECT_EQ(read_lines(line), (Strings{line, "(null)"})) << n << " unterminated";
        EXPECT_EQ(read_lines(line + "\r\n"), (Strings{line + "\n", "(null)"})) << n << " CR LF";
    }
}

TEST(ScHelperTest, CaseEscapesTabsTrimmingAffixesPathsTokensBracketsAndHeapForms) {
    const Row rows[] = {
        ROW(sc_lower("MiXed 1.C"), "mixed 1.c"),
        ROW(sc_upper("MiXed 1.c"), "MIXED 1.C"),
        ROW(sc_translate("abc", "aa", "xy"), "ybc"), // a later pair wins
        ROW(sc_translate("abc", "abc", "x"), "xbc"),
        ROW(sc_escape("a\"b", "\"", 0), "a\\\"b"),
        ROW(sc_escape("\\\"", "\\\"", '\\'), "\\\\\""),
        ROW(sc_escape("\\'", "\\", '\\'), "\\'"), // an escape before a quote stays as it is
        ROW(sc_escape("c:\\dir\\x", "\\", 0), "c:\\\\dir\\\\x"),
        ROW(sc_escape("50%", "%", '%'), "50%%"),
        ROW(sc_expand_tabs("\tx\t\ty\t"), "    x        y    "),
        ROW(sc_printf_tabs("%c\t%d", 'a', 1), "a    1"),
        ROW(sc_trim(" \t mid dle \r\n"), "mid dle"),
        ROW(sc_trim("   "), ""),
        ROW(sc_trim_chars("xxabcxyx", "xy"), "abc"),
        ROW(sc_chomp("line\r\n\n"), "line"),
        ROW(sc_chomp("keep \n tail"), "keep \n tail"),
        ROW(sc_first_line("one\rtwo"), "one"),
        ROW(sc_native_path("a/b\\c/d"), "a\\b\\c\\d"),
        ROW(sc_native_path_join("c:/x/", "/y/z"), "c:\\x\\y\\z"),
        ROW(sc_full_path("c:\\a\\b\\..\\c"), "c:\\a\\c"),
        ROW(sc_replace_ext("a.c", ".o"), "a.o"),
        ROW(sc_replace_ext("noext", "o"), "noext.o"),
        ROW(sc_replace_ext("d.x\\f", "o"), "d.o"),
        ROW(sc_strip_ext("dir\\f.tar.gz"), "dir\\f.tar"),
        ROW(sc_strip_ext("d.x\\f"), "d.x\\f"),
        ROW(sc_add_ext("f", ".c"), "f.c"),
        ROW(sc_add_ext("f.c", "o"), "f.c.o"),
        ROW(sc_suffix("file.C", ".C"), ".C"),
        ROW(sc_suffix("file.C", ".c"), nullptr),
        ROW(sc_suffix_nocase("file.C", ".c"), ".C"),
        ROW(sc_suffix("ab", "abc"), nullptr),
        ROW(sc_suffix("x", ""), ""),
        ROW(sc_after_prefix("PreFix", "pre"), nullptr),
        ROW(sc_after_prefix_nocase("PreFix", "pre"), "Fix"),
        ROW(sc_after_prefix_nocase("ab", "abc"), nullptr),
        ROW(sc_after_prefix("same", "same"), ""),
        ROW(sc_after_prefix("x", ""), "x"),
        ROW(sc_path_join("c:\\dir", "f.c"), "c:\\dir\\f.c"), // one backslash between
        ROW(sc_path_join("c:\\dir\\", "f.c"), "c:\\dir\\f.c"),
        ROW(sc_path_join("c:\\dir", "\\f.c"), "c:\\dir\\f.c"),
        ROW(sc_path_join("dir\\", "\\\\f"), "dir\\\\f"),
        ROW(sc_path_join("", "f.c"), "f.c"),
        ROW(sc_path_join("dir", ""), "dir"),
        // basename and dirname look for a backslash, then a slash, then a colon;
        // the strings fuzz target holds them to the OS layer's path parts
        ROW(sc_basename("c:\\d/x\\f.c"), "f.c"),
        ROW(sc_dirname("c:\\d/x\\f.c"), "c:\\d/x"),
        ROW(sc_basename("c:f.c"), "f.c"),
        ROW(sc_dirname("c:f.c"), "c"),
    };
    for (const Row &r : rows)
        EXPECT_EQ(text(r.got), text(r.want)) << r.call;
    std::string name = "kept";
    EXPECT_EQ(sc_path_join(nullptr, name.c_str()), name.c_str());
    EXPECT_EQ(sc_path_join(name.c_str(), nullptr), name.c_str());
    EXPECT_TRUE(sc_ends_with(sc_full_path("x"), "\\x"));
    EXPECT_TRUE(sc_ends_with_nocase("a.C", ".c") && !sc_ends_with("a.C", ".c"));
    EXPECT_TRUE(sc_starts_with_nocase("Ab", "a") && !sc_starts_with("Ab", "a"));
    EXPECT_FALSE(sc_starts_with("x", nullptr) || sc_suffix(nullptr, "x"));
    EXPECT_EQ(sc_stricmp("HeLLo", "hello"), 0);
    EXPECT_LT(sc_stricmp("abc", "ABD"), 0);
    EXPECT_LT(sc_stricmp("ab", "ABC"), 0);
    // Tokens are never empty; sc_between takes the first opening and the next closing.
    EXPECT_EQ(tokens(sc_split(", one,,two\tthree,", ", \t")), (Strings{"one", "two", "three"}));
    // Expanding interns the result alone (interning each partial prefix made
    // memory grow with the square of the number of tabs).
    std::string tabs = std::string(4000, '\t') + "unique-expand-tail";
    uint64_t before = must_alloc_calls();
    EXPECT_EQ(text(sc_expand_tabs(tabs.c_str())), std::string(16000, ' ') + "unique-expand-tail");
    EXPECT_LE(must_alloc_calls() - before, 4u);
    const char *s = "f(a(b)c)", *open = nullptr, *close = nullptr;
    EXPECT_STREQ(sc_between(s, '(', ')', &open, &close), "a(b");
    EXPECT_TRUE(open == s + 1 && close == s + 5);
    EXPECT_EQ(sc_between("f(a", '(', ')', &open, &close), nullptr); // keeps the opening
    EXPECT_EQ(text(open) + text(close), "(a(null)");
    EXPECT_EQ(sc_between("none", '(', ')', &open, &close), nullptr);
    EXPECT_EQ(open, nullptr);
    // heap_* results belong to the caller; an overlong heap_printf is cut.
    EXPECT_EQ(take(heap_append(heap_concat("ab", "cd"), "ef")), "abcdef");
    char *cut = nullptr;
    EXPECT_EQ(stderr_of([&] { cut = heap_printf("%s", std::string(5000, 'w').c_str()); }),
              "buffer overflow in vsnprintf");
    EXPECT_EQ(take(cut).size(), 4095u);
}
