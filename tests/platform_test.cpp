// Tests of the host seam: the Windows command-line rules, launching the test
// child, temporary names, directory creation and lookup, path mapping,
// signals, exit handlers, shared libraries and fault injection.
#include "platform/platform.h"

#include <gtest/gtest.h>

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

// Quotes one argument so that the Windows rules give it back unchanged.
std::string quote_windows(const std::string &arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + '"';
}

std::string read_file(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
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
        for (char &c : path)
            if (c == '/')
                c = '\\';
        return path;
    }

    struct run_result {
        intptr_t status;
        int error;
        std::string out; // standard output and standard error, in order
    };

    static intptr_t spawn_wait(const char *program, const char *const *argv) {
        return plat_spawnv(PLAT_P_WAIT, program, argv);
    }

    // Runs program with argv through launch, its descriptors 1 and 2
    // redirected into a file.
    run_result run(const char *program, const std::vector<const char *> &argv,
                   intptr_t (*launch)(const char *, const char *const *) = spawn_wait) {
        std::vector<const char *> vec = argv;
        vec.push_back(nullptr);
        fs::path capture = dir / "capture.txt";
        std::fflush(stdout);
        std::fflush(stderr);
        int saved_out = plat_dup(1);
        int saved_err = plat_dup(2);
        FILE *file = plat_fopen(capture.c_str(), "wt");
        EXPECT_NE(file, nullptr);
        plat_dup2(plat_fileno(file), 1);
        plat_dup2(plat_fileno(file), 2);
        errno = 0;
        intptr_t status = launch(program, vec.data());
        int error = errno;
        plat_dup2(saved_out, 1);
        plat_dup2(saved_err, 2);
        plat_close(saved_out);
        plat_close(saved_err);
        std::fclose(file);
        return {status, error, read_file(capture)};
    }

    run_result run_child(const std::vector<const char *> &args) {
        std::vector<const char *> argv{child_path};
        argv.insert(argv.end(), args.begin(), args.end());
        return run(child_path, argv);
    }

    fs::path dir;
};

// ---------------------------------------------------------------------------
// Command-line splitting

struct split_case {
    const char *line;
    std::vector<std::string> expected;
};

TEST(PlatformSplit, FollowsTheWindowsArgumentRules) {
    const split_case cases[] = {
        {"", {""}},
        {"prog", {"prog"}},
        {"prog a b", {"prog", "a", "b"}},
        {"prog  a\t\tb  ", {"prog", "a", "b"}},
        {" a", {"", "a"}},
        {"\"C:\\Program Files\\x\" a", {"C:\\Program Files\\x", "a"}},
        {"C:\\dir\\\"x y\" z", {"C:\\dir\\x y", "z"}},
        {"p \"a b\"", {"p", "a b"}},
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
        {"p \"\"", {"p", ""}},
        {"p \"a\" \"\" b", {"p", "a", "", "b"}},
        {"p \"unterminated arg", {"p", "unterminated arg"}},
        {"p \"a\tb\"", {"p", "a\tb"}},
    };
    for (const split_case &c : cases)
        EXPECT_EQ(split(c.line), c.expected) << "line: " << c.line;
}

TEST(PlatformSplit, GivesBackQuotedArgumentsUnchanged) {
    const std::vector<std::string> args = {
        "plain", "two words",      "say \"hi\"",     "C:\\dir\\",    "C:\\my dir\\",
        "",      "\\\\srv\\share", "a\\\\\"b",       "\"",           "\\",
        "\ttab", "end\\\\",        "\"quoted\" and", "a\\b c\\\\d\\"};
    std::string line = "prog";
    for (const std::string &a : args)
        line += " " + quote_windows(a);
    std::vector<std::string> expected{"prog"};
    expected.insert(expected.end(), args.begin(), args.end());
    EXPECT_EQ(split(line.c_str()), expected);
}

// ---------------------------------------------------------------------------
// Launching

TEST_F(PlatformDir, ChildReceivesArgumentsAsWindowsWouldSplitThem) {
    const std::vector<std::string> args = {"two words", "say \"hi\"", "C:\\dir\\", "C:\\my dir\\",
                                           "",          "a\\\\\"b",   "\\"};
    std::vector<std::string> quoted;
    for (const std::string &a : args)
        quoted.push_back(quote_windows(a));
    std::vector<const char *> argv{"args"};
    std::string expected = "[args]\n";
    for (size_t i = 0; i < args.size(); ++i) {
        argv.push_back(quoted[i].c_str());
        expected += "[" + args[i] + "]\n";
    }
    run_result r = run_child(argv);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
}

TEST_F(PlatformDir, UnquotedBlanksSplitAnElement) {
    run_result r = run_child({"args", "a b", "c"});
    EXPECT_EQ(r.out, "[args]\n[a]\n[b]\n[c]\n");
}

TEST_F(PlatformDir, EmptyVectorStartsChildWithoutArguments) {
    run_result r = run(child_path, {});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

TEST_F(PlatformDir, ExitStatusAndBothStreamsComeBackInOrder) {
    run_result r = run_child({"out", "a", "err", "b", "out", "c", "exit", "3"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "a\nb\nc\n");
}

TEST_F(PlatformDir, ChildEndedBySignalGives128PlusHostSignal) {
    run_result r = run_child({"signal", std::to_string(SIGTERM).c_str()});
    EXPECT_EQ(r.status, 128 + SIGTERM);
}

TEST_F(PlatformDir, MissingProgramGivesMinusOneAndEnoent) {
    std::string missing = (dir / "no_such_program").string();
    run_result r = run(missing.c_str(), {missing.c_str(), "x"});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.error, ENOENT);
    EXPECT_EQ(r.out, "");
}

TEST_F(PlatformDir, ProgramThatIsNotExecutableGivesMinusOne) {
    fs::path script = dir / "plain.txt";
    std::ofstream(script) << "not a program\n";
    run_result r = run(script.c_str(), {"plain.txt"});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.error, EACCES);
}

TEST_F(PlatformDir, DirectLaunchHandsTheVectorOverUnchanged) {
    run_result r = run(child_path, {child_path, "args", "a b", "\\\""}, plat_spawn_direct);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "[args]\n[a b]\n[\\\"]\n");
}

TEST_F(PlatformDir, OnlyWaitModeIsAccepted) {
    const char *argv[] = {child_path, nullptr};
    errno = 0;
    EXPECT_EQ(plat_spawnv(1, child_path, argv), -1);
    EXPECT_EQ(errno, EINVAL);
}

TEST_F(PlatformDir, ProgramPathWithBackslashesIsFound) {
    fs::path copy = dir / "sub" / "child";
    fs::create_directories(copy.parent_path());
    fs::copy_file(child_path, copy);
    std::string program = windows_path("sub\\child");
    run_result r = run(program.c_str(), {"child", "out", "ran"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "ran\n");
}

TEST_F(PlatformDir, ChildStartsInTheCurrentDirectory) {
    char *before = plat_getcwd(nullptr, 0);
    ASSERT_EQ(plat_chdir(windows_path("").c_str()), 0);
    run_result r = run_child({"cwd"});
    EXPECT_EQ(plat_chdir(before), 0);
    std::free(before);
    EXPECT_EQ(r.out, fs::canonical(dir).string() + "\n");
}

// ---------------------------------------------------------------------------
// Temporary names

TEST(PlatformTmpnam, NamesAreWindowsShapedAndCarryTheProcessId) {
    char first[PLAT_L_TMPNAM];
    char second[PLAT_L_TMPNAM];
    ASSERT_EQ(plat_tmpnam(first), first);
    ASSERT_EQ(plat_tmpnam(second), second);
    EXPECT_EQ(first[0], '\\');
    EXPECT_EQ(std::strchr(first + 1, '\\'), nullptr);
    EXPECT_NE(std::string(first).find(std::to_string(plat_getpid())), std::string::npos);
    EXPECT_STRNE(first, second);
}

TEST_F(PlatformDir, NamesDifferAcrossProcesses) {
    std::set<std::string> names;
    for (int i = 0; i < 3; ++i)
        names.insert(plat_tmpnam(nullptr));
    for (int child = 0; child < 3; ++child) {
        run_result r = run_child({"tmpnam", "3"});
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);)
            EXPECT_TRUE(names.insert(line).second) << "repeated name " << line;
    }
    EXPECT_EQ(names.size(), 12u);
}

// ---------------------------------------------------------------------------
// Directories and files

TEST_F(PlatformDir, CreateDirectoryMakesAnOwnerOnlyDirectory) {
    std::string path = windows_path("private");
    ASSERT_NE(plat_CreateDirectoryA(path.c_str(), nullptr), 0);
    struct plat_stat64 st {};
    ASSERT_EQ(plat_stat64(path.c_str(), &st), 0);
    EXPECT_TRUE(st.is_dir);
    EXPECT_EQ(st.mode & 077, 0u);
    EXPECT_EQ(st.mode & 0700, 0700u);
}

TEST_F(PlatformDir, CreateDirectoryRefusesAnythingAlreadyThere) {
    std::ofstream(dir / "file") << "x";
    fs::create_directory(dir / "directory");
    fs::create_symlink(dir / "elsewhere", dir / "dangling_link");
    fs::create_directory_symlink(dir / "directory", dir / "directory_link");
    for (const char *name : {"file", "directory", "dangling_link", "directory_link"}) {
        errno = 0;
        EXPECT_EQ(plat_CreateDirectoryA(windows_path(name).c_str(), nullptr), 0) << name;
        EXPECT_EQ(errno, EEXIST) << name;
    }
    EXPECT_FALSE(fs::exists(dir / "elsewhere"));
}

TEST_F(PlatformDir, CreateDirectoryWithMissingParentFails) {
    errno = 0;
    EXPECT_EQ(plat_CreateDirectoryA(windows_path("a\\b").c_str(), nullptr), 0);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(PlatformDir, FindFirstFileReportsTheNameAsStored) {
    std::ofstream(dir / "MixedCase.TXT") << "x";
    fs::create_directory(dir / "Sub");
    struct lookup {
        const char *asked;
        const char *found;
        int is_dir;
    };
    const lookup cases[] = {
        {"MixedCase.TXT", "MixedCase.TXT", 0},
        {"mixedcase.txt", "MixedCase.TXT", 0},
        {"MIXEDCASE.txt", "MixedCase.TXT", 0},
        {"sub", "Sub", 1},
    };
    for (const lookup &c : cases) {
        plat_find_data data{};
        plat_find_handle h = plat_FindFirstFileA(windows_path(c.asked).c_str(), &data);
        ASSERT_NE(h, nullptr) << c.asked;
        EXPECT_STREQ(data.cFileName, c.found);
        EXPECT_EQ(data.is_dir, c.is_dir);
        EXPECT_NE(plat_FindClose(h), 0);
    }
}

TEST_F(PlatformDir, FindFirstFilePrefersTheExactCase) {
    std::ofstream(dir / "a") << "x";
    std::ofstream(dir / "A") << "x";
    plat_find_data data{};
    plat_find_handle h = plat_FindFirstFileA(windows_path("A").c_str(), &data);
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(data.cFileName, "A");
    plat_FindClose(h);
}

TEST_F(PlatformDir, FindFirstFileOfMissingNameFails) {
    for (const char *name : {"missing", "missing\\x", "*", ""}) {
        plat_find_data data{};
        errno = 0;
        EXPECT_EQ(plat_FindFirstFileA(windows_path(name).c_str(), &data), nullptr) << name;
        EXPECT_EQ(errno, ENOENT) << name;
    }
    EXPECT_EQ(plat_FindClose(nullptr), 0);
}

TEST_F(PlatformDir, ShortPathOfExistingPathIsThePathUnchanged) {
    std::ofstream(dir / "long name.txt") << "x";
    std::string path = windows_path("long name.txt");
    char buf[4096];
    EXPECT_EQ(plat_GetShortPathNameA(path.c_str(), buf, sizeof buf), path.size());
    EXPECT_EQ(std::string(buf), path);
}

TEST_F(PlatformDir, ShortPathFollowsTheWindowsBufferConventions) {
    std::string path = windows_path("");
    char small[4] = "abc";
    EXPECT_EQ(plat_GetShortPathNameA(path.c_str(), small, sizeof small), path.size() + 1);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(plat_GetShortPathNameA(path.c_str(), nullptr, 0), path.size() + 1);
    std::vector<char> exact(path.size() + 1);
    EXPECT_EQ(plat_GetShortPathNameA(path.c_str(), exact.data(), exact.size()), path.size());
    EXPECT_EQ(std::string(exact.data()), path);
}

TEST_F(PlatformDir, ShortPathOfMissingPathFails) {
    char buf[256];
    errno = 0;
    EXPECT_EQ(plat_GetShortPathNameA(windows_path("missing").c_str(), buf, sizeof buf), 0u);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(PlatformDir, BackslashesReachTheHostAsSlashes) {
    fs::create_directory(dir / "sub");
    FILE *f = plat_fopen(windows_path("sub\\file.txt").c_str(), "wt");
    ASSERT_NE(f, nullptr);
    std::fputs("hello\n", f);
    std::fclose(f);
    EXPECT_EQ(read_file(dir / "sub" / "file.txt"), "hello\n");

    struct plat_stat64 st {};
    ASSERT_EQ(plat_stat64(windows_path("sub\\file.txt").c_str(), &st), 0);
    EXPECT_EQ(st.size, 6);
    EXPECT_TRUE(st.is_regular);
    EXPECT_FALSE(st.is_dir);

    FILE *again = plat_freopen(windows_path("sub\\file.txt").c_str(), "rt",
                               plat_fopen(windows_path("sub\\file.txt").c_str(), "r"));
    ASSERT_NE(again, nullptr);
    std::fclose(again);

    EXPECT_EQ(plat_remove(windows_path("sub\\file.txt").c_str()), 0);
    EXPECT_EQ(plat_rmdir(windows_path("sub").c_str()), 0);
    EXPECT_FALSE(fs::exists(dir / "sub"));
}

TEST_F(PlatformDir, StatOfMissingPathFails) {
    struct plat_stat64 st {};
    errno = 0;
    EXPECT_EQ(plat_stat64(windows_path("missing").c_str(), &st), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(PlatformDir, DirectoryListingNamesEveryEntry) {
    std::ofstream(dir / "one") << "1";
    fs::create_directory(dir / "two");
    plat_dir *listing = plat_opendir(windows_path("").c_str());
    ASSERT_NE(listing, nullptr);
    std::set<std::string> names;
    while (const char *name = plat_readdir(listing))
        names.insert(name);
    plat_closedir(listing);
    EXPECT_EQ(names, (std::set<std::string>{".", "..", "one", "two"}));
    EXPECT_EQ(plat_opendir(windows_path("missing").c_str()), nullptr);
}

TEST_F(PlatformDir, GetcwdAndChdirRoundTrip) {
    char *before = plat_getcwd(nullptr, 0);
    ASSERT_NE(before, nullptr);
    ASSERT_EQ(plat_chdir(windows_path("").c_str()), 0);
    char here[4096];
    ASSERT_EQ(plat_getcwd(here, sizeof here), here);
    EXPECT_EQ(std::string(here), fs::canonical(dir).string());
    char tiny[2];
    errno = 0;
    EXPECT_EQ(plat_getcwd(tiny, sizeof tiny), nullptr);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(plat_chdir(before), 0);
    std::free(before);
}

// ---------------------------------------------------------------------------
// Environment, time and host facts

TEST(PlatformEnv, PutenvSetsAndRemovesVariables) {
    ASSERT_EQ(plat_putenv("VQ4_PLATFORM_TEST=one two"), 0);
    EXPECT_STREQ(plat_getenv("VQ4_PLATFORM_TEST"), "one two");
    ASSERT_EQ(plat_putenv("VQ4_PLATFORM_TEST="), 0);
    EXPECT_EQ(plat_getenv("VQ4_PLATFORM_TEST"), nullptr);
    for (const char *bad : {"NO_EQUALS", "=value"}) {
        errno = 0;
        EXPECT_EQ(plat_putenv(bad), -1) << bad;
        EXPECT_EQ(errno, EINVAL) << bad;
    }
}

TEST(PlatformEnv, PutenvCopiesTheText) {
    char text[] = "VQ4_PLATFORM_COPY=kept";
    ASSERT_EQ(plat_putenv(text), 0);
    text[18] = 'X';
    EXPECT_STREQ(plat_getenv("VQ4_PLATFORM_COPY"), "kept");
    plat_putenv("VQ4_PLATFORM_COPY=");
}

TEST(PlatformHost, ProgramPathIsThisExecutable) {
    fs::path self = plat_pgmptr();
    EXPECT_TRUE(self.is_absolute());
    EXPECT_TRUE(fs::is_regular_file(self));
    EXPECT_EQ(self.filename(), "vq4_unit_tests");
}

// ---------------------------------------------------------------------------
// Signals and exit handlers

int received_signal = 0;
void record_signal(int sig) {
    received_signal = sig;
}

TEST(PlatformSignal, MapsWindowsNumbersToHostSignals) {
    struct pair {
        int windows;
        int host;
    };
    const pair table[] = {{PLAT_SIGINT, SIGINT},
                          {PLAT_SIGFPE, SIGFPE},
                          {PLAT_SIGSEGV, SIGSEGV},
                          {PLAT_SIGTERM, SIGTERM},
                          {PLAT_SIGABRT, SIGABRT}};
    for (const pair &p : table) {
        EXPECT_EQ(plat_host_signal(p.windows), p.host);
        EXPECT_EQ(plat_windows_signal(p.host), p.windows);
    }
    EXPECT_NE(plat_host_signal(PLAT_SIGBREAK), -1);
    EXPECT_EQ(plat_windows_signal(plat_host_signal(PLAT_SIGBREAK)), PLAT_SIGBREAK);
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

TEST(PlatformSignal, PreviousHandlerIsReturned) {
    EXPECT_EQ(plat_signal(PLAT_SIGTERM, record_signal), PLAT_SIG_DFL);
    EXPECT_EQ(plat_signal(PLAT_SIGTERM, PLAT_SIG_IGN), record_signal);
    EXPECT_EQ(plat_signal(PLAT_SIGTERM, PLAT_SIG_DFL), PLAT_SIG_IGN);
}

TEST(PlatformSignal, UnknownNumberIsRefused) {
    errno = 0;
    EXPECT_EQ(plat_signal(3, record_signal), PLAT_SIG_ERR);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_NE(plat_raise(3), 0);
}

TEST(PlatformSignalDeathTest, UnhandledSignalEndsTheProcess) {
    EXPECT_EXIT(plat_raise(PLAT_SIGTERM), ::testing::KilledBySignal(SIGTERM), "");
}

int first_exit_handler() {
    std::fputs("first\n", stderr);
    return 0;
}
int second_exit_handler() {
    std::fputs("second\n", stderr);
    return 0;
}

TEST(PlatformOnexitDeathTest, HandlersRunInReverseOrderAtExit) {
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

TEST_F(PlatformDir, InjectedFailureHitsOnlyTheNextCall) {
    plat_fail_next(PLAT_CALL_DUP2, EBADF);
    errno = 0;
    EXPECT_EQ(plat_dup2(1, 1), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_EQ(plat_dup2(1, 1), 0);
}

TEST_F(PlatformDir, InjectedFailureCanWaitForALaterCall) {
    plat_fail_after(PLAT_CALL_CREATEDIRECTORY, 1, EACCES);
    EXPECT_NE(plat_CreateDirectoryA(windows_path("first").c_str(), nullptr), 0);
    errno = 0;
    EXPECT_EQ(plat_CreateDirectoryA(windows_path("second").c_str(), nullptr), 0);
    EXPECT_EQ(errno, EACCES);
    EXPECT_FALSE(fs::exists(dir / "second"));
    EXPECT_NE(plat_CreateDirectoryA(windows_path("third").c_str(), nullptr), 0);
}

TEST_F(PlatformDir, InjectedLaunchFailureRunsNothing) {
    plat_fail_next(PLAT_CALL_SPAWNV, ENOENT);
    run_result r = run_child({"out", "ran"});
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.error, ENOENT);
    EXPECT_EQ(r.out, "");
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
