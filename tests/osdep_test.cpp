// Launching programs, the command-line limit, pipes over a child's output,
// environment, time, host facts and the signal handlers. The child program
// VQ4_TEST_CHILD prints its arguments as "[%s]" lines, or runs commands
// such as "out TEXT", "err TEXT" and "exit N".
#include "common/osdep.h"
#include "common/vector.h"
#include "osdep_test_util.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

using namespace osdep_test;
using ::testing::ExitedWithCode;
using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

namespace {

const char *const kChild = VQ4_TEST_CHILD;
const char *const kBanner = "An unexpected problem has been encountered and the program must "
                            "quit; contact Brisvale support with details";

// Everything left to read on a stream.
std::string read_all(FILE *f) {
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;)
        text.push_back(static_cast<char>(c));
    return text;
}

// A vector of the program, the arguments and the null end.
vec *vector_of(const char *program, const std::vector<const char *> &args) {
    vec *v = vec_create(__FILE__, __LINE__);
    vec_append(v, const_cast<char *>(program));
    for (const char *arg : args)
        vec_append(v, const_cast<char *>(arg));
    vec_append(v, nullptr);
    return v;
}

// What the child printed for the arguments and its exit status.
struct ChildRun {
    std::string output;
    int32_t status;
};

ChildRun run_child(const std::vector<const char *> &args) {
    FILE *f = os_popen_vec(vector_of(kChild, args));
    if (f == nullptr)
        return {"(no stream)", -1};
    std::string output = read_all(f);
    return {output, os_pclose(f)};
}

// The number in a temporary name (vq4_tmp_N).
unsigned long name_number(const std::string &name) {
    return std::stoul(name.substr(name.rfind('_') + 1));
}

} // namespace

TEST(OsSpawnTest, ArgumentsReachTheChildByTheWindowsRules) {
    struct Row {
        const char *argument;
        const char *received; // the child's "[%s]" lines
    } rows[] = {
        {"plain", "[plain]\n"},
        {"with blank", "[with blank]\n"},
        {"tab\there", "[tab\there]\n"},
        {"a\"b", "[ab]\n"},
        {"say \"hi\" now", "[say hi now]\n"},
        {"\"quoted words\"", "[quoted]\n[words]\n"},
        {"C:\\dir\\", "[C:\\dir\\]\n"},
        {"C:\\my dir\\", "[C:\\my dir\"]\n"},
        {"a\\\\\"b", "[a\\b]\n"},
        {"", ""},
    };
    for (const Row &row : rows) {
        ChildRun run = run_child({"args", row.argument});
        EXPECT_EQ(run.output, std::string("[args]\n") + row.received)
            << "argument " << row.argument;
        EXPECT_EQ(run.status, 0);
    }
}

TEST(OsSpawnTest, ElementsAreReplacedByTheirQuotedCopies) {
    const char *argv[] = {kChild, "args", "two words", "one", nullptr};
    CaptureStdout();
    EXPECT_EQ(os_spawn(kChild, argv), 0);
    EXPECT_EQ(GetCapturedStdout(), "[args]\n[two words]\n[one]\n");
    EXPECT_STREQ(argv[2], "\"two words\"");
    EXPECT_STREQ(argv[3], "one");
    EXPECT_EQ(argv[4], nullptr);
}

TEST(OsSpawnTest, EmptyVectorLaunchesWithoutArguments) {
    const char *argv[] = {nullptr};
    CaptureStdout();
    EXPECT_EQ(os_spawn(kChild, argv), 0);
    EXPECT_EQ(GetCapturedStdout(), "");
}

TEST(OsSpawnTest, GivesTheExitStatusOrMinusOneWhenNothingStarts) {
    const char *exits[] = {kChild, "exit", "7", nullptr};
    EXPECT_EQ(os_spawn(kChild, exits), 7);
    const char *missing[] = {"nowhere", nullptr};
    errno = 0;
    EXPECT_EQ(os_spawn("/nonexistent/dir/nowhere", missing), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(OsCmdlineLimitTest, LinesUpTo7191CharactersGoDirectly) {
    EXPECT_EQ(os_cmdline_limit(), 7191u);
    // As the callers measure it: program path, a blank, the arguments
    // joined by single blanks.
    for (size_t length : {size_t{7191}, size_t{7192}}) {
        std::string filler(length - std::strlen(kChild) - std::strlen(" args "), 'x');
        size_t measured = std::strlen(kChild) + 1 + std::strlen("args") + 1 + filler.size();
        ASSERT_EQ(measured, length);
        EXPECT_EQ(measured <= os_cmdline_limit(), length == 7191);
        ChildRun run = run_child({"args", filler.c_str()});
        EXPECT_EQ(run.output, "[args]\n[" + filler + "]\n");
    }
}

TEST(OsQuoteArgTest, QuotesOnlyWhatHoldsWhiteSpace) {
    struct Row {
        const char *in, *out;
    } rows[] = {
        {"plain", "plain"},
        {"two words", "\"two words\""},
        {"tab\tx", "\"tab\tx\""},
        {"line\n", "\"line\n\""},
        {"", ""},
        {"\"q\"", "\"q\""},
    };
    for (const Row &row : rows)
        EXPECT_EQ(take(os_quote_arg(row.in)), row.out);
}

TEST(OsPopenTest, CapturesBothStreamsInOrderAndTheStatus) {
    FILE *f =
        os_popen(kChild, "out", "first", "err", "second", "out", "third", "exit", "3", nullptr);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_all(f), "first\nsecond\nthird\n");
    EXPECT_EQ(os_pclose(f), 3);
    EXPECT_EQ(os_pclose(f), -1);
}

TEST(OsPopenTest, MissingProgramRunsNothingAndLeavesTheStreamsAlone) {
    unsigned long before = name_number(take(os_tmpfile_name_plain()));
    CaptureStdout();
    CaptureStderr();
    EXPECT_EQ(os_popen("/nonexistent/program", "out", "x", nullptr), nullptr);
    std::printf("stdout still here\n");
    std::fprintf(stderr, "stderr still here\n");
    std::fflush(stdout);
    EXPECT_EQ(GetCapturedStderr(), "stderr still here\n");
    EXPECT_EQ(GetCapturedStdout(), "stdout still here\n");
    EXPECT_EQ(name_number(take(os_tmpfile_name_plain())), before + 1);
}

TEST(OsPopenTest, LaunchFailureGivesNullAndRestoresTheStreams) {
    ScratchDir scratch;
    ASSERT_TRUE(write_file(scratch.path() / "not_a_program", "text\n"));
    CaptureStdout();
    EXPECT_EQ(os_popen(scratch.win("not_a_program").c_str(), nullptr), nullptr);
    std::printf("after\n");
    std::fflush(stdout);
    EXPECT_EQ(GetCapturedStdout(), "after\n");
}

TEST(OsPopenTest, HostFailuresGiveNullAndRestoreTheStreams) {
    for (plat_call call : {PLAT_CALL_DUP, PLAT_CALL_DUP2, PLAT_CALL_FOPEN, PLAT_CALL_SPAWNV}) {
        CaptureStdout();
        plat_fail_next(call, EBADF);
        EXPECT_EQ(os_popen(kChild, "out", "lost", nullptr), nullptr) << "call " << call;
        plat_fail_reset();
        std::printf("after\n");
        std::fflush(stdout);
        EXPECT_EQ(GetCapturedStdout(), "after\n") << "call " << call;
    }
}

TEST(OsPopenTest, BadVectorsGiveNull) {
    EXPECT_EQ(os_popen_vec(nullptr), nullptr);
    EXPECT_EQ(os_popen_vec(vec_create(__FILE__, __LINE__)), nullptr);
    EXPECT_EQ(os_popen(nullptr), nullptr);
}

TEST(OsPcloseTest, ForeignStreamsGiveMinusOneAndStayOpen) {
    EXPECT_EQ(os_pclose(nullptr), -1);
    FILE *foreign = std::tmpfile();
    EXPECT_EQ(os_pclose(foreign), -1);
    EXPECT_NE(std::fputs("still open", foreign), EOF);
    EXPECT_EQ(std::fclose(foreign), 0);
}

TEST(OsSetenvTest, SetsAndRemovesVariables) {
    EXPECT_EQ(os_setenv(nullptr, "x"), 0);
    EXPECT_EQ(os_setenv("VQ4_OSDEP_VAR", "value"), 0);
    EXPECT_STREQ(std::getenv("VQ4_OSDEP_VAR"), "value");
    EXPECT_EQ(os_setenv("VQ4_OSDEP_VAR", nullptr), 0);
    EXPECT_EQ(std::getenv("VQ4_OSDEP_VAR"), nullptr);
}

TEST(OsTimeDeathTest, FirstCallFixesTheTimeZoneOnly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            os_setenv("TZ", "UTC");
            int64_t stored = 0;
            int64_t now = os_time(&stored);
            CHILD_CHECK(std::strcmp(std::getenv("TZ"), "EST0EDT") == 0);
            CHILD_CHECK(stored == now);
            CHILD_CHECK(now - static_cast<int64_t>(std::time(nullptr)) <= 1);
            os_setenv("TZ", "UTC");
            os_time(nullptr);
            CHILD_CHECK(std::strcmp(std::getenv("TZ"), "UTC") == 0);
            std::exit(0);
        },
        ExitedWithCode(0), "");
}

TEST(OsNumCoresTest, EnvironmentOverridesOnlyWithANonZeroNumber) {
    int32_t host = os_num_cores(false);
    EXPECT_GE(host, 1);
    struct Row {
        const char *value;
        int32_t expected;
    } rows[] = {{"0", host}, {"text", host}, {"-3", 1}, {"5", 5}, {"12abc", 12}, {nullptr, host}};
    for (const Row &row : rows) {
        os_setenv("bamboo_capability_Cores", row.value);
        EXPECT_EQ(os_num_cores(true), row.expected) << (row.value ? row.value : "(unset)");
    }
    os_setenv("bamboo_capability_Cores", "5");
    EXPECT_EQ(os_num_cores(false), host);
    os_setenv("bamboo_capability_Cores", nullptr);
}

TEST(OsSignalDeathTest, HandlersEndTheProcessWithTheSignalNumber) {
    struct Row {
        int sig;
        bool banner;
    } rows[] = {{PLAT_SIGINT, false}, {PLAT_SIGTERM, false}, {PLAT_SIGBREAK, false},
                {PLAT_SIGABRT, true}, {PLAT_SIGSEGV, true},  {PLAT_SIGFPE, true}};
    for (const Row &row : rows) {
        EXPECT_EXIT(
            {
                os_install_signals();
                plat_raise(row.sig);
            },
            ExitedWithCode(row.sig), row.banner ? kBanner : "^$")
            << "signal " << row.sig;
    }
}

TEST(OsSignalDeathTest, HandlerRestoresTheSavedStreams) {
    ScratchDir scratch;
    fs::path saved = scratch.path() / "saved_stdout";
    fs::path redirected = scratch.path() / "redirected";
    EXPECT_EXIT(
        {
            FILE *original = std::fopen(saved.c_str(), "w");
            FILE *elsewhere = std::fopen(redirected.c_str(), "w");
            plat_dup2(plat_fileno(original), 1);
            os_install_signals();
            plat_dup2(plat_fileno(elsewhere), 1);
            plat_dup2(plat_fileno(elsewhere), 2);
            plat_raise(PLAT_SIGSEGV);
        },
        ExitedWithCode(PLAT_SIGSEGV), kBanner);
    std::FILE *f = std::fopen(saved.c_str(), "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(read_all(f), "\n");
    std::fclose(f);
    EXPECT_EQ(fs::file_size(redirected), 0u);
}

TEST(OsSignalDeathTest, SpawnInstallsTheHandlersAgain) {
    const char *exits[] = {kChild, "exit", "0", nullptr};
    EXPECT_EXIT(
        {
            os_install_signals();
            plat_signal(PLAT_SIGINT, PLAT_SIG_DFL);
            os_spawn(kChild, exits);
            plat_raise(PLAT_SIGINT);
        },
        ExitedWithCode(PLAT_SIGINT), "");
}
