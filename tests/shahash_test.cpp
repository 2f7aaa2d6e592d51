// Tests of the SHA digests and the checksum lists. Every digest test runs
// once per compression the machine has (portable always, the processor's SHA
// instructions where present) and says which ran.
#include "common/shahash.h"

#include "common/vector.h"
#include "tests/support.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

using namespace test_support;

namespace {

// The compressions this machine can run, each selected while f runs.
template <typename F> void for_each_impl(F f) {
    for (shahash_impl impl : {SHAHASH_IMPL_PORTABLE, SHAHASH_IMPL_ACCEL}) {
        if (!shahash_select(impl)) {
            EXPECT_EQ(impl, SHAHASH_IMPL_ACCEL) << "the portable code always runs";
            std::printf("[ SKIPPED  ] no SHA instructions on this CPU: accelerated code not run\n");
            continue;
        }
        std::printf("[ IMPL     ] %s\n", shahash_impl_name());
        SCOPED_TRACE(shahash_impl_name());
        f();
    }
    shahash_select(SHAHASH_IMPL_AUTO);
}

// Both digests of data as text, fed whole or in three pieces.
std::pair<std::string, std::string> digests(const std::string &data, bool pieces) {
    sha1_ctx c1;
    sha256_ctx c256;
    sha1_init(&c1);
    sha256_init(&c256);
    size_t cut[] = {0, pieces ? data.size() / 3 : 0, pieces ? data.size() * 2 / 3 : 0, data.size()};
    sha1_update(&c1, nullptr, 0);
    sha256_update(&c256, nullptr, 0);
    for (int i = 0; i < 3; ++i) {
        sha1_update(&c1, data.data() + cut[i], cut[i + 1] - cut[i]);
        sha256_update(&c256, data.data() + cut[i], cut[i + 1] - cut[i]);
    }
    uint8_t d1[SHA1_DIGEST_SIZE], d256[SHA256_DIGEST_SIZE];
    sha1_final(&c1, d1);
    sha256_final(&c256, d256);
    return {sha1_hex(d1), sha256_hex(d256)};
}

std::string sha256_of(const std::string &data) {
    return digests(data, false).second;
}

// Runs a shell command in dir; its standard output.
std::string run(const ScratchDir &dir, const std::string &command) {
    std::system(("cd '" + dir.str() + "' && (" + command + ") >out").c_str());
    return read_file(dir.host("out"));
}

const std::string kEmpty256 = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

// Random data of every length to 200 and around multiples of 64 and of the
// 16384-byte read chunk, against the system's tools, through contexts (whole
// and in pieces) and through the file operations.
TEST(ShaDigest, MatchesTheSystemToolsOnEveryLength) {
    ScratchDir dir;
    std::vector<size_t> lengths = {16383, 16384, 16385, 40000};
    for (size_t n = 0; n <= 64 * 32 + 2; ++n)
        if (n <= 200 || (n + 2) % 64 <= 4)
            lengths.push_back(n);
    std::mt19937 random(7);
    std::map<std::string, std::string> data; // file name -> contents
    for (size_t n : lengths) {
        std::string &bytes = data["f" + std::to_string(n)] = std::string(n, '\0');
        std::generate(bytes.begin(), bytes.end(), [&] { return char(random()); });
        dir.write("f" + std::to_string(n), bytes);
    }
    std::map<std::string, std::pair<std::string, std::string>> tools;
    for (const char *tool : {"sha1sum", "sha256sum"}) {
        std::istringstream out(run(dir, std::string(tool) + " f*"));
        for (std::string hex, name; out >> hex >> name;)
            (tool[3] == '1' ? tools[name].first : tools[name].second) = hex;
    }
    ASSERT_EQ(tools.size(), data.size()) << "sha1sum or sha256sum did not run";
    for_each_impl([&] {
        for (const auto &[name, bytes] : data) {
            SCOPED_TRACE(name);
            EXPECT_EQ(digests(bytes, false), tools[name]);
            EXPECT_EQ(digests(bytes, true), tools[name]);
            std::string path = dir.win(name);
            EXPECT_EQ(sha1_file_hex(path.c_str()), tools[name].first);
            EXPECT_EQ(sha256_file_hex(path.c_str()), tools[name].second);
        }
    });
}

TEST(ShaDigest, HexRoundTripsInEitherCase) {
    uint8_t digest[SHA256_DIGEST_SIZE];
    for (int i = 0; i < SHA256_DIGEST_SIZE; ++i)
        digest[i] = uint8_t(i * 37 + 11);
    std::string lower = sha256_hex(digest), upper = lower;
    for (char &c : upper)
        c = char(std::toupper(c));
    EXPECT_EQ(lower, "0b30557a9fc4e90e33587da2c7ec11365b80a5caef14395e83a8cdf2173c6186");
    for (const std::string &text : {lower, upper}) {
        uint8_t *back = sha256_from_hex(text.c_str()), *back1 = sha1_from_hex(text.c_str());
        EXPECT_EQ(std::memcmp(back, digest, SHA256_DIGEST_SIZE), 0) << text;
        EXPECT_EQ(sha1_hex(back1), lower.substr(0, 40));
        std::free(back);
        std::free(back1);
    }
}

// The entries in the list's own shape, "hash *path" lines; "(null)" for no
// vector. The vector and its entries are freed.
std::string take_entries(vec *entries) {
    if (entries == nullptr)
        return "(null)";
    std::string out;
    for (uint32_t i = 0; i < vec_size(entries); ++i) {
        auto *e = static_cast<shahash_entry *>(vec_get(entries, i));
        out += std::string(e->hash) + " *" + e->path + "\n";
        std::free(e);
    }
    vec_destroy(entries);
    return out;
}

// A tree with a file, a subdirectory with a file, a pipe and a link back up:
// the list holds the two files, each path starting with the directory as
// given, in listing order; the system's checker accepts it once its
// separators are mapped, and so do ours until a file changes or goes.
TEST(ChecksumList, WritesEveryFileAndTheSystemToolAcceptsIt) {
    ScratchDir dir;
    dir.write("tree\\a.txt", "alpha");
    dir.write("tree\\s\\b.txt", "beta");
    run(dir, "mkfifo tree/pipe");
    fs::create_directory_symlink(dir.host("tree"), dir.host("tree\\s\\up"));
    std::string tree = dir.win("tree"), list = dir.win("list"), expected;
    for (const auto &e : fs::directory_iterator(dir.host("tree")))
        if (e.path().filename() == "a.txt")
            expected += sha256_of("alpha") + " *" + tree + "\\a.txt\n";
        else if (e.path().filename() == "s")
            expected += sha256_of("beta") + " *" + tree + "\\s\\b.txt\n";
    ASSERT_TRUE(shahash_write_list_here(tree.c_str(), list.c_str()));
    std::string written = read_file(dir.host("list"));
    EXPECT_EQ(written, expected);

    std::replace(written.begin(), written.end(), '\\', '/');
    dir.write("mapped", written);
    EXPECT_EQ(run(dir, "sha256sum --quiet -c mapped && echo accepted"), "accepted\n");

    vec *entries = shahash_read_list(list.c_str(), nullptr);
    EXPECT_EQ(shahash_check_entries(entries), 1);
    dir.write("tree\\s\\b.txt", "beta changed");
    EXPECT_EQ(shahash_check_entries(entries), 0);
    fs::remove(dir.host("tree\\s\\b.txt"));
    EXPECT_EQ(shahash_check_list(nullptr, list.c_str()), 0);
    EXPECT_EQ(take_entries(entries), expected);

    EXPECT_FALSE(shahash_write_list_here(tree.c_str(), dir.win("no\\list").c_str()));
    plat_fail_next(PLAT_CALL_FOPEN, EACCES);
    EXPECT_FALSE(shahash_write_list_here(tree.c_str(), list.c_str()));
}

TEST(ChecksumList, ReadSplitsAtTheFirstBlankAndCheckFailsOnAnyBadLine) {
    ScratchDir dir;
    dir.write("g", "good");
    dir.mkdir("sub");
    const std::string good = sha256_of("good"), line = good + " *g\n";
    std::string upper = good;
    for (char &c : upper)
        c = char(std::toupper(c));
    const struct {
        std::string text;
        int result;
    } cases[] = {
        {"", 0},
        {line, 1},
        {good + "  g\n" + line, 1},
        {good + " *missing\n", 0},
        {sha256_of("bad") + " *g\n", 0},
        {upper + " *g\n", 0},
        {line + "noblank\n", 0},
        {kEmpty256 + " */dev/zero\n", 0},
        {kEmpty256 + " *sub\n", 0},
    };
    fs::path before = fs::current_path(); // each check returns to it, whatever its result
    for (const auto &c : cases) {
        dir.write("list", c.text);
        EXPECT_EQ(shahash_check_list(dir.str().c_str(), dir.win("list").c_str()), c.result)
            << c.text;
        EXPECT_EQ(fs::current_path(), before);
    }
    EXPECT_EQ(shahash_check_list(dir.win("nowhere").c_str(), dir.win("list").c_str()), 0);
    EXPECT_EQ(shahash_check_list(nullptr, dir.win("nolist").c_str()), 0);
    // Reading splits each line at its first blank, as the system's tool
    // writes them in text ("h  name") and binary ("h *name") mode, and
    // refuses a line without one.
    const struct {
        const char *text, *dir, *entries;
    } reads[] = {
        {"", nullptr, "(null)"},
        {"h1 *a\n", nullptr, "h1 *a\n"},
        {"h1  a b\r\nh2 **c", nullptr, "h1 *a b\nh2 **c\n"},
        {"h1 *a\nh2\n", nullptr, "(null)"},
        {"\n", nullptr, "(null)"},
        {"h1 *a\nh2  b\n", "D", "h1 *D\\a\nh2 *D\\b\n"},
    };
    for (const auto &c : reads) {
        dir.write("list", c.text);
        EXPECT_EQ(take_entries(shahash_read_list(dir.win("list").c_str(), c.dir)), c.entries)
            << c.text;
    }
    EXPECT_EQ(shahash_read_list(dir.win("missing").c_str(), nullptr), nullptr);
}

// Every check of a file or an entry, and how digests and scans meet files
// that are missing, vanish, cannot be opened or fail a read.
TEST(ChecksumList, FileAndEntryChecksAndFailuresOfFiles) {
    ScratchDir dir;
    const std::string good = sha256_of("good"), g = dir.write("g", "good"), d = dir.str();
    const struct {
        const char *hash, *path;
        bool match;
    } cases[] = {
        {good.c_str(), g.c_str(), true},         {nullptr, g.c_str(), false},
        {good.c_str(), nullptr, false},          {good.c_str(), "nowhere", false},
        {kEmpty256.c_str(), "/dev/zero", false}, {kEmpty256.c_str(), d.c_str(), false},
        {kEmpty256.c_str(), "", false},
    };
    vec *entries = vec_create(__FILE__, __LINE__);
    for (const auto &c : cases) {
        EXPECT_EQ(shahash_check_file(c.hash, c.path), c.match) << (c.path ? c.path : "(null)");
        shahash_entry entry{c.path, c.hash};
        vec_clear(entries);
        vec_append(entries, &entry);
        EXPECT_EQ(shahash_check_entries(entries), c.match ? 1 : 0);
    }
    vec_clear(entries);
    EXPECT_EQ(shahash_check_entries(entries), 1);
    EXPECT_EQ(shahash_check_entries(nullptr), 0);
    // A scan of a missing directory adds nothing.
    shahash_scan_dir(0, entries, dir.win("missing").c_str(), "p");
    EXPECT_EQ(vec_size(entries), 0u);
    EXPECT_DEATH(shahash_scan_dir(0, entries, nullptr, "p"), "Assertion failed: dir != NULL");
    EXPECT_DEATH(shahash_scan_dir(0, nullptr, "d", "p"), "Assertion failed: files != NULL");
    vec_destroy(entries);
    // A file that vanishes between the existence check and the open fails
    // the check; one that cannot be opened otherwise is fatal, as is a
    // missing file given to a digest. A read error ends the input.
    plat_fail_next(PLAT_CALL_FOPEN, ENOENT);
    EXPECT_FALSE(shahash_check_file(good.c_str(), g.c_str()));
    EXPECT_EXIT(
        {
            plat_fail_next(PLAT_CALL_FOPEN, EACCES);
            shahash_check_file(good.c_str(), g.c_str());
        },
        ::testing::ExitedWithCode(1), "^!! Cannot open file \".*g\"\n$");
    EXPECT_EXIT(sha256_file(dir.win("missing").c_str()), ::testing::ExitedWithCode(1),
                "^!! Cannot open file \".*missing\"\n$");
    plat_fail_next(PLAT_CALL_READ, EIO);
    EXPECT_EQ(sha256_file_hex(g.c_str()), kEmpty256);
}

} // namespace
