// How cmdline_spawn hands arguments to VQ4_TEST_CHILD (which prints each as
// "[%s]", or runs "out T", "err T", "exit N"), its command-file escapes and
// every failure; and what only cmdline_driver does. vq4each's end-to-end test
// runs the echo, swallowed output, a callback's options and unstartable programs.
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

// The mode and the length choose the command file, the level the echo; a failing
// host call's reason is traced and its text printed once the streams are back.
TEST(CmdlineSpawnTest, EachLaunchHandsOverEchoesOrFailsAsItsRowSays) {
    const std::string fits(os_cmdline_limit() - CHILD.size() - 1, 'w'), over = fits + "w";
    // What the reader takes back unchanged: blanks, quotes, backslashes.
    const Strings escapes = {"two words", "it's",  "say \"hi\"", "C:\\dir\\a.c",
                             "a\\\\b",    "end\\", "x\\ y",      " lead"};
    const struct {
        plat_call call = PLAT_CALL_COUNT; // fails after skip calls pass (COUNT: none)
        int skip = 0;
        const char *reason = "Execution returned 0"; // traced
        std::string text = "";                       // printed after "<program>: "
        uint32_t mode = CMDLINE_FILE_NEVER;
        int32_t level = -1;
        Strings args = {"out", "lost", "err", "lost", "exit", "4"};
        std::string out = ""; // before "after\n"; "@F" names the command file
    } rows[] = {
        {.mode = CMDLINE_FILE_WHEN_LONG, .level = 0, .args = {fits}, .out = "[" + fits + "]\n"},
        {.mode = CMDLINE_FILE_WHEN_LONG, .level = 0, .args = {over}, .out = "[@F]\n"},
        {.mode = CMDLINE_FILE_NEVER, .level = 0, .args = {over}, .out = "[" + over + "]\n"},
        {.mode = 7, .level = 0, .args = {"a"}, .out = "[a]\n"},
        {PLAT_CALL_COUNT, 0, "Execution returned 0", "", CMDLINE_FILE_ALWAYS, 1, escapes,
         CHILD + " @F [ two words it's say \"hi\" C:\\dir\\a.c a\\\\b end\\ x\\ y  lead ]\n[@F]\n"},
        // The child's output goes into a file that is gone afterwards.
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
    };
    vec *none = vec_create(__FILE__, __LINE__); // nothing to run
    std::string none_err = stderr_of([none] { EXPECT_EQ(cmdline_spawn(none, 0, 0), 1); });
    EXPECT_TRUE(none_err.ends_with(": fatal error: no input files\nprogram terminated.\n"));
    vec_destroy(none);
    for (const auto &row : rows) {
        SCOPED_TRACE(::testing::Message() << row.reason << ", " << row.args[0].substr(0, 9));
        long before = temporaries();
        if (row.call != PLAT_CALL_COUNT)
            plat_fail_after(row.call, row.skip, EBADF);
        Launch launch = spawn(row.args, row.mode, row.level);
        plat_fail_reset();
        std::smatch at;
        std::regex_search(launch.out, at, std::regex("@(\\S+vq4_tmp_\\d+\\.cmd)"));
        const std::string file = at.str(1);
        EXPECT_EQ(launch.status, row.call == PLAT_CALL_COUNT ? 0 : 1);
        EXPECT_EQ(lacks(launch.trace, "EXIT cmdline_exe() -> " + std::string(row.reason)), "");
        bool stdout_lost = row.call == PLAT_CALL_DUP2 && row.skip == 2; // not restored
        EXPECT_EQ(launch.out, std::regex_replace(row.out, std::regex("@F"), "@" + file) +
                                  (stdout_lost ? "" : "after\n"));
        EXPECT_EQ(launch.err.substr(launch.err.empty() ? 0 : launch.err.find(": ") + 2), row.text);
        // The command file stays for the exit handler. Windows cannot remove
        // the capture file while a stream not given back still has it open.
        bool still_open = row.call == PLAT_CALL_DUP2 && row.skip >= 2;
        EXPECT_EQ(temporaries(), before + !file.empty() + (PLAT_HOST_WINDOWS && still_open));
        if (row.level < 1)
            continue;
        EXPECT_TRUE(read_text(host(file)).starts_with("\"two\\ words\"\nit\\'s\n"));
        EXPECT_NE(std::freopen(host(file).string().c_str(), "r", stdin), nullptr);
        int32_t count = 0;
        char **tokens = cmdline_read_args("prog", &count);
        EXPECT_EQ(Strings(tokens + 1, tokens + count), row.args);
    }
}

// The private directory is made once per process: only a fresh process can
// be refused its first temporary name.
TEST(CmdlineSpawnDeathTest, NoTemporaryNameIsReported) {
    const std::tuple<uint32_t, int32_t, const char *> rows[] = {
        {CMDLINE_FILE_ALWAYS, 0, "fatal error: Could not create temporary file\n"},
        {CMDLINE_FILE_NEVER, -1, NO_REDIRECTION}};
    for (const auto &[mode, level, text] : rows)
        expect_in_fresh_process([mode, level, text] {
            plat_fail_next(PLAT_CALL_TMPNAM, EIO);
            Launch launch = spawn({"out", "lost"}, mode, level);
            return launch.status == 1 && launch.out == "after\n" ? lacks(launch.err, text)
                                                                 : launch.out + launch.err;
        });
}

// The signal handlers are in place before the callback runs.
TEST(CmdlineDriverDeathTest, TheHandlersPrecedeTheCallback) {
    cmdline_options_fn interrupted = [](vec *) -> vec * {
        plat_raise(PLAT_SIGINT);
        std::abort();
    };
    EXPECT_EXIT(cmdline_driver(0, nullptr, interrupted, CMDLINE_FILE_NEVER, nullptr),
                ::testing::ExitedWithCode(PLAT_SIGINT), "^$");
}
