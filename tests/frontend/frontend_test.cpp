// The front end in-process: what its runs as a program cannot show (the
// caller's list kept) and the failure paths of the command-file writer, the
// diagnostic stream and the driver launch, reached with the platform layer's
// fault switch. The driver is the test child program (or a program that
// fails), named by its absolute path, which the launch takes as it is.
#include "frontend/vq4.h"

#include "common/alert.h"
#include "common/alert_numbers.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "tests/support.h"

#include <cerrno>

using namespace test_support;

namespace {

// A vector of the interned items, kept to the end as the front end's own.
vec *vector_of(const std::vector<std::string> &items) {
    vec *v = vq4_keep(vec_create(__FILE__, __LINE__));
    for (const std::string &item : items)
        vec_append(v, const_cast<char *>(sc_intern(item.c_str())));
    return v;
}

// Each test starts with the front end's settings at their start, in its own
// scratch directory, and with no pending failure.
class FrontEndUnit : public ::testing::Test {
  protected:
    void TearDown() override {
        plat_fail_reset();
        vq4_reset_for_testing();
    }
    ScratchDir dir_{true};
};

using FrontEndUnitDeathTest = FrontEndUnit;

// The lines themselves are checked end to end.
TEST_F(FrontEndUnit, TheCommandFileWriterReportsAFailedClose) {
    plat_fail_next(PLAT_CALL_FCLOSE, EIO);
    EXPECT_FALSE(vq4_write_command_file("failed.cmd", vector_of({"prog", "a.c"})));
}

// A failed duplicate of descriptor 2 leaves it as it was: diagnostics then
// go to the original standard error, never lost, and the driver gets it.
TEST_F(FrontEndUnit, RedirectionThatCannotSaveOrMoveDescriptorTwoLeavesItAlone) {
    for (plat_call call : {PLAT_CALL_DUP, PLAT_CALL_DUP2}) {
        vq4_reset_for_testing();
        plat_fail_next(call, EMFILE);
        std::string err = stderr_of([] {
            redirect_stderr();
            std::fputs("still on standard error\n", stderr);
            std::fflush(stderr);
        });
        EXPECT_EQ(lacks(err, call == PLAT_CALL_DUP ? "can't save standard error"
                                                   : "can't redirect standard error") +
                      lacks(err, "still on standard error"),
                  "");
    }
}

// A full disk under the error file must not swallow the front end's own
// diagnostics: /dev/full refuses every write as such a disk does.
TEST_F(FrontEndUnit, ALineTheErrorFileCannotTakeGoesToTheOriginalStandardError) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "this host has no /dev/full";
    error_file = "/dev/full";
    ::testing::internal::CaptureStderr();
    redirect_stderr();
    alert_msg(MSG_EXIT_STATUS, 3);
    vq4_reset_for_testing();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "(908) exit status = 3\n");
}

// The caller's list is not changed (the program itself never runs one twice).
TEST_F(FrontEndUnit, ADriverRunLeavesTheCallersListAlone) {
    vec *args = vector_of({"a.c"});
    stdout_of([args] { EXPECT_TRUE(run_driver(VQ4_TEST_CHILD, args)); });
    EXPECT_EQ(vec_size(args), 1u);
}

// A driver that cannot start and a command file that cannot be made show
// end to end; a command file that cannot be written does not.
TEST_F(FrontEndUnitDeathTest, LaunchFailuresAreFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            plat_dup2(2, 1); // the front end's own diagnostics go to standard output
            plat_fail_next(PLAT_CALL_FOPEN, EIO);
            run_driver(VQ4_TEST_CHILD, vector_of({"a.c"}));
        },
        ::testing::ExitedWithCode(1), "\\(900\\) exec failed: ");
    // The standard error the process was started with cannot be given back:
    // the driver is not run, since it would write into the wrong stream.
    EXPECT_EXIT(
        {
            plat_dup2(2, 1);
            redirect_stderr();
            plat_fail_next(PLAT_CALL_DUP2, EIO);
            run_driver("/bin/echo", vector_of({"driver ran"}));
        },
        ::testing::ExitedWithCode(1),
        "can't give the driver the original standard error \\(.*\\)\n\\(900\\) exec failed");
}

} // namespace
