// Tests of the host seam: the Windows command-line rules, launching the test
// child, temporary names, directory lookup, path mapping, signals, exit
// handlers and shared libraries. Launch round trips, temporary directories,
// directory creation and the failure switches are checked end to end through
// their callers by the osdep and other module tests.
#include "tests/support.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <set>
#include <vector>

using namespace test_support;

namespace {

const char *const child_path = VQ4_TEST_CHILD;

// Launches program with argv (waiting), capturing its standard output;
// errno stays as the launch left it.
std::string run(const char *program, std::vector<const char *> argv, intptr_t *status = nullptr) {
    argv.push_back(nullptr);
    ::testing::internal::CaptureStdout();
    intptr_t result = plat_spawnv(PLAT_P_WAIT, program, argv.data());
    int error = errno;
    if (status != nullptr)
        *status = result;
    std::string out = ::testing::internal::GetCapturedStdout();
    errno = error;
    return out;
}

// ---------------------------------------------------------------------------
// Command-line splitting and launching

// The words a splitter makes of text (the fuzz target checks the null that
// ends the vector and the round trips of canonical quoting).
std::vector<std::string> words(char **(*split)(const char *, int *), const char *text) {
    int count = -1;
    char **vec = split(text, &count);
    std::vector<std::string> items(vec, vec + count);
    std::free(vec);
    return items;
}

struct SplitCase {
    const char *text;
    std::vector<std::string> expected;
};

TEST(PlatformSplit, CommandLinesFollowTheWindowsRulesAndFileTextSplitsAtLineEnds) {
    const SplitCase lines[] = {{"", {""}},
                               {"prog  a\t\tb  ", {"prog", "a", "b"}},
                               {" a", {"", "a"}},
                               {"p a\"b c\"d", {"p", "ab cd"}},
                               {"p a\\\\b", {"p", "a\\\\b"}},
                               {"p a\\\\\"b c\"", {"p", "a\\b c"}},
                               {"p a\\\\\\\"b", {"p", "a\\\"b"}},
                               {"p \"a b\\\\\"", {"p", "a b\\"}},
                               {"p \"a\"\"b\"", {"p", "a\"b"}},
                               {"p \"\"\"", {"p", "\""}},
                               {"p a\"\"b", {"p", "ab"}},
                               {"p \"a\" \"\" b", {"p", "a", "", "b"}},
                               {"p \"unterminated arg", {"p", "unterminated arg"}}};
    for (const auto &c : lines)
        EXPECT_EQ(words(plat_split_command_line, c.text), c.expected) << "line: " << c.text;
    // Command-file text splits at line ends outside quotes only.
    const SplitCase texts[] = {
        {"", {}},
        {"a\nb c\n\n", {"a", "b", "c"}},
        {"\"x\n-DEVIL\"\n", {"x\n-DEVIL"}},
        {"C:\\dir\\f.c\nsay\\\"hi\\\"\nit's\n", {"C:\\dir\\f.c", "say\"hi\"", "it's"}},
        {"prog\n", {"prog"}}}; // no element is a program name
    for (const auto &c : texts)
        EXPECT_EQ(words(plat_split_arguments, c.text), c.expected) << c.text;
}

TEST(PlatformDir, LaunchStatusesFailuresAndBackslashedProgramPaths) {
    ScratchDir scratch;
    intptr_t status = 0;
    run(child_path, {child_path, "signal", std::to_string(SIGTERM).c_str()}, &status);
    EXPECT_EQ(status, PLAT_HOST_WINDOWS ? 3 : 128 + SIGTERM); // the Windows runtime's abort status
    EXPECT_EQ(run(child_path, {child_path, "a b", "\\\""}, nullptr), "[a]\n[b]\n[\"]\n");
    // A vector handed over as it is (on Windows the child splits its command
    // line itself, so the words come apart as above).
    const char *direct[] = {child_path, "a b", "\\\"", nullptr};
    EXPECT_EQ(stdout_of([&] { plat_spawn_direct(child_path, direct); }),
              PLAT_HOST_WINDOWS ? "[a]\n[b]\n[\"]\n" : "[a b]\n[\\\"]\n");
    const std::string missing = scratch.win("missing"), plain = scratch.write("plain", "text\n");
    for (auto [program, error] : {std::pair{missing.c_str(), ENOENT}, {plain.c_str(), EACCES}}) {
        errno = 0;
        EXPECT_EQ(run(program, {program, "x"}, &status), "") << program;
        EXPECT_EQ(status, -1) << program;
        if (error == ENOENT || !PLAT_HOST_WINDOWS) { // Windows runtimes differ on the other
            EXPECT_EQ(errno, error) << program;
        }
    }
    errno = 0;
    EXPECT_EQ(plat_spawnv(1, child_path, direct), -1); // only wait mode is accepted
    EXPECT_EQ(errno, EINVAL);
    scratch.mkdir("sub");
    fs::copy_file(child_path, scratch.host("sub\\child"));
    EXPECT_EQ(run(scratch.win("sub\\child").c_str(), {"child", "out", "ran"}), "ran\n");
}

TEST(PlatformTmpnam, NamesAreWindowsShapedAndDifferAcrossProcesses) {
    char first[PLAT_L_TMPNAM];
    ASSERT_EQ(plat_tmpnam(first), first);
    EXPECT_EQ(first[0], '\\');
    EXPECT_EQ(std::strchr(first + 1, '\\'), nullptr);
    if (!PLAT_HOST_WINDOWS) { // the Windows runtime writes the process id in base 32
        EXPECT_NE(std::string(first).find(std::to_string(plat_getpid())), std::string::npos);
    }
    std::set<std::string> names{first, plat_tmpnam(nullptr)};
    for (int child = 0; child < 2; ++child) {
        std::istringstream lines(run(child_path, {child_path, "tmpnam", "3"}));
        for (std::string line; std::getline(lines, line);)
            EXPECT_TRUE(names.insert(line).second) << "repeated name " << line;
    }
    EXPECT_EQ(names.size(), 8u);
}

// ---------------------------------------------------------------------------
// Directories and files

TEST(PlatformDir, CreateDirectoryIsOwnerOnlyAndBackslashesReachTheHostAsSlashes) {
    ScratchDir scratch;
    std::string sub = scratch.win("sub"), file = scratch.win("sub\\file.txt");
    plat_fail_next(PLAT_CALL_CREATEDIRECTORY, EIO);
    plat_fail_reset(); // withdraws the failure
    ASSERT_NE(plat_CreateDirectoryA(sub.c_str(), nullptr), 0);
    struct plat_stat64 st {};
    ASSERT_EQ(plat_stat64(sub.c_str(), &st), 0);
    EXPECT_TRUE(st.is_dir);
    if (!PLAT_HOST_WINDOWS) { // Windows has no permission bits to check
        EXPECT_EQ(st.mode & 0777, 0700u);
    }
    FILE *f = plat_freopen(file.c_str(), "wt", plat_fopen(file.c_str(), "w"));
    ASSERT_NE(f, nullptr);
    std::fputs("hello\n", f);
    std::fclose(f);
    EXPECT_EQ(read_text(scratch.host("sub\\file.txt")), "hello\n");
    ASSERT_EQ(plat_stat64(file.c_str(), &st), 0);
    EXPECT_TRUE(st.size == (PLAT_HOST_WINDOWS ? 7 : 6) && st.is_regular && !st.is_dir);
    // Only a regular file opens for reading as one (pipes: end to end).
    FILE *regular = plat_fopen_regular(file.c_str(), "r");
    EXPECT_TRUE(regular != nullptr && std::fclose(regular) == 0);
    errno = 0;
    EXPECT_EQ(plat_fopen_regular(sub.c_str(), "r"), nullptr);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(plat_remove(file.c_str()), 0);
    EXPECT_EQ(plat_rmdir(sub.c_str()), 0);
    EXPECT_TRUE(scratch.empty());
}

// A lookup reports the name as stored, preferring the exact case; a short
// path follows the Windows buffer conventions.
TEST(PlatformDir, FindFirstFileAndShortPathFollowTheWindowsConventions) {
    ScratchDir scratch;
    for (const char *name : {"MixedCase.TXT", "a", "A"})
        scratch.write(name, "x");
    scratch.mkdir("Sub");
    const struct {
        const char *asked, *found; // found null: the lookup fails with ENOENT
        int is_dir;
    } cases[] = {{"mixedcase.txt", "MixedCase.TXT", 0},
                 {"sub", "Sub", 1},
                 {"A", PLAT_HOST_WINDOWS ? "a" : "A", 0}, // one file on Windows
                 {"a", "a", 0},
                 {"missing\\x", nullptr, 0},
                 {"*", nullptr, 0}};
    for (const auto &c : cases) {
        plat_find_data data{};
        errno = 0;
        plat_find_handle h = plat_FindFirstFileA(scratch.win(c.asked).c_str(), &data);
        EXPECT_EQ(
            std::tuple(std::string(h ? data.cFileName : "(none)"), data.is_dir, h ? 0 : errno),
            std::tuple(std::string(c.found ? c.found : "(none)"), c.is_dir, c.found ? 0 : ENOENT))
            << c.asked;
        EXPECT_TRUE(h == nullptr || plat_FindClose(h) != 0);
    }
    EXPECT_EQ(plat_FindClose(nullptr), 0);
    std::string path = scratch.write("long name.txt", "x");
    // POSIX has no short names, so a path is its own; Windows gives the
    // shorter form without the blank.
    const uint32_t need = plat_GetShortPathNameA(path.c_str(), nullptr, 0);
    if (PLAT_HOST_WINDOWS)
        EXPECT_TRUE(need > 1 && need < path.size() + 1) << need;
    else
        EXPECT_EQ(need, path.size() + 1);
    char small[4] = "abc";
    EXPECT_EQ(plat_GetShortPathNameA(path.c_str(), small, sizeof small), need);
    EXPECT_STREQ(small, "abc");
}

// ---------------------------------------------------------------------------
// Environment, signals and exit handlers

TEST(PlatformEnv, PutenvCopiesSetsAndRemovesVariables) {
    char text[] = "VQ4_PLATFORM_TEST=one two";
    ASSERT_EQ(plat_putenv(text), 0);
    text[18] = 'X';
    EXPECT_STREQ(plat_getenv("VQ4_PLATFORM_TEST"), "one two");
    ASSERT_EQ(plat_putenv("VQ4_PLATFORM_TEST="), 0);
    EXPECT_EQ(plat_getenv("VQ4_PLATFORM_TEST"), nullptr);
    for (const char *bad : {"NO_EQUALS", "=value"}) {
        errno = 0;
        EXPECT_EQ(plat_putenv(bad), -1) << bad;
        EXPECT_EQ(errno, EINVAL) << bad;
    }
}

int received_signal = 0;
void record_signal(int sig) {
    received_signal = sig;
}

TEST(PlatformSignal, MapsWindowsNumbersAndHandlersReceiveThemOnce) {
    const struct {
        int windows, host;
    } table[] = {{PLAT_SIGINT, SIGINT},   {PLAT_SIGFPE, SIGFPE},
                 {PLAT_SIGSEGV, SIGSEGV}, {PLAT_SIGTERM, SIGTERM},
                 {PLAT_SIGABRT, SIGABRT}, {PLAT_SIGBREAK, plat_host_signal(PLAT_SIGBREAK)}};
    for (const auto &p : table) {
        EXPECT_NE(p.host, -1) << p.windows;
        EXPECT_EQ(plat_host_signal(p.windows), p.host);
        EXPECT_EQ(plat_windows_signal(p.host), p.windows);
    }
    EXPECT_EQ(plat_host_signal(6), -1);
    for (int sig : {PLAT_SIGTERM, PLAT_SIGBREAK, PLAT_SIGABRT, PLAT_SIGINT}) {
        ASSERT_NE(plat_signal(sig, record_signal), PLAT_SIG_ERR);
        EXPECT_EQ(plat_signal(sig, record_signal), record_signal);
        received_signal = 0;
        EXPECT_EQ(plat_raise(sig), 0);
        EXPECT_EQ(received_signal, sig);
        // The disposition went back to the default before the handler ran.
        EXPECT_EQ(plat_signal(sig, PLAT_SIG_IGN), PLAT_SIG_DFL) << sig;
        EXPECT_EQ(plat_signal(sig, PLAT_SIG_DFL), PLAT_SIG_IGN) << sig;
    }
    errno = 0;
    EXPECT_EQ(plat_signal(3, record_signal), PLAT_SIG_ERR);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_NE(plat_raise(3), 0);
}

int first_exit_handler() {
    return std::fputs("first\n", stderr) < 0;
}
int second_exit_handler() {
    return std::fputs("second\n", stderr) < 0;
}

TEST(PlatformDeathTest, UnhandledSignalEndsTheProcessAndExitHandlersRunInReverseOrder) {
#if PLAT_HOST_WINDOWS
    // The Windows runtime ends the process with status 3 instead.
    EXPECT_EXIT(plat_raise(PLAT_SIGTERM), ::testing::ExitedWithCode(3), "");
#else
    EXPECT_EXIT(plat_raise(PLAT_SIGTERM), ::testing::KilledBySignal(SIGTERM), "");
#endif
    EXPECT_EXIT(
        {
            EXPECT_EQ(plat_onexit(first_exit_handler), first_exit_handler);
            EXPECT_EQ(plat_onexit(second_exit_handler), second_exit_handler);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "second\nfirst\n");
}

// A library every machine of the host has (the tests' dependencies
// included), and one of its symbols.
constexpr const char *kPresentLibrary = PLAT_HOST_WINDOWS ? "kernel32.dll" : "libzip.so.4";
constexpr const char *kPresentSymbol = PLAT_HOST_WINDOWS ? "GetSystemInfo" : "zip_open";

TEST(PlatformLibrary, LoadedLibraryGivesItsSymbolsOnlyAndMissingOnesGiveNull) {
    errno = 0;
    EXPECT_EQ(plat_dlopen("libvq4-no-such-library.so.1"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    void *library = plat_dlopen(kPresentLibrary);
    ASSERT_NE(library, nullptr);
    EXPECT_NE(plat_dlsym(library, kPresentSymbol), nullptr);
    errno = 0;
    EXPECT_EQ(plat_dlsym(library, "vq4_no_such_symbol"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    plat_dlclose(library);
}

} // namespace
