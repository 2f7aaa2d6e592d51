// Tests of the host seam: the Windows command-line rules, launching the test
// child, temporary names, directory creation and lookup, path mapping,
// signals, exit handlers, shared libraries and fault injection.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char *const child_path = VQ4_TEST_CHILD;

std::vector<std::string> split(const char *line) {
    int count = -1;
    char **vec = plat_split_command_line(line, &count);
    std::vector<std::string> items;
    for (int i = 0; vec[i] != nullptr; ++i)
        items.emplace_back(vec[i]);
    EXPECT_EQ(count, static_cast<int>(items.size()));
    std::free(vec);
    return items;
}

// A fresh directory per test, removed afterwards.
class PlatformDir : public ::testing::Test {
  protected:
    void SetUp() override {
        const char *name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        dir = fs::temp_directory_path() /
              ("vq4_platform_" + std::to_string(plat_getpid()) + "_" + name);
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        plat_fail_reset();
        fs::remove_all(dir);
    }

    // The path under the test directory, with backslashes as separators.
    std::string windows_path(const std::string &relative) const {
        std::string path = (dir / relative).string();
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }

    struct run_result {
        intptr_t status;
        int error;
        std::string out; // standard output
    };

    static intptr_t spawn_wait(const char *program, const char *const *argv) {
        return plat_spawnv(PLAT_P_WAIT, program, argv);
    }

    // Runs program with argv through launch, capturing its standard output.
    static run_result run(const char *program, std::vector<const char *> argv,
                          intptr_t (*launch)(const char *, const char *const *) = spawn_wait) {
        argv.push_back(nullptr);
        ::testing::internal::CaptureStdout();
        errno = 0;
        intptr_t status = launch(program, argv.data());
        int error = errno;
        return {status, error, ::testing::internal::GetCapturedStdout()};
    }

    static run_result run_child(std::vector<const char *> args) {
        args.insert(args.begin(), child_path);
        return run(child_path, args);
    }

    fs::path dir;
};

// ---------------------------------------------------------------------------
// Command-line splitting and launching

TEST(PlatformSplit, FollowsTheWindowsArgumentRules) {
    const struct {
        const char *line;
        std::vector<std::string> expected;
    } cases[] = {{"", {""}},
                 {"prog", {"prog"}},
                 {"prog  a\t\tb  ", {"prog", "a", "b"}},
                 {" a", {"", "a"}},
                 {"\"C:\\Program Files\\x\" a", {"C:\\Program Files\\x", "a"}},
                 {"C:\\dir\\\"x y\" z", {"C:\\dir\\x y", "z"}},
                 {"p a\"b c\"d", {"p", "ab cd"}},
                 {"p a\\\\b", {"p", "a\\\\b"}},
                 {"p a\\b\\", {"p", "a\\b\\"}},
                 {"p a\\\"b", {"p", "a\"b"}},
                 {"p a\\\\\"b c\"", {"p", "a\\b c"}},
                 {"p a\\\\\\\"b", {"p", "a\\\"b"}},
                 {"p \"a b\\\\\"", {"p", "a b\\"}},
                 {"p \"a\"\"b\"", {"p", "a\"b"}},
                 {"p \"\"\"", {"p", "\""}},
                 {"p a\"\"b", {"p", "ab"}},
                 {"p \"a\" \"\" b", {"p", "a", "", "b"}},
                 {"p \"unterminated arg", {"p", "unterminated arg"}},
                 {"p \"a\tb\"", {"p", "a\tb"}}};
    for (const auto &c : cases)
        EXPECT_EQ(split(c.line), c.expected) << "line: " << c.line;
}

TEST_F(PlatformDir, LaunchJoinsTheVectorAndTheChildSplitsItAgain) {
    run_result r = run_child({"args", "a b", "\"c d\"", "e\\\"f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "[args]\n[a]\n[b]\n[c d]\n[e\"f]\n");
    r = run(child_path, {child_path, "args", "a b", "\\\""}, plat_spawn_direct);
    EXPECT_EQ(r.out, "[args]\n[a b]\n[\\\"]\n"); // the direct launch splits nothing
}

TEST_F(PlatformDir, ChildEndedBySignalGives128PlusHostSignal) {
    EXPECT_EQ(run_child({"signal", std::to_string(SIGTERM).c_str()}).status, 128 + SIGTERM);
}

TEST_F(PlatformDir, LaunchFailuresGiveMinusOneWithErrnoAndRunNothing) {
    std::ofstream(dir / "plain.txt") << "not a program\n";
    const std::string missing = (dir / "missing").string(), plain = (dir / "plain.txt").string();
    const struct {
        const char *program;
        int error;
    } cases[] = {{missing.c_str(), ENOENT}, {plain.c_str(), EACCES}};
    for (const auto &c : cases) {
        run_result r = run(c.program, {c.program, "x"});
        EXPECT_EQ(r.status, -1) << c.program;
        EXPECT_EQ(r.error, c.error) << c.program;
        EXPECT_EQ(r.out, "") << c.program;
    }
    const char *argv[] = {child_path, nullptr};
    errno = 0;
    EXPECT_EQ(plat_spawnv(1, child_path, argv), -1); // only wait mode is accepted
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(PlatformDir, ProgramPathWithBackslashesIsFound) {
    fs::create_directories(dir / "sub");
    fs::copy_file(child_path, dir / "sub" / "child");
    std::string program = windows_path("sub\\child");
    run_result r = run(program.c_str(), {"child", "out", "ran"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "ran\n");
}

// ---------------------------------------------------------------------------
// Temporary names

TEST_F(PlatformDir, TmpnamNamesAreWindowsShapedAndDifferAcrossProcesses) {
    char first[PLAT_L_TMPNAM];
    ASSERT_EQ(plat_tmpnam(first), first);
    EXPECT_EQ(first[0], '\\');
    EXPECT_EQ(std::strchr(first + 1, '\\'), nullptr);
    EXPECT_NE(std::string(first).find(std::to_string(plat_getpid())), std::string::npos);
    std::set<std::string> names{first, plat_tmpnam(nullptr)};
    for (int child = 0; child < 2; ++child) {
        std::istringstream lines(run_child({"tmpnam", "3"}).out);
        for (std::string line; std::getline(lines, line);)
            EXPECT_TRUE(names.insert(line).second) << "repeated name " << line;
    }
    EXPECT_EQ(names.size(), 8u);
}

// ---------------------------------------------------------------------------
// Directories and files

TEST_F(PlatformDir, CreateDirectoryMakesAnOwnerOnlyDirectoryAndNeverReusesAName) {
    std::string path = windows_path("private");
    ASSERT_NE(plat_CreateDirectoryA(path.c_str(), nullptr), 0);
    struct plat_stat64 st {};
    ASSERT_EQ(plat_stat64(path.c_str(), &st), 0);
    EXPECT_TRUE(st.is_dir);
    EXPECT_EQ(st.mode & 0777, 0700u);
    std::ofstream(dir / "file") << "x";
    fs::create_directory(dir / "directory");
    fs::create_symlink(dir / "elsewhere", dir / "dangling_link");
    fs::create_directory_symlink(dir / "directory", dir / "directory_link");
    const struct {
        const char *name;
        int error;
    } cases[] = {{"file", EEXIST},
                 {"directory", EEXIST},
                 {"dangling_link", EEXIST},
                 {"directory_link", EEXIST},
                 {"a\\b", ENOENT}};
    for (const auto &c : cases) {
        errno = 0;
        EXPECT_EQ(plat_CreateDirectoryA(windows_path(c.name).c_str(), nullptr), 0) << c.name;
        EXPECT_EQ(errno, c.error) << c.name;
    }
    EXPECT_FALSE(fs::exists(dir / "elsewhere"));
}

TEST_F(PlatformDir, FindFirstFileReportsTheNameAsStoredPreferringTheExactCase) {
    for (const char *name : {"MixedCase.TXT", "a", "A"})
        std::ofstream(dir / name) << "x";
    fs::create_directory(dir / "Sub");
    const struct {
        const char *asked, *found; // found null: the lookup fails with ENOENT
        int is_dir;
    } cases[] = {{"MixedCase.TXT", "MixedCase.TXT", 0},
                 {"mixedcase.txt", "MixedCase.TXT", 0},
                 {"MIXEDCASE.txt", "MixedCase.TXT", 0},
                 {"sub", "Sub", 1},
                 {"A", "A", 0},
                 {"a", "a", 0},
                 {"missing", nullptr, 0},
                 {"missing\\x", nullptr, 0},
                 {"*", nullptr, 0},
                 {"", nullptr, 0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.asked);
        plat_find_data data{};
        errno = 0;
        plat_find_handle h = plat_FindFirstFileA(windows_path(c.asked).c_str(), &data);
        if (c.found == nullptr) {
            EXPECT_EQ(h, nullptr);
            EXPECT_EQ(errno, ENOENT);
            continue;
        }
        ASSERT_NE(h, nullptr);
        EXPECT_STREQ(data.cFileName, c.found);
        EXPECT_EQ(data.is_dir, c.is_dir);
        EXPECT_NE(plat_FindClose(h), 0);
    }
    EXPECT_EQ(plat_FindClose(nullptr), 0);
}

TEST_F(PlatformDir, ShortPathIsTheExistingPathUnderTheWindowsBufferConventions) {
    std::ofstream(dir / "long name.txt") << "x";
    std::string path = windows_path("long name.txt");
    std::vector<char> exact(path.size() + 1);
    EXPECT_EQ(plat_GetShortPathNameA(path.c_str(), exact.data(), exact.size()), path.size());
    EXPECT_EQ(std::string(exact.data()), path);
    char small[4] = "abc";
    EXPECT_EQ(plat_GetShortPathNameA(path.c_str(), small, sizeof small), path.size() + 1);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(plat_GetShortPathNameA(path.c_str(), nullptr, 0), path.size() + 1);
    errno = 0;
    EXPECT_EQ(plat_GetShortPathNameA(windows_path("missing").c_str(), small, 4), 0u);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(PlatformDir, BackslashesReachTheHostAsSlashes) {
    fs::create_directory(dir / "sub");
    const std::string file = windows_path("sub\\file.txt");
    FILE *f = plat_fopen(file.c_str(), "wt");
    ASSERT_NE(f, nullptr);
    std::fputs("hello\n", f);
    std::fclose(f);
    EXPECT_EQ(fs::file_size(dir / "sub" / "file.txt"), 6u);
    struct plat_stat64 st {};
    ASSERT_EQ(plat_stat64(file.c_str(), &st), 0);
    EXPECT_EQ(st.size, 6);
    EXPECT_TRUE(st.is_regular && !st.is_dir);
    FILE *again = plat_freopen(file.c_str(), "rt", plat_fopen(file.c_str(), "r"));
    ASSERT_NE(again, nullptr);
    std::fclose(again);
    EXPECT_EQ(plat_remove(file.c_str()), 0);
    EXPECT_EQ(plat_rmdir(windows_path("sub").c_str()), 0);
    EXPECT_FALSE(fs::exists(dir / "sub"));
    errno = 0;
    EXPECT_EQ(plat_stat64(file.c_str(), &st), -1);
    EXPECT_EQ(errno, ENOENT);
}

// ---------------------------------------------------------------------------
// Environment

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

// ---------------------------------------------------------------------------
// Signals and exit handlers

int received_signal = 0;
void record_signal(int sig) {
    received_signal = sig;
}

TEST(PlatformSignal, MapsWindowsNumbersToHostSignals) {
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
    EXPECT_EQ(plat_host_signal(3), -1);
    EXPECT_EQ(plat_host_signal(6), -1);
}

TEST(PlatformSignal, HandlerReceivesTheWindowsNumberOnce) {
    for (int sig : {PLAT_SIGTERM, PLAT_SIGBREAK, PLAT_SIGABRT, PLAT_SIGINT}) {
        ASSERT_NE(plat_signal(sig, record_signal), PLAT_SIG_ERR);
        received_signal = 0;
        EXPECT_EQ(plat_raise(sig), 0);
        EXPECT_EQ(received_signal, sig);
        // The disposition went back to the default before the handler ran.
        EXPECT_EQ(plat_signal(sig, PLAT_SIG_DFL), PLAT_SIG_DFL) << sig;
    }
}

TEST(PlatformSignal, PreviousHandlerIsReturnedAndUnknownNumbersAreRefused) {
    EXPECT_EQ(plat_signal(PLAT_SIGTERM, record_signal), PLAT_SIG_DFL);
    EXPECT_EQ(plat_signal(PLAT_SIGTERM, PLAT_SIG_IGN), record_signal);
    EXPECT_EQ(plat_signal(PLAT_SIGTERM, PLAT_SIG_DFL), PLAT_SIG_IGN);
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
    EXPECT_EXIT(plat_raise(PLAT_SIGTERM), ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_EXIT(
        {
            EXPECT_EQ(plat_onexit(first_exit_handler), first_exit_handler);
            EXPECT_EQ(plat_onexit(second_exit_handler), second_exit_handler);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "second\nfirst\n");
}

// ---------------------------------------------------------------------------
// Shared libraries

TEST(PlatformLibrary, MissingLibraryGivesNull) {
    errno = 0;
    EXPECT_EQ(plat_dlopen("libvq4-no-such-library.so.1"), nullptr);
    EXPECT_EQ(errno, ENOENT);
}

TEST(PlatformLibrary, LoadedLibraryGivesItsSymbolsOnly) {
    void *library = plat_dlopen("libzip.so.4");
    ASSERT_NE(library, nullptr);
    EXPECT_NE(plat_dlsym(library, "zip_open"), nullptr);
    errno = 0;
    EXPECT_EQ(plat_dlsym(library, "vq4_no_such_symbol"), nullptr);
    EXPECT_EQ(errno, ENOENT);
    plat_dlclose(library);
}

// ---------------------------------------------------------------------------
// Fault injection

TEST_F(PlatformDir, InjectedFailureCanWaitForALaterCall) {
    plat_fail_after(PLAT_CALL_CREATEDIRECTORY, 1, EACCES);
    EXPECT_NE(plat_CreateDirectoryA(windows_path("first").c_str(), nullptr), 0);
    errno = 0;
    EXPECT_EQ(plat_CreateDirectoryA(windows_path("second").c_str(), nullptr), 0);
    EXPECT_EQ(errno, EACCES);
    EXPECT_FALSE(fs::exists(dir / "second"));
    EXPECT_NE(plat_CreateDirectoryA(windows_path("third").c_str(), nullptr), 0);
}

TEST_F(PlatformDir, EveryCallReportsItsInjectedFailure) {
    std::ofstream(dir / "f") << "x";
    const std::string path = windows_path("f");
    const char *f = path.c_str();
    struct plat_stat64 st {};
    plat_find_data data{};
    char buf[64];
    void *library = plat_dlopen("libzip.so.4");
    ASSERT_NE(library, nullptr);
    struct injected {
        plat_call call;
        std::function<bool()> fails;
    };
    const injected cases[] = {
        {PLAT_CALL_DUP, [] { return plat_dup(1) == -1; }},
        {PLAT_CALL_CLOSE, [] { return plat_close(1) == -1; }},
        {PLAT_CALL_FOPEN, [&] { return plat_fopen(f, "r") == nullptr; }},
        {PLAT_CALL_FREOPEN, [&] { return plat_freopen(f, "r", stdin) == nullptr; }},
        {PLAT_CALL_PUTENV, [] { return plat_putenv("VQ4_PLATFORM_X=1") == -1; }},
        {PLAT_CALL_TMPNAM, [&] { return plat_tmpnam(buf) == nullptr; }},
        {PLAT_CALL_GETCWD, [&] { return plat_getcwd(buf, sizeof buf) == nullptr; }},
        {PLAT_CALL_CHDIR, [] { return plat_chdir(".") == -1; }},
        {PLAT_CALL_RMDIR, [&] { return plat_rmdir(f) == -1; }},
        {PLAT_CALL_REMOVE, [&] { return plat_remove(f) == -1; }},
        {PLAT_CALL_STAT64, [&] { return plat_stat64(f, &st) == -1; }},
        {PLAT_CALL_OPENDIR, [&] { return plat_opendir(f) == nullptr; }},
        {PLAT_CALL_FINDFIRSTFILE, [&] { return plat_FindFirstFileA(f, &data) == nullptr; }},
        {PLAT_CALL_GETSHORTPATHNAME, [&] { return plat_GetShortPathNameA(f, buf, 64) == 0; }},
        {PLAT_CALL_DLOPEN, [] { return plat_dlopen("libzip.so.4") == nullptr; }},
        {PLAT_CALL_DLSYM, [&] { return plat_dlsym(library, "zip_open") == nullptr; }},
    };
    for (const injected &c : cases) {
        plat_fail_next(c.call, EIO);
        errno = 0;
        EXPECT_TRUE(c.fails()) << "call " << c.call;
        EXPECT_EQ(errno, EIO) << "call " << c.call;
    }
    EXPECT_TRUE(fs::exists(dir / "f"));
    EXPECT_EQ(plat_getenv("VQ4_PLATFORM_X"), nullptr);
    plat_dlclose(library);
}

TEST_F(PlatformDir, ResetWithdrawsPendingFailures) {
    plat_fail_next(PLAT_CALL_STAT64, EIO);
    plat_fail_reset();
    struct plat_stat64 st {};
    EXPECT_EQ(plat_stat64(windows_path("").c_str(), &st), 0);
}

} // namespace
