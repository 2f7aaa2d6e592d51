// The relaunch: how cmdline_spawn hands arguments to the child (VQ4_TEST_CHILD
// prints each as "[%s]", or runs "out T", "err T", "exit N"), the command
// file's escapes and every failure of the launch; and what only
// cmdline_driver does. vq4each runs the echo, the swallowed output, a
// callback's options and a program that cannot start end to end.
#include "common/cmdline.h"
#include "common/osdep.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "tests/support.h"

#include <regex>

using namespace test_support;

namespace {

using Strings = std::vector<std::string>;
const std::string CHILD = VQ4_TEST_CHILD;
const char *const NO_REDIRECTION = "fatal error: Could not redirect stdout/stderr\n";

struct Launch {
    int32_t status = 0;
    std::string out{}, err{}, trace{}; // out ends with "after\n" once stdout is back
};

Launch spawn(const Strings &args, uint32_t mode, int32_t level) {
    vec *options = vec_create(__FILE__, __LINE__);
    vec_append(options, const_cast<char *>(CHILD.c_str()));
    for (const std::string &arg : args)
        vec_append(options, const_cast<char *>(sc_intern(arg.c_str())));
    Launch launch;
    launch.trace = debug_out_of(
        [&] {
            launch.out = stdout_of([&] {
                launch.err =
                    stderr_of([&] { launch.status = cmdline_spawn(options, mode, level); });
                std::printf("after\n");
            });
        },
        DB_FLAG_TRACE);
    vec_destroy(options);
    return launch;
}

// How many files the private temporary directory holds.
long temporaries() {
    fs::path dir = host(take(os_tmpfile_name_plain())).parent_path();
    return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
}

} // namespace

TEST(CmdlineSpawnTest, ModeAndLengthChooseTheCommandFileAndLevelTheEcho) {
    const std::string fits(os_cmdline_limit() - CHILD.size() - 1, 'w'), over = fits + "w";
    // Mode, arguments, whether a command file hands them over, echo level.
    const std::tuple<uint32_t, Strings, bool, int32_t> rows[] = {
        {CMDLINE_FILE_WHEN_LONG, {fits}, false, 0},
        {CMDLINE_FILE_WHEN_LONG, {over}, true, 0},
        {CMDLINE_FILE_NEVER, {over}, false, 0},
        {7, {"a"}, false, 0},
        // What the reader takes back unchanged: blanks, quotes, backslashes.
        {CMDLINE_FILE_ALWAYS,
         {"two words", "it's", "say \"hi\"", "C:\\dir\\a.c", "a\\\\b", "end\\", "x\\ y", " lead"},
         true,
         1},
    };
    for (const auto &[mode, args, via_file, level] : rows) {
        Launch launch = spawn(args, mode, level);
        std::smatch at;
        std::regex_search(launch.out, at, std::regex("\\[@(\\S+vq4_tmp_\\d+\\.cmd)\\]\n"));
        std::string joined, file = at.str(1), printed;
        for (const std::string &arg : args)
            joined += (joined.empty() ? "" : " ") + arg, printed += "[" + arg + "]\n";
        SCOPED_TRACE(::testing::Message() << "mode " << mode << " " << joined.substr(0, 9));
        EXPECT_EQ(launch.status, 0);
        EXPECT_EQ(file.empty(), !via_file);
        EXPECT_EQ(launch.out, (level > 0 ? CHILD + " @" + file + " [ " + joined + " ]\n" : "") +
                                  (via_file ? "[@" + file + "]\n" : printed) + "after\n");
        if (level == 0)
            continue;
        EXPECT_TRUE(read_text(host(file)).starts_with("\"two\\ words\"\nit\\'s\n"));
        EXPECT_NE(std::freopen(host(file).string().c_str(), "r", stdin), nullptr);
        int32_t count = 0;
        char **tokens = cmdline_read_args("prog", &count);
        EXPECT_EQ(Strings(tokens + 1, tokens + count), args);
    }
}

TEST(CmdlineSpawnTest, FailuresPrintTheirTextRestoreTheStreamsAndLeaveNoFile) {
    const struct {
        plat_call call;
        int skip;
        const char *reason; // traced
        std::string text;   // printed after "<program>: ", "" when none or lost
        uint32_t mode = CMDLINE_FILE_NEVER;
        int32_t level = -1, status = 1;
    } rows[] = {
        // The child's output goes into a file that is gone afterwards.
        {PLAT_CALL_COUNT, 0, "Execution returned 4", "", CMDLINE_FILE_NEVER, -1, 4},
        {PLAT_CALL_FOPEN, 0, "Could not create command file",
         "fatal error: Could not open temporary file\n", CMDLINE_FILE_ALWAYS, 0},
        {PLAT_CALL_DUP, 0, "stdout dup failed", NO_REDIRECTION},
        {PLAT_CALL_DUP, 1, "stderr dup failed", NO_REDIRECTION},
        {PLAT_CALL_FOPEN, 0, "fopen to write to tmpfile", NO_REDIRECTION},
        {PLAT_CALL_DUP2, 0, "redirect stdout failed", NO_REDIRECTION},
        {PLAT_CALL_DUP2, 1, "redirect stderr failed", NO_REDIRECTION},
        {PLAT_CALL_DUP2, 2, "dup2 restore stdout failed", NO_REDIRECTION},
        {PLAT_CALL_CLOSE, 0, "could not close saved stdout", NO_REDIRECTION},
        {PLAT_CALL_DUP2, 3, "dup2 restore stderr failed", ""},
        {PLAT_CALL_CLOSE, 1, "could not close saved stderr", NO_REDIRECTION},
        {PLAT_CALL_SPAWNV, 0, "Execution returned -1", "", CMDLINE_FILE_WHEN_LONG, -1, -1},
    };
    vec *none = vec_create(__FILE__, __LINE__); // nothing to run
    EXPECT_TRUE(stderr_of([none] {
                    EXPECT_EQ(cmdline_spawn(none, 0, 0), 1);
                }).ends_with(": fatal error: no input files\nprogram terminated.\n"));
    vec_destroy(none);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.reason);
        long before = temporaries();
        if (row.call != PLAT_CALL_COUNT)
            plat_fail_after(row.call, row.skip, EBADF);
        Launch launch = spawn({"out", "lost", "err", "lost", "exit", "4"}, row.mode, row.level);
        plat_fail_reset();
        EXPECT_EQ(launch.status, row.status);
        EXPECT_EQ(lacks(launch.trace, "EXIT cmdline_exe() -> " + std::string(row.reason)), "");
        bool stdout_lost = row.call == PLAT_CALL_DUP2 && row.skip == 2; // not restored
        EXPECT_EQ(launch.out, stdout_lost ? "" : "after\n");
        EXPECT_EQ(launch.err.substr(launch.err.empty() ? 0 : launch.err.find(": ") + 2), row.text);
        // Windows cannot remove the capture file while a stream not given
        // back still has it open.
        bool still_open = row.call == PLAT_CALL_DUP2 && row.skip >= 2;
        EXPECT_EQ(temporaries(), before + (PLAT_HOST_WINDOWS && still_open ? 1 : 0));
    }
}

// The private directory is made once per process: only a fresh process can
// be refused its first temporary name.
TEST(CmdlineSpawnDeathTest, NoTemporaryNameIsReported) {
    const std::tuple<uint32_t, int32_t, const char *> rows[] = {
        {CMDLINE_FILE_ALWAYS, 0, "fatal error: Could not create temporary file\n"},
        {CMDLINE_FILE_NEVER, -1, NO_REDIRECTION}};
    for (const auto &[mode, level, text] : rows) {
        expect_in_fresh_process([mode, level, text] {
            plat_fail_next(PLAT_CALL_TMPNAM, EIO);
            Launch launch = spawn({"out", "lost"}, mode, level);
            return launch.status == 1 && launch.out == "after\n" ? lacks(launch.err, text)
                                                                 : launch.out + launch.err;
        });
    }
}

// The signal handlers are in place before the callback runs.
TEST(CmdlineDriverDeathTest, TheHandlersPrecedeTheCallback) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char *argv[] = {"tool"};
    cmdline_options_fn interrupted = [](vec *) -> vec * {
        plat_raise(PLAT_SIGINT);
        std::abort();
    };
    EXPECT_EXIT(cmdline_driver(1, argv, interrupted, CMDLINE_FILE_NEVER, nullptr),
                ::testing::ExitedWithCode(PLAT_SIGINT), "^$");
}
