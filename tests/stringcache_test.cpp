#include "common/stringcache.h"

#include "container_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using container_test::expect_in_fresh_process;

namespace {

std::string text(const char *s) {
    return s == nullptr ? "(null)" : s;
}

std::vector<std::string> tokens(vec *v) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < vec_size(v); ++i)
        out.emplace_back(static_cast<const char *>(vec_get(v, i)));
    vec_destroy(v);
    return out;
}

// A read stream holding content.
FILE *stream_of(const std::string &content) {
    FILE *f = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), f);
    std::rewind(f);
    return f;
}

} // namespace

// ---- Interning -------------------------------------------------------------------

TEST(ScInternTest, EqualTextsShareOneCopy) {
    std::string a = "intern me", b = "intern me";
    const char *x = sc_intern(a.c_str());
    EXPECT_NE(x, a.c_str());
    EXPECT_EQ(sc_intern(b.c_str()), x);
    EXPECT_STREQ(x, "intern me");
    EXPECT_EQ(sc_intern(nullptr), nullptr);
}

TEST(ScInternTest, StringsOfEveryLengthInternToOneCopyEach) {
    std::vector<const char *> first;
    for (size_t n = 0; n <= 40; ++n)
        first.push_back(sc_intern(std::string(n, 'k').c_str()));
    for (size_t n = 0; n <= 40; ++n) {
        std::string again(n, 'k');
        EXPECT_EQ(sc_intern(again.c_str()), first[n]) << n << " characters";
        EXPECT_EQ(std::strlen(first[n]), n);
    }
}

TEST(ScInternTest, CachingOffGivesAFreshCopyEachTime) {
    sc_set_cache_size(0);
    const char *x = sc_intern("uncached text");
    const char *y = sc_intern("uncached text");
    sc_set_cache_size(5077);
    EXPECT_NE(x, y);
    EXPECT_STREQ(x, y);
    EXPECT_NE(sc_intern("uncached text"), x);
    std::free(const_cast<char *>(x)); // uncached copies are plain heap strings
    std::free(const_cast<char *>(y));
}

TEST(ScInternTest, LimitOfOneCachesTwoNewStringsThenStops) {
    expect_in_fresh_process([] {
        sc_set_cache_limit(1);
        const char *first = sc_intern("limit-1");
        const char *second = sc_intern("limit-2");
        const char *third = sc_intern("limit-3");
        if (sc_intern("limit-1") != first || sc_intern("limit-2") != second)
            return std::string("one of the first two strings was not cached");
        if (sc_intern("limit-3") == third)
            return std::string("the third string was cached");
        return std::string();
    });
}

TEST(ScInternTest, AdoptStoresTheHeapStringItselfOrHandsBackTheCachedOne) {
    char *mine = heap_printf("adopted-%d", 1);
    EXPECT_EQ(sc_adopt(mine), mine);
    EXPECT_EQ(sc_intern("adopted-1"), mine);
    char *again = heap_printf("adopted-%d", 1);
    EXPECT_EQ(sc_adopt(again), mine);
    std::free(again);
    EXPECT_EQ(sc_adopt(nullptr), nullptr);
}

TEST(ScInternTest, InternNTakesThePrefix) {
    EXPECT_STREQ(sc_intern_n("abcdef", 3), "abc");
    EXPECT_STREQ(sc_intern_n("ab", 5), "ab");
    EXPECT_EQ(sc_intern_n(nullptr, 2), nullptr);
}

TEST(ScInternTest, FromVecMakesAStringOfTheItemBytes) {
    vec *v = vec_create(__FILE__, __LINE__);
    for (char c : std::string("hey"))
        vec_append(v, reinterpret_cast<void *>(static_cast<uintptr_t>(c)));
    EXPECT_EQ(sc_from_vec(v), sc_intern("hey"));
    EXPECT_EQ(sc_from_vec(nullptr), nullptr);
    vec_destroy(v);
}

// ---- Concatenation and formatting ----------------------------------------------

TEST(ScConcatTest, NullSideReturnsTheOtherArgumentItself) {
    std::string plain = "not interned";
    EXPECT_EQ(sc_concat(nullptr, plain.c_str()), plain.c_str());
    EXPECT_EQ(sc_concat(plain.c_str(), nullptr), plain.c_str());
    EXPECT_EQ(sc_concat("ab", "cd"), sc_intern("abcd"));
}

TEST(ScPrintfTest, FormatsAndInterns) {
    EXPECT_EQ(sc_printf("%s-%d", "x", 42), sc_intern("x-42"));
}

TEST(ScPrintfTest, LongOutputTakesTheSecondAttempt) {
    std::string big(10000, 'q');
    const char *r = sc_printf("<%s>", big.c_str());
    EXPECT_EQ(std::strlen(r), 10002u);
    EXPECT_EQ(std::string(r), "<" + big + ">");
}

TEST(ScPrintfTest, TabsFormIsExpanded) {
    EXPECT_STREQ(sc_printf_tabs("%c\t%d", 'a', 1), "a    1");
}

TEST(ScPrintfDeathTest, FormatterFailureAborts) {
    // A wide character outside the C locale cannot be converted.
    EXPECT_DEATH(sc_printf("%ls", L"\x263a"), "vsnprintf failed in a mysterious way");
}

TEST(ScExpandTabsTest, EachTabBecomesFourSpaces) {
    struct Case {
        const char *in, *want;
    };
    for (const Case &c : {Case{"a\tb", "a    b"}, Case{"\t\t", "        "}, Case{"none", "none"},
                          Case{"x\t", "x    "}, Case{"", ""}}) {
        EXPECT_STREQ(sc_expand_tabs(c.in), c.want) << "input \"" << c.in << "\"";
    }
}

// ---- Case, translation, escaping, quoting -------------------------------------

TEST(ScCaseTest, LowerAndUpperChangeLettersOnly) {
    EXPECT_STREQ(sc_lower("MiXed 1.C"), "mixed 1.c");
    EXPECT_STREQ(sc_upper("MiXed 1.c"), "MIXED 1.C");
}

TEST(ScTranslateTest, MapsByPositionAndALaterPairWins) {
    EXPECT_STREQ(sc_translate("a/b/c", "/", "\\"), "a\\b\\c");
    EXPECT_STREQ(sc_translate("abc", "aa", "xy"), "ybc");
    EXPECT_STREQ(sc_translate("abc", "abc", "x"), "xbc");
}

TEST(ScEscapeTest, EscapesSetMembersButNotAnEscapeBeforeAQuote) {
    struct Case {
        const char *in, *set;
        char escape;
        const char *want;
    };
    for (const Case &c : {
             Case{"a\"b", "\"", 0, "a\\\"b"},
             Case{"\\\"", "\\\"", '\\', "\\\\\""},
             Case{"\\'", "\\", '\\', "\\'"},
             Case{"a b's", "\\ '\"", '\\', "a\\ b\\'s"},
             Case{"c:\\dir\\x", "\\", 0, "c:\\\\dir\\\\x"},
             Case{"plain", "\"", 0, "plain"},
             Case{"50%", "%", '%', "50%%"},
         }) {
        EXPECT_STREQ(sc_escape(c.in, c.set, c.escape), c.want) << "input " << c.in;
    }
}

// ---- Splitting and reading lines -----------------------------------------------

TEST(ScSplitTest, NeverProducesEmptyTokens) {
    EXPECT_EQ(tokens(sc_split(",,a,,b,", ",")), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(tokens(sc_split("", ",")), (std::vector<std::string>{}));
    EXPECT_EQ(tokens(sc_split(" one  two\tthree", " \t")),
              (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(tokens(sc_split(",,,", ",")), (std::vector<std::string>{}));
}

TEST(ScReadlineTest, ReadsLinesWithTheirTerminatorsThenNull) {
    FILE *f = stream_of("first\nsecond\r\nlast");
    EXPECT_STREQ(sc_readline(f), "first\n");
    EXPECT_STREQ(sc_readline(f), "second\r\n");
    EXPECT_STREQ(sc_readline(f), "last");
    EXPECT_EQ(sc_readline(f), nullptr);
    std::fclose(f);
}

TEST(ScReadlineTest, ReadsALongLineWhole) {
    std::string line(3000, 'x');
    line[1500] = 'y';
    FILE *f = stream_of(line + "\n" + "next\n");
    EXPECT_EQ(text(sc_readline(f)), line + "\n");
    EXPECT_STREQ(sc_readline(f), "next\n");
    EXPECT_EQ(sc_readline(f), nullptr);
    std::fclose(f);
}

TEST(ScReadlineTest, LinesAroundTheChunkSize) {
    for (size_t n : {1021u, 1022u, 1023u, 1024u, 2046u, 2047u}) {
        std::string line(n, 'z');
        FILE *f = stream_of(line + "\nend");
        EXPECT_EQ(text(sc_readline(f)), line + "\n") << n << " characters";
        EXPECT_STREQ(sc_readline(f), "end");
        std::fclose(f);
    }
    std::string unterminated(1023, 'u');
    FILE *f = stream_of(unterminated);
    EXPECT_EQ(text(sc_readline(f)), unterminated);
    EXPECT_EQ(sc_readline(f), nullptr);
    std::fclose(f);
}

// ---- Trimming and lines -------------------------------------------------------------

TEST(ScTrimTest, TrimmingVariants) {
    EXPECT_STREQ(sc_trim(" \t mid dle \r\n"), "mid dle");
    EXPECT_STREQ(sc_trim("   "), "");
    EXPECT_STREQ(sc_trim_chars("xxabcxyx", "xy"), "abc");
    EXPECT_STREQ(sc_trim_chars("xyx", "xy"), "");
    EXPECT_STREQ(sc_chomp("line\r\n\n"), "line");
    EXPECT_STREQ(sc_chomp("keep \n tail"), "keep \n tail");
    EXPECT_STREQ(sc_first_line("one\rtwo"), "one");
    EXPECT_STREQ(sc_first_line("one\ntwo"), "one");
    EXPECT_STREQ(sc_first_line("only"), "only");
    EXPECT_EQ(sc_first_line(nullptr), nullptr);
}

TEST(ScBetweenTest, TextBetweenTheFirstOpeningAndTheNextClosing) {
    const char *s = "f(a(b)c)";
    const char *open = nullptr;
    const char *close = nullptr;
    EXPECT_STREQ(sc_between(s, '(', ')', &open, &close), "a(b");
    EXPECT_EQ(open, s + 1);
    EXPECT_EQ(close, s + 5);
    EXPECT_STREQ(sc_between("[]", '[', ']', nullptr, nullptr), "");
}

TEST(ScBetweenTest, MissingCharactersGiveNullAndKeepTheOpeningPosition) {
    const char *s = "f(a";
    const char *open = s;
    const char *close = s;
    EXPECT_EQ(sc_between(s, '(', ')', &open, &close), nullptr);
    EXPECT_EQ(open, s + 1);
    EXPECT_EQ(close, nullptr);
    EXPECT_EQ(sc_between("none", '(', ')', &open, &close), nullptr);
    EXPECT_EQ(open, nullptr);
    EXPECT_EQ(sc_between(nullptr, '(', ')', &open, &close), nullptr);
}

// ---- Affixes ------------------------------------------------------------------------

TEST(ScAffixTest, SuffixAndPrefixTable) {
    struct Case {
        const char *str, *affix;
        const char *suffix, *suffix_nocase, *after, *after_nocase;
    };
    for (const Case &c : {
             Case{"file.C", ".C", ".C", ".C", nullptr, nullptr},
             Case{"file.C", ".c", nullptr, ".C", nullptr, nullptr},
             Case{"PreFix", "Pre", nullptr, nullptr, "Fix", "Fix"},
             Case{"PreFix", "pre", nullptr, nullptr, nullptr, "Fix"},
             Case{"ab", "abc", nullptr, nullptr, nullptr, nullptr},
             Case{"same", "same", "same", "same", "", ""},
             Case{"x", "", "", "", "x", "x"},
         }) {
        SCOPED_TRACE(std::string(c.str) + " / " + c.affix);
        EXPECT_EQ(text(sc_suffix(c.str, c.affix)), text(c.suffix));
        EXPECT_EQ(text(sc_suffix_nocase(c.str, c.affix)), text(c.suffix_nocase));
        EXPECT_EQ(text(sc_after_prefix(c.str, c.affix)), text(c.after));
        EXPECT_EQ(text(sc_after_prefix_nocase(c.str, c.affix)), text(c.after_nocase));
        EXPECT_EQ(sc_ends_with(c.str, c.affix), c.suffix != nullptr);
        EXPECT_EQ(sc_ends_with_nocase(c.str, c.affix), c.suffix_nocase != nullptr);
        EXPECT_EQ(sc_starts_with(c.str, c.affix), c.after != nullptr);
        EXPECT_EQ(sc_starts_with_nocase(c.str, c.affix), c.after_nocase != nullptr);
    }
}

TEST(ScAffixTest, NullArgumentsGiveNullOrFalse) {
    EXPECT_EQ(sc_suffix(nullptr, "x"), nullptr);
    EXPECT_EQ(sc_after_prefix("x", nullptr), nullptr);
    EXPECT_FALSE(sc_ends_with_nocase(nullptr, "x"));
    EXPECT_FALSE(sc_starts_with("x", nullptr));
}

TEST(ScCompareTest, CaseInsensitiveComparison) {
    EXPECT_EQ(sc_stricmp("HeLLo", "hello"), 0);
    EXPECT_LT(sc_stricmp("abc", "ABD"), 0);
    EXPECT_GT(sc_stricmp("b", "A"), 0);
    EXPECT_LT(sc_stricmp("ab", "ABC"), 0);
    EXPECT_EQ(sc_strcmp("a", "a"), 0);
}

// ---- Paths ---------------------------------------------------------------------------

TEST(ScPathTest, JoinInsertsOneBackslash) {
    struct Case {
        const char *dir, *name, *want;
    };
    for (const Case &c :
         {Case{"c:\\dir", "f.c", "c:\\dir\\f.c"}, Case{"c:\\dir\\", "f.c", "c:\\dir\\f.c"},
          Case{"c:\\dir", "\\f.c", "c:\\dir\\f.c"}, Case{"dir\\", "\\\\f", "dir\\\\f"},
          Case{"", "f.c", "f.c"}, Case{"dir", "", "dir"}}) {
        EXPECT_EQ(text(sc_path_join(c.dir, c.name)), c.want) << c.dir << " + " << c.name;
    }
    std::string name = "kept";
    EXPECT_EQ(sc_path_join(nullptr, name.c_str()), name.c_str());
    EXPECT_EQ(sc_path_join(name.c_str(), nullptr), name.c_str());
}

TEST(ScPathTest, NativePathUsesBackslashes) {
    EXPECT_STREQ(sc_native_path("a/b\\c/d"), "a\\b\\c\\d");
    std::string empty;
    EXPECT_EQ(sc_native_path(empty.c_str()), empty.c_str());
    EXPECT_EQ(sc_native_path(nullptr), nullptr);
    EXPECT_STREQ(sc_native_path_join("c:/x/", "/y/z"), "c:\\x\\y\\z");
}

TEST(ScPathTest, BasenameAndDirnameLookForBackslashThenSlashThenColon) {
    struct Case {
        const char *path, *base, *dir;
    };
    for (const Case &c : {Case{"c:\\d/x\\f.c", "f.c", "c:\\d/x"}, Case{"d/e/f.c", "f.c", "d/e"},
                          Case{"c:f.c", "f.c", "c"}, Case{"f.c", "f.c", nullptr},
                          Case{"\\f.c", "f.c", ""}, Case{"dir\\", "", "dir"}}) {
        EXPECT_EQ(text(sc_basename(c.path)), c.base) << c.path;
        EXPECT_EQ(text(sc_dirname(c.path)), text(c.dir)) << c.path;
    }
    EXPECT_EQ(sc_basename(nullptr), nullptr);
    EXPECT_EQ(sc_dirname(nullptr), nullptr);
}

TEST(ScPathTest, ExtensionHelpers) {
    EXPECT_STREQ(sc_replace_ext("a.c", ".o"), "a.o");
    EXPECT_STREQ(sc_replace_ext("a.c", "o"), "a.o");
    EXPECT_STREQ(sc_replace_ext("noext", "o"), "noext.o");
    EXPECT_STREQ(sc_replace_ext("d.x\\f", "o"), "d.o");
    EXPECT_STREQ(sc_strip_ext("dir\\f.tar.gz"), "dir\\f.tar");
    EXPECT_STREQ(sc_strip_ext("d.x\\f"), "d.x\\f");
    EXPECT_STREQ(sc_strip_ext("plain"), "plain");
    EXPECT_STREQ(sc_add_ext("f", ".c"), "f.c");
    EXPECT_STREQ(sc_add_ext("f.c", "o"), "f.c.o");
}

TEST(ScPathTest, FullPathOfAnAbsolutePathIsNormalised) {
    EXPECT_STREQ(sc_full_path("c:\\a\\b\\..\\c"), "c:\\a\\c");
    const char *relative = sc_full_path("x");
    ASSERT_NE(relative, nullptr);
    EXPECT_TRUE(sc_ends_with(relative, "\\x")) << relative;
}

// ---- Heap helpers ------------------------------------------------------------------------

TEST(HeapTest, ConcatAppendAndPrintfBelongToTheCaller) {
    char *joined = heap_concat("ab", "cd");
    EXPECT_STREQ(joined, "abcd");
    joined = heap_append(joined, "ef");
    EXPECT_STREQ(joined, "abcdef");
    std::free(joined);
    char *formatted = heap_printf("%d-%s", 7, "x");
    EXPECT_STREQ(formatted, "7-x");
    std::free(formatted);
}

TEST(HeapTest, OverlongPrintfIsCutAndReported) {
    std::string big(5000, 'w');
    testing::internal::CaptureStderr();
    char *cut = heap_printf("%s", big.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "buffer overflow in vsnprintf");
    EXPECT_EQ(std::strlen(cut), 4095u);
    std::free(cut);
}
