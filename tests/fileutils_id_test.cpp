// Tests of file identification: kinds by name and content on files built
// here from bytes, every truncation of each format, records and strings at
// their limits, and entries that are not regular files.
#include "common/fileutils.h"

#include "tests/support.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace test_support;

namespace {

using Bytes = std::string;

Bytes le16(size_t v) {
    return {char(v & 0xff), char(v >> 8 & 0xff)};
}
Bytes record(int type, const Bytes &body) {
    return le16(body.size()) + char(type) + body;
}
// A 32-bit ELF header; big-endian, yet the machine is read little-endian.
Bytes elf(unsigned machine, char elf_class = 1) {
    return ("\177ELF" + Bytes{elf_class, 2} + Bytes(12, '\0') + le16(machine)).append(32, '\0');
}

const Bytes kMarker = "OR-VANT Software Intermediate Code";
const Bytes kP1 = "Version 9.1\r\n" + kMarker + "\n";
const Bytes kObject = record(1, "code") + record(4, Bytes("sym\0", 4)) + record(6, "");

struct Module {
    Bytes name, content;
    std::vector<Bytes> symbols{};
    uint32_t size = uint32_t(content.size());
};
// A library of modules whose header claims count modules (default: all).
Bytes library(const std::vector<Module> &modules, size_t count = 0) {
    Bytes directory, area;
    for (const Module &m : modules) {
        directory += le16(0) + le16(m.symbols.size()) + le16(m.size & 0xffff) + le16(m.size >> 16) +
                     Bytes(4, '\0') + m.name + '\0';
        for (const Bytes &symbol : m.symbols)
            directory += '\1' + symbol + '\0';
        area += m.content;
    }
    return "LB" + le16(count != 0 ? count : modules.size()) + directory + area;
}
const Bytes kMixed = library({{"m1", kObject, {"_main", "_f"}}, {"m2", kP1, {"_g"}}});

// Every stream the module opens is closed: the count of descriptors stays
// (0 on a host that does not list them; under Wine the list would be
// Wine's own).
size_t open_descriptors() {
    if (PLAT_HOST_WINDOWS) {
        return 0;
    }
    std::error_code unlisted;
    fs::directory_iterator fds("/proc/self/fd", unlisted);
    return unlisted ? 0 : size_t(std::distance(fds, fs::directory_iterator()));
}
// Runs f on a temporary stream holding bytes.
template <typename F> void with_stream(const Bytes &bytes, F f) {
    FILE *stream = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::rewind(stream);
    f(stream);
    std::fclose(stream);
}

TEST(FileIdentification, FixedKindsByExtensionWithTheMissingBit) {
    const std::pair<const char *, uint64_t> kinds[] = {
        {"as", 0x200209},       {"ASM", 0x400209},          {"cfgdata", 0x40000600},
        {"cfgmap", 0x20000600}, {"cmf", 0x80000600},        {"cof", 0x4000180},
        {"crf", 0x8000000500},  {"dep", 0x400000600},       {"dmp", 0x40000000600},
        {"h", 0x8000000000a00}, {"hex", 0x1000280},         {"hxl", 0x2000000600},
        {"i", 0x100205},        {"inc", 0x800000209},       {"ini", 0x10000600},
        {"lkr", 0x8000600},     {"lst", 0x10000000600},     {"map", 0x1000000600},
        {"pre", 0x80205},       {"rlf", 0x20000000500},     {"s", 0x800209},
        {"S", 0x400000020d},    {"SX", 0x400000020d},       {"sdb", 0x200000600},
        {"sym", 0x100000600},   {"vq4app", 0x200000000180}, {"xml", 0x100000000200},
        {"c", 0x1203},          {"usb", 0x80000001203}, // missing or not
    };
    // Each file is made (the missing bit is the fuzz target's and the e2e
    // test's concern): x.s and x.S are one file where case does not count.
    ScratchDir dir;
    for (const auto &[ext, kind] : kinds)
        EXPECT_EQ(fileid(dir.write(std::string("x.") + ext, "").c_str()), kind) << ext;
}

TEST(FileIdentification, ContentDecidesForImagesObjectsIntermediateCodeAndLibraries) {
    const struct {
        const char *name;
        Bytes bytes;
        uint64_t kind;
        const char *trace; // a line the identification traces
    } cases[] = {
        {"out.bin", elf(83), 0x400002000180, "found LUM ELF file"},
        {"k.elf", elf(105), 0x800002000180, "found KESTA ELF file"},
        {"m.elf", elf(8), 0x1000002000180, "found MORRA ELF file"},
        {"t.elf", elf(40), 0x2000002000180, "found TOBRE ELF file"},
        {"s.elf", elf(243), 0x4000002000180, "found SELKO ELF file"},
        {"other.elf", elf(3), 0x2000180, "found ELF file of machine 3"},
        {"wide.elf", elf(83, 2), 0, "not a 32-bit ELF file"},
        {"bad.elf", "\177ELG" + elf(83).substr(4), 0, "did not recognize ELF magic number"},
        {"a.o", kP1, 0x20060, "file identified as a p1 file"},
        {"x.obj", kObject, 0x10020, nullptr},
        {"y.obj", kP1, 0x20020, "Unknown record type: 114"},
        {"y.p1", kObject, 0, "did not recognize file"},
        {"m41.p1", "Version" + kMarker, 0, nullptr}, // 41 bytes are too few
        {"m42.p1", "Version" + kMarker + "\n", 0x40240, "file identified as a p1 file"},
        {"m60.p1", "Version" + Bytes(19, '.') + kMarker, 0x40240, nullptr},
        {"m61.p1", "Version" + Bytes(20, '.') + kMarker, 0, nullptr},
        {"lower.p1", "version 1\n" + kMarker, 0, nullptr},
        {"letter.p1", "Version 1a\n" + kMarker, 0, nullptr},
        {"mixed.a", kMixed, 0x6010, "Identified as a library containing p1 and obj files"},
        {"mixed.lib", kMixed, 0x4010, "Found module: \"m2\""},
        {"mixed.lpp", kMixed, 0x2010, nullptr},
        {"p1.lib", library({{"q", kP1}}), 0x2010, "library containing p1 files"},
        {"obj.lpp", library({{"q", kObject}}), 0x4010, "library containing obj files"},
        {"past.a", library({{"q", kObject, {}, 0xffffffff}, {"r", kP1}}), 0x4010, nullptr},
        {"counts.a", library({{"q", ""}}, 3), 0x8010, "library module header 1 is cut short"},
        {"over.a", library({{"q", kObject, {}, 10}, {"r", ""}}), 0x8010, "run past the module"},
        {"nozero.a", "LB" + le16(1) + Bytes(12, '\0') + "name", 0x8010, "no recognised module"},
        {"nosym.a", "LB" + le16(1) + le16(0) + le16(1) + Bytes(8, '\0') + Bytes("q\0\1", 3), 0x8010,
         "library directory ends early"},
    };
    ScratchDir dir;
    for (const auto &c : cases) {
        std::string path = dir.write(c.name, c.bytes);
        uint64_t kind = 0;
        std::string trace = debug_out_of([&] { kind = fileid(path.c_str()); }, DB_FLAG_TRACE);
        EXPECT_EQ(kind, c.kind) << c.name;
        EXPECT_EQ(lacks(trace, c.trace ? c.trace : ""), "") << c.name;
    }
    EXPECT_EQ(scan(dir.win("mixed.a").c_str()), 0x8010u);
}

TEST(FileIdentification, ALibraryIsReadOnceWhateverItsNumberOfModules) {
    // Were each module's records allowed to run on, each of these empty
    // modules would read the long run of records after them again.
    std::vector<Module> modules(199, Module{"m", ""});
    Bytes run;
    for (int i = 0; i < 2000; ++i)
        run += record(1, "");
    modules.push_back(Module{"last", run});
    ScratchDir dir;
    std::string path = dir.write("many.lib", library(modules)),
                trace = debug_out_of([&] { EXPECT_EQ(fileid_is_library(path.c_str()), 0); },
                                     DB_FLAG_TRACE);
    size_t records = 0;
    for (size_t at = 0; (at = trace.find("ENTER getrec", at)) != std::string::npos; ++at)
        ++records;
    EXPECT_LT(records, 2000u + 2 * modules.size());
}

TEST(FileIdentification, EveryTruncationOfEachFormatIsNotRecognised) {
    const struct {
        const char *name;
        Bytes bytes;
        size_t shortest; // the shortest prefix that is recognised
        std::function<int(const char *)> test;
    } formats[] = {
        {"x.elf", elf(83), 52, [](const char *p) { return int(which_elf(p) != 0); }},
        {"x.obj", kObject, kObject.size(), fileid_is_obj},
        {"x.p1", kP1, kP1.size() - 1, fileid_is_p1},
        {"x.a", kMixed, kMixed.size() - 1,
         [](const char *p) { return int(fileid_is_library(p) == 3); }},
    };
    ScratchDir dir;
    size_t descriptors = open_descriptors();
    for (const auto &f : formats) {
        for (size_t n = 0; n <= f.bytes.size(); ++n) {
            EXPECT_EQ(f.test(dir.write(f.name, f.bytes.substr(0, n)).c_str()), n >= f.shortest)
                << f.name << " cut at " << n;
        }
    }
    EXPECT_EQ(open_descriptors(), descriptors);
}

TEST(FileIdentification, RecordsAndStringsAreReadWholeUpToTheirLimits) {
    const struct {
        Bytes bytes;
        int whole, type;
        const char *trace;
    } cases[] = {
        {record(24, ""), 1, 24, nullptr},
        {record(1, Bytes(512, 'b')), 1, 1, nullptr},
        {record(1, Bytes(513, 'b')), 0, 1, "Record too long: \"TEXT\" (513)"},
        {le16(0xffff) + '\6', 0, 6, "Record too long: \"END\" (65535)"},
        {record(0, ""), 0, 0, "Unknown record type: 0"},
        {record(25, ""), 0, 25, "Unknown record type: 25"},
        {le16(5) + "\2abc", 0, 2, "Incomplete record: \"PSECT\" (5)"},
        {"\1", 0, 2, nullptr}, // a short head leaves the remembered type
    };
    for (const auto &c : cases) {
        with_stream(c.bytes, [&](FILE *stream) {
            int whole = 0;
            std::string trace = debug_out_of([&] { whole = getrec(stream); }, DB_FLAG_TRACE);
            EXPECT_EQ(whole, c.whole) << c.type;
            EXPECT_EQ(fileid_last_record_type(), c.type);
            EXPECT_EQ(lacks(trace, c.trace ? c.trace : ""), "");
        });
    }
    // A string ends at a zero or at the end of the file, up to its limit; the
    // next one starts after it.
    const Bytes most(31999, 'x'), over(32000, 'x');
    const std::tuple<Bytes, Bytes, Bytes> strings[] = {{Bytes("abc\0def", 7), "abc", "def"},
                                                       {most + '\0', most, ""},
                                                       {over + '\0', "(null)", ""},
                                                       {over, "(null)", ""}};
    for (const auto &[bytes, first, second] : strings) {
        with_stream(bytes, [&](FILE *stream) {
            const char *one = getString(stream), *two = getString(stream);
            EXPECT_EQ(std::tuple(Bytes(one ? one : "(null)"), Bytes(two ? two : "(null)")),
                      std::tuple(first, second))
                << bytes.size();
        });
    }
}

TEST(FileIdentification, ValidExtensionPredicatesAndAbsentArguments) {
    const struct {
        const char *path, *list, *entry;
    } cases[] = {
        {"a.o", "obj:o", "o"},         {"a.O", "obj:o", nullptr},
        {"x.lpp", "lib;lpp,a", "lpp"}, {"a.", "obj:o", nullptr},
        {"a", "obj:o", nullptr},       {"dir.old\\file", "obj:o", nullptr},
        {"a.b.obj", "obj:o", "obj"},   {nullptr, "obj:o", nullptr},
        {"a.o", nullptr, nullptr},
    };
    for (const auto &c : cases)
        EXPECT_STREQ(valid_ext(c.path, c.list), c.entry) << (c.path ? c.path : "null");
    for (uint64_t fid : {0x200209ull, 0x400209ull, 0x800209ull, 0x400000020dull, 0x401209ull})
        EXPECT_TRUE(fileid_is_asm_fid(fid)) << std::hex << fid;
    EXPECT_FALSE(fileid_is_asm_fid(0x800000209)); // .inc
    EXPECT_TRUE(fileid_is_asm("boot.sx") && !fileid_is_asm("main.c"));
    EXPECT_EQ(fileid_is_c("main.c") | fileid_is_c("main.h"), FILEID_C);
    EXPECT_TRUE(fileid_has(0x1203, FILEID_C | FILEID_SOURCE) && !fileid_has(0x1203, FILEID_ASM));
    EXPECT_STREQ(fileid_bit_name(FILEID_ELF_SELKO), "ELF_SELKO");
    EXPECT_EQ(fileid_bit_name(FILEID_C | FILEID_ASM), nullptr);
    EXPECT_EQ(getrec(nullptr) + fileid_is_obj_fp(nullptr) + fileid_is_p1_fp(nullptr), 0);
    EXPECT_EQ(fileid(nullptr), 0u);
    EXPECT_EQ(getString(nullptr), nullptr);
}

TEST(FileIdentification, DirectoriesPipesAndVanishingFilesAreNotRecognised) {
    ScratchDir dir;
    size_t descriptors = open_descriptors();
    const std::pair<const char *, uint64_t> directories[] = {
        {"d.o", 0x20020}, {"d.lib", 0x4010}, {"d.a", 0x8010}, {"d.p1", 0}, {"d.elf", 0}, {"d", 0},
    };
    for (const auto &[name, kind] : directories) {
        dir.mkdir(name);
        EXPECT_EQ(fileid(dir.win(name).c_str()), kind) << name;
    }
    // Pipes this test holds open and has filled: were one opened, it would
    // read as a good file of its kind instead of blocking.
    const std::tuple<const char *, Bytes, uint64_t> pipes[] = {
        {"p.elf", elf(83), 0}, {"p.obj", kObject, 0x20020}, {"p.p1", kP1 + Bytes(20, '\n'), 0}};
    for (const auto &[name, bytes, kind] : pipes) {
        fs::path path = dir.path() / name;
        if (std::system(("mkfifo '" + path.string() + "'").c_str()) != 0)
            GTEST_SKIP() << "no mkfifo";
        FILE *writer = std::fopen(path.string().c_str(), "r+");
        ASSERT_NE(writer, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), writer);
        std::fflush(writer);
        EXPECT_EQ(fileid(dir.win(name).c_str()), kind) << name;
        std::fclose(writer);
    }
    // Files that vanish after the existence check, before they are opened
    // (the open itself checks the kind).
    const std::tuple<const char *, Bytes, uint64_t> vanishing[] = {
        {"v.elf", elf(83), 0}, {"v.obj", kObject, 0x20020}, {"v.a", kMixed, 0x8010}};
    for (const auto &[name, bytes, kind] : vanishing) {
        std::string path = dir.write(name, bytes);
        plat_fail_next(PLAT_CALL_FOPEN, ENOENT);
        EXPECT_EQ(fileid(path.c_str()), kind) << name;
        plat_fail_reset();
    }
    EXPECT_EQ(open_descriptors(), descriptors);
}

} // namespace
