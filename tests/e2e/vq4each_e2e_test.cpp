// End-to-end tests of vq4each, installed beside vq4 in a temporary
// installation (see e2e_support.h): one run of vq4, or of a driver, per file.
#include "e2e_support.h"

namespace {

using namespace e2e;

class EachFile : public Installation {
  protected:
    void SetUp() override {
        Installation::SetUp();
        fs::copy_file(built("VQ4_E2E_EACH", VQ4_E2E_EACH),
                      root_ / ("vq4/v9.9/bin/vq4each" + exe()));
        program_ = "vq4each";
    }
};

struct EachCase {
    Lines args;
    std::vector<Lines> parsed; // what each driver run was given, in order
    const char *driver = "lumc";
    std::string err = ""; // what the tool reports
    Lines env = {};
};

TEST_F(EachFile, EveryFileGetsARunWithEveryOptionAndFailuresAreCounted) {
    write("list.cmd", "a.c \"my file.c\"\n--chip=18f452\n");
    // The tool names itself as it was started: by its file name.
    const std::string each = "vq4each" + exe() + ": ", failed = " failed with status 1\n";
    const EachCase cases[] = {
        // clang-format off
        {{"--chip=16f84", "a.c", "b.c"}, {{"--chip=16f84", "a.c"}, {"--chip=16f84", "b.c"}}},
        {{"@list.cmd"}, {{"--chip=18f452", "a.c"}, {"--chip=18f452", "my file.c"}}, "lumc18"},
        {{"--driver=lumc18", "-q", "a.c"}, {{"a.c"}}, "lumc18", "",
         {"VQ4_E2E_DRIVER_STDERR=swallowed"}},
        {{"a.c", "b.c", "c.c"}, {{"a.c"}, {"b.c"}, {"c.c"}}, "lumc",
         each + "a.c:" + failed + each + "c.c:" + failed + each + "2 of 3 files failed\n",
         {"VQ4_E2E_DRIVER_EXITS=5,0,6"}},
        {{"--driver=none", "a.c"}, {}, "",
         each + "a.c: " + (root_ / bin_ / "none").string() + " could not be started\n"},
        {{"-v"}, {}, "", each + "fatal error: no input files\nprogram terminated.\n"},
        // clang-format on
    };
    for (const EachCase &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        RunResult result = run(c.args, c.env);
        EXPECT_EQ(result.status, c.err.empty() ? 0 : 1);
        EXPECT_EQ(slashes(result.err), c.err);
        ASSERT_EQ(result.runs.size(), c.parsed.size());
        for (size_t i = 0; i < c.parsed.size(); ++i) {
            EXPECT_EQ(result.runs[i].name, c.driver);
            EXPECT_EQ(result.runs[i].parsed, c.parsed[i]);
        }
    }
}

TEST_F(EachFile, OwnOptionsSetTheEchoAndTheErrorFileOfAllRuns) {
    const Lines env = {"VQ4_E2E_DRIVER_EXITS=2,3", "VQ4_E2E_DRIVER_ERRLINE=driver line"};
    RunResult result = run({"-q", "-Eerr.txt", "a.c", "b.c"}, env);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(read_text(work("err.txt")),
              "driver line\n(908) exit status = 2\ndriver line\n(908) exit status = 3\n");
    result = run({"-v", "--driver=lumc", "a.c"});
    EXPECT_EQ(slashes(result.out), (root_ / bin_ / "lumc").string() + " a.c\n");
    result = run({"--help", "a.c"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.substr(0, 15), "Usage: vq4each ");
    EXPECT_EQ(result.runs.size(), 0u);
}

TEST_F(EachFile, InterruptEndsItWithTheSignalNumberAndItsOwnStreamsBack) {
    E2E_POSIX_ONLY("console events reach every process of the console, there is no signal to "
                   "send to one");
    // The driver makes the marker once it runs; the tool, swallowing its
    // output, is interrupted then.
    std::string wait = "VQ4_E2E_DRIVER_WAIT=" + work("running").string();
    RunResult result = run_shell("{ " + command({"-q", "--driver=lumc", "a.c"}, {wait}) +
                                 " </dev/null & pid=$!; for i in $(seq 600); do"
                                 " [ -e running ] && break; sleep 0.1; done;"
                                 " kill -INT $pid; wait $pid; }");
    fs::remove(work("running"));
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, "\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.runs.size(), 1u);
}

} // namespace
