// The relaunch: how cmdline_spawn hands arguments to the child (VQ4_TEST_CHILD
// prints each as "[%s]", or runs "out T", "err T", "exit N"), the command
// file's escapes, swallowed output and every failure of the launch; and
// cmdline_driver, which installs signal handlers and so runs in children.
#include "common/cmdline.h"
#include "common/osdep.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "tests/support.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

using namespace test_support;

using namespace ::testing::internal; // CaptureStdout and friends
namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;
const std::string CHILD = VQ4_TEST_CHILD;
const char *const NO_REDIRECTION = "fatal error: Could not redirect stdout/stderr\n";

struct Launch {
    int32_t status;
    std::string out{}, err{};
};

// cmdline_spawn of the child with args, its stdout and stderr captured.
Launch spawn(const Strings &args, uint32_t mode, int32_t level) {
    vec *options = vec_create(__FILE__, __LINE__);
    vec_append(options, const_cast<char *>(CHILD.c_str()));
    for (const std::string &arg : args)
        vec_append(options, const_cast<char *>(sc_intern(arg.c_str())));
    CaptureStdout();
    CaptureStderr();
    Launch launch{cmdline_spawn(options, mode, level)};
    std::printf("after\n");
    std::fflush(stdout);
    launch.out = GetCapturedStdout();
    launch.err = GetCapturedStderr();
    vec_destroy(options);
    return launch;
}

// Words of at most 1000 characters that join with blanks to n characters.
Strings words(size_t n) {
    Strings out;
    for (; n > 1001; n -= 1001)
        out.emplace_back(1000, 'w');
    out.emplace_back(n, 'w');
    return out;
}

// The names in the private temporary directory.
std::set<std::string> temporaries() {
    fs::path dir = host(take(os_tmpfile_name_plain())).parent_path();
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

// The command file the child was handed ("[@name]" on its output), or "".
std::string command_file(const std::string &out) {
    std::smatch at;
    return std::regex_search(out, at, std::regex("\\[@(\\S+vq4_tmp_\\d+\\.cmd)\\]\n")) ? at.str(1)
                                                                                       : "";
}

// The arguments the suite's command-file reader takes from the file.
Strings read_back(const std::string &name) {
    EXPECT_NE(std::freopen(host(name).string().c_str(), "r", stdin), nullptr);
    int32_t count = 0;
    char **tokens = cmdline_read_args("prog", &count);
    return Strings(tokens + 1, tokens + count);
}

} // namespace

TEST(CmdlineSpawnTest, ModeAndLengthChooseTheCommandFileAndLevelTheEcho) {
    const size_t room = os_cmdline_limit() - CHILD.size() - 1; // the blank
    const Strings fits = words(room), over = words(room + 1);
    const struct {
        uint32_t mode;
        int32_t level;
        Strings args;
        bool via_file;
        std::string file_starts = "";
    } rows[] = {
        {CMDLINE_FILE_WHEN_LONG, 0, fits, false},
        {CMDLINE_FILE_WHEN_LONG, 0, over, true},
        {CMDLINE_FILE_NEVER, 0, over, false},
        {CMDLINE_FILE_ALWAYS, 1, {"a", "b"}, true},
        {CMDLINE_FILE_NEVER, 1, {"a", "b"}, false},
        {CMDLINE_FILE_WHEN_LONG, 0, {}, false},
        {CMDLINE_FILE_ALWAYS, 1, {}, true},
        {7, 0, {"a"}, false},
        // What the reader takes back unchanged: blanks, quotes, backslashes.
        {CMDLINE_FILE_ALWAYS,
         0,
         {"two words", "it's", "say \"hi\"", "C:\\dir\\a.c", "a\\\\b", "end\\", "x\\ y", " lead"},
         true,
         "\"two\\ words\"\nit\\'s\n"}};
    for (const auto &row : rows) {
        Launch launch = spawn(row.args, row.mode, row.level);
        std::string joined, file = command_file(launch.out), printed;
        for (const std::string &arg : row.args)
            joined += (joined.empty() ? "" : " ") + arg, printed += "[" + arg + "]\n";
        std::string echo = row.via_file ? CHILD + " @" + file + " [ " + joined + " ]\n"
                                        : CHILD + " " + joined + "\n";
        SCOPED_TRACE(::testing::Message() << "mode " << row.mode << " " << joined.substr(0, 9));
        EXPECT_EQ(launch.status, 0);
        EXPECT_EQ(file.empty(), !row.via_file);
        EXPECT_EQ(launch.out, (row.level > 0 ? echo : "") +
                                  (row.via_file ? "[@" + file + "]\n" : printed) + "after\n");
        EXPECT_EQ(row.via_file ? read_back(file) : row.args, row.args);
        std::stringstream text;
        text << std::ifstream(host(file)).rdbuf();
        EXPECT_TRUE(text.str().starts_with(row.file_starts)) << text.str();
    }
}

TEST(CmdlineSpawnTest, FailuresPrintTheirTextRestoreTheStreamsAndLeaveNoFile) {
    const struct {
        plat_call call;
        int skip;
        uint32_t mode;
        int32_t level;
        const char *reason; // traced
        const char *text;   // printed after the program's name, or null when lost
        int32_t status = 1;
    } rows[] = {
        // The child's output goes into a file that is gone afterwards.
        {PLAT_CALL_COUNT, 0, CMDLINE_FILE_NEVER, -1, "Execution returned 4", "", 4},
        {PLAT_CALL_FOPEN, 0, CMDLINE_FILE_ALWAYS, 0, "Could not create command file",
         "fatal error: Could not open temporary file\n"},
        {PLAT_CALL_DUP, 0, CMDLINE_FILE_NEVER, -1, "stdout dup failed", NO_REDIRECTION},
        {PLAT_CALL_DUP, 1, CMDLINE_FILE_NEVER, -1, "stderr dup failed", NO_REDIRECTION},
        {PLAT_CALL_FOPEN, 0, CMDLINE_FILE_NEVER, -1, "fopen to write to tmpfile", NO_REDIRECTION},
        {PLAT_CALL_DUP2, 0, CMDLINE_FILE_NEVER, -1, "redirect stdout failed", NO_REDIRECTION},
        {PLAT_CALL_DUP2, 1, CMDLINE_FILE_NEVER, -1, "redirect stderr failed", NO_REDIRECTION},
        {PLAT_CALL_DUP2, 2, CMDLINE_FILE_NEVER, -1, "dup2 restore stdout failed", NO_REDIRECTION},
        {PLAT_CALL_CLOSE, 0, CMDLINE_FILE_NEVER, -1, "could not close saved stdout",
         NO_REDIRECTION},
        {PLAT_CALL_DUP2, 3, CMDLINE_FILE_NEVER, -1, "dup2 restore stderr failed", nullptr},
        {PLAT_CALL_CLOSE, 1, CMDLINE_FILE_NEVER, -1, "could not close saved stderr",
         NO_REDIRECTION},
        {PLAT_CALL_SPAWNV, 0, CMDLINE_FILE_NEVER, 0, "Execution returned -1", "", -1},
        {PLAT_CALL_SPAWNV, 0, CMDLINE_FILE_WHEN_LONG, -1, "Execution returned -1", "", -1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.reason);
        std::set<std::string> before = temporaries();
        Launch launch{};
        std::string trace = debug_out_of(
            [&] {
                if (row.call != PLAT_CALL_COUNT)
                    plat_fail_after(row.call, row.skip, EBADF);
                launch = spawn({"out", "lost", "err", "lost", "exit", "4"}, row.mode, row.level);
                plat_fail_reset();
            },
            DB_FLAG_TRACE);
        EXPECT_EQ(launch.status, row.status);
        EXPECT_NE(trace.find("EXIT cmdline_exe() -> " + std::string(row.reason)), std::string::npos)
            << trace;
        bool out_back = std::string(row.reason) != "dup2 restore stdout failed";
        EXPECT_EQ(launch.out, out_back ? "after\n" : "");
        EXPECT_TRUE(launch.err.ends_with(row.text == nullptr ? "" : row.text)) << launch.err;
        EXPECT_EQ(launch.err.empty(), row.text == nullptr || *row.text == '\0') << launch.err;
        EXPECT_EQ(temporaries(), before);
    }
}

// The private directory is made once per process: only a fresh child can
// be refused its first temporary name.
TEST(CmdlineSpawnDeathTest, NoTemporaryNameIsReported) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::tuple<uint32_t, int32_t, const char *> rows[] = {
        {CMDLINE_FILE_ALWAYS, 0, "fatal error: Could not create temporary file\n$"},
        {CMDLINE_FILE_NEVER, -1, NO_REDIRECTION}};
    for (const auto &[mode, level, text] : rows) {
        EXPECT_EXIT(
            {
                plat_fail_next(PLAT_CALL_TMPNAM, EIO);
                Launch launch = spawn({"out", "lost"}, mode, level);
                std::fputs(launch.err.c_str(), stderr);
                std::exit(launch.status);
            },
            ::testing::ExitedWithCode(1), text);
    }
}

namespace {

int32_t driver_level = 0;

// Expects the arguments "exit" and "3", asks for the echo and runs the child
// with them.
vec *echo_and_exit_3(vec *args) {
    CHILD_CHECK(vec_size(args) == 2 &&
                std::string(static_cast<char *>(vec_get(args, 0))) == "exit");
    driver_level = 1;
    vec_insert(args, const_cast<char *>(CHILD.c_str()), 0);
    return args;
}

} // namespace

TEST(CmdlineDriverDeathTest, CallbackShapesTheLaunchUnderInstalledHandlers) {
    const char *argv[] = {"C:\\bin\\tool.exe", "exit", "3"};
    const struct {
        cmdline_options_fn callback;
        int status;
        const char *err;
        std::string out = "";
    } rows[] = {
        {echo_and_exit_3, 3, "^$", CHILD + " exit 3\n"},
        {[](vec *) { return vec_create(__FILE__, __LINE__); }, 1, "no input files\nprogram "},
        {[](vec *) -> vec * { return nullptr; }, 1, "no input files"},
        // The handlers are in place before the callback runs.
        {[](vec *) -> vec * {
             plat_raise(PLAT_SIGINT);
             std::abort();
         },
         PLAT_SIGINT, "^$"},
    };
    for (const auto &row : rows) {
        EXPECT_EXIT(
            {
                CaptureStdout();
                int32_t status =
                    cmdline_driver(3, argv, row.callback, CMDLINE_FILE_NEVER, &driver_level);
                CHILD_CHECK(GetCapturedStdout() == row.out);
                std::exit(status);
            },
            ::testing::ExitedWithCode(row.status), row.err);
    }
}
