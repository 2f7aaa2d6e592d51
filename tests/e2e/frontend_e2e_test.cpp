// End-to-end tests of the vq4 front end: the built program runs as a process
// from a temporary installation (vq4/v9.9/bin/vq4, drivers in
// vq4/v9.9/lum/bin) with TEMP pointing at an empty directory. The drivers
// are the recording driver, which writes what it received into a record
// file, or the stand-in driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char *const DRIVER_NAMES[] = {"lumc", "lumc18", "lumcd", "lumc18d"};

std::string read_file(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const fs::path &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Quotes text for the POSIX shell that runs the front end.
std::string shell_quote(const std::string &text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Backslashes read as separators, as the suite's paths allow.
std::string slashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

struct RunResult {
    std::string out;
    std::string err;
    int status = -1;
};

// One driver run as the recording driver wrote it down.
struct DriverRun {
    std::string name;
    std::vector<std::string> args;   // as received (one "@file")
    std::vector<std::string> lines;  // raw command-file lines
    std::vector<std::string> parsed; // after the suite's argument reader
};

using Lines = std::vector<std::string>;

class FrontEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        root_ = fs::temp_directory_path() / ("vq4-e2e-" + std::to_string(random()));
        version_dir_ = root_ / "vq4" / "v9.9";
        lum_bin_ = version_dir_ / "lum" / "bin";
        temp_ = root_ / "temp";
        work_ = root_ / "work";
        fs::create_directories(version_dir_ / "bin");
        fs::create_directories(lum_bin_);
        fs::create_directories(version_dir_ / "lum" / "dat");
        fs::create_directories(temp_);
        fs::create_directories(work_);
        fs::copy_file(VQ4_E2E_FRONTEND, version_dir_ / "bin" / "vq4");
        install_drivers(VQ4_E2E_RECORDER);
    }

    void TearDown() override {
        EXPECT_TRUE(fs::is_empty(temp_)) << "the private temporary directory was left behind";
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void install_drivers(const char *program) {
        for (const char *name : DRIVER_NAMES) {
            fs::copy_file(program, lum_bin_ / name, fs::copy_options::overwrite_existing);
        }
    }

    // Runs the installed vq4 in the work directory with args and the extra
    // environment assignments (NAME=value), standard input empty.
    RunResult run(const Lines &args, const Lines &env = {}) {
        return run_shell(vq4_command(args, env) + " </dev/null");
    }

    // The shell command that runs the installed vq4 with args and the test
    // environment (TEMP, the record file) plus the extra assignments.
    std::string vq4_command(const Lines &args, const Lines &env = {}) const {
        std::string command = "TEMP=" + shell_quote(temp_.string()) +
                              " VQ4_E2E_RECORD=" + shell_quote((root_ / "record").string());
        for (const std::string &assignment : env) {
            size_t equals = assignment.find('=');
            command +=
                " " + assignment.substr(0, equals + 1) + shell_quote(assignment.substr(equals + 1));
        }
        command += " " + shell_quote((version_dir_ / "bin" / "vq4").string());
        for (const std::string &arg : args) {
            command += " " + shell_quote(arg);
        }
        return command;
    }

    // Runs a shell command in the work directory (TMP unset) and collects
    // its standard output, standard error and exit status.
    RunResult run_shell(const std::string &command) {
        std::string script = "cd " + shell_quote(work_.string()) + " || exit 97\nunset TMP\n";
        script += command + " >" + shell_quote((root_ / "out").string()) + " 2>" +
                  shell_quote((root_ / "err").string()) + "\n";
        script += "echo $? >" + shell_quote((root_ / "status").string()) + "\n";
        write_file(root_ / "run.sh", script);
        int ignored = std::system(("sh " + shell_quote((root_ / "run.sh").string())).c_str());
        (void)ignored;
        RunResult result;
        result.out = read_file(root_ / "out");
        result.err = read_file(root_ / "err");
        result.status = std::stoi(read_file(root_ / "status"));
        return result;
    }

    std::vector<DriverRun> driver_runs() {
        std::vector<DriverRun> runs;
        std::istringstream record(read_file(root_ / "record"));
        std::string line;
        while (std::getline(record, line)) {
            if (line.rfind("run ", 0) == 0) {
                runs.push_back(DriverRun{line.substr(4), {}, {}, {}});
            } else if (line.rfind("arg ", 0) == 0) {
                runs.back().args.push_back(line.substr(4));
            } else if (line.rfind("line ", 0) == 0) {
                runs.back().lines.push_back(line.substr(5));
            } else if (line.rfind("parsed ", 0) == 0) {
                runs.back().parsed.push_back(line.substr(7));
            }
        }
        return runs;
    }

    // The single driver run of a test that expects exactly one.
    DriverRun only_run() {
        std::vector<DriverRun> runs = driver_runs();
        EXPECT_EQ(runs.size(), 1u);
        return runs.empty() ? DriverRun{} : runs.front();
    }

    fs::path work(const std::string &name) const { return work_ / name; }

    std::string driver_path(const std::string &name) const { return (lum_bin_ / name).string(); }

    fs::path root_, version_dir_, lum_bin_, temp_, work_;
};

// ---- Launch and echo --------------------------------------------------------

TEST_F(FrontEnd, NoArgumentsRunsLumcWithAnEmptyCommandFileAndEchoesEmptyBrackets) {
    RunResult result = run({});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    std::smatch echo;
    ASSERT_TRUE(std::regex_match(result.out, echo, std::regex("(\\S+) @(\\S+) \\[  \\]\n")))
        << result.out;
    EXPECT_TRUE(fs::equivalent(slashes(echo[1]), driver_path("lumc"))) << echo[1];
    std::string command_file = slashes(echo[2]);
    EXPECT_EQ(fs::path(command_file).filename(), "vq4_tmp_0.cmd");
    EXPECT_EQ(fs::path(command_file).parent_path().parent_path(), temp_);
    DriverRun driver = only_run();
    EXPECT_EQ(driver.name, "lumc");
    EXPECT_EQ(driver.args, Lines{"@" + std::string(echo[2])});
    EXPECT_EQ(driver.lines, Lines{});
}

TEST_F(FrontEnd, EchoShowsTheDriverArgumentsJoinedByBlanks) {
    RunResult result = run({"--chip=16f84", "a.c", "-O2"});
    EXPECT_TRUE(
        std::regex_match(result.out, std::regex("\\S+lumc @\\S+ \\[ --chip=16f84 a\\.c -O2 \\]\n")))
        << result.out;
    EXPECT_EQ(only_run().lines, (Lines{"--chip=16f84", "a.c", "-O2"}));
}

struct EchoCase {
    Lines args;
    bool echoed;
};

TEST_F(FrontEnd, EchoCounterStartsAtOneAndFollowsVerbosityOptionsInOrder) {
    const EchoCase cases[] = {
        {{}, true},           {{"-v"}, true},          {{"-q"}, false},
        {{"-Q"}, false},      {{"--ver"}, false},      {{"-v", "-q"}, false},
        {{"-q", "-v"}, true}, {{"--VER", "-V"}, true}, {{"-q", "-v", "-q"}, false},
    };
    for (const EchoCase &c : cases) {
        RunResult result = run(c.args);
        EXPECT_EQ(result.out.find(" [ ") != std::string::npos, c.echoed)
            << ::testing::PrintToString(c.args) << " gave " << result.out;
    }
}

// ---- Driver choice ------------------------------------------------------------

struct ChipCase {
    Lines args;
    std::string driver;
};

TEST_F(FrontEnd, ChipOptionAndBinsOptionChooseTheDriver) {
    const ChipCase cases[] = {
        {{"--chip=16f84"}, "lumc"},
        {{"--chip=18f452"}, "lumc18"},
        {{"--CHIP=18F452"}, "lumc18"},
        {{"--Chip=12c508"}, "lumc"},
        {{"--chip=16f84", "--chip=18f452", "--chip=12c508"}, "lumc18"},
        {{"--chip=18f452", "--chip=16f84"}, "lumc18"},
        {{"--bins=debug"}, "lumcd"},
        {{"--bins=debug", "--chip=18f452"}, "lumc18d"},
        {{"--BINS=DEBUG", "--bins=release", "--chip=18f452"}, "lumc18"},
        {{"--bins=release", "--bins=debug"}, "lumcd"},
    };
    for (const ChipCase &c : cases) {
        fs::remove(root_ / "record");
        RunResult result = run(c.args);
        EXPECT_EQ(result.status, 0);
        std::vector<DriverRun> runs = driver_runs();
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].name, c.driver) << ::testing::PrintToString(c.args);
    }
}

TEST_F(FrontEnd, BinsAndTwoPassOptionsAreNotPassedToTheDriver) {
    run({"--bins=debug", "a.c", "--bins=release", "--chip=18f452"});
    EXPECT_EQ(only_run().lines, (Lines{"a.c", "--chip=18f452"}));
}

TEST_F(FrontEnd, ChipOptionInsideACommandFileChoosesLumc18) {
    write_file(work("opts.cmd"), "a.c\n--CHIP=18F4520\n");
    run({"@opts.cmd"});
    DriverRun driver = only_run();
    EXPECT_EQ(driver.name, "lumc18");
    EXPECT_EQ(driver.lines, (Lines{"a.c", "--CHIP=18F4520"}));
}

// ---- Option translation -------------------------------------------------------

struct TranslationCase {
    Lines args;
    Lines lines;
};

TEST_F(FrontEnd, MemorySummaryTakesTheDirectoryThatDirectlyFollowsIt) {
    const TranslationCase cases[] = {
        {{"--memorysummary", "out"}, {"--summary=+xml", "--summarydir=out"}},
        {{"--MemorySummary", "out", "a.c"}, {"--summary=+xml", "--summarydir=out", "a.c"}},
        {{"--memorysummary", "-v", "out"}, {"--summary=+xml", "-v", "out"}},
        {{"--memorysummary", "--chip=16f84", "out"}, {"--summary=+xml", "--chip=16f84", "out"}},
        {{"--memorysummary"}, {"--summary=+xml"}},
        {{"--memorysummary", "@missing.cmd"}, {"--summary=+xml", "--summarydir=@missing.cmd"}},
    };
    for (const TranslationCase &c : cases) {
        fs::remove(root_ / "record");
        run(c.args);
        EXPECT_EQ(only_run().lines, c.lines) << ::testing::PrintToString(c.args);
    }
}

TEST_F(FrontEnd, ExtensionOptionsAddTheirDriverOptionsOnce) {
    const TranslationCase cases[] = {
        {{"--ext=ejm", "--ejm", "a.c"}, {"a.c", "--ccmode=ejm"}},
        {{"--EXT=Iar"}, {"--ccmode=iar"}},
        {{"--ext=vq4"}, {}},
        {{"--ejm", "--EJM"}, {"--ccmode=ejm"}},
        {{"--std=c99", "a.c"}, {"--std=c99", "a.c"}},
        {{"--vq4cc", "a.c"}, {"--vq4cc", "a.c"}},
    };
    for (const TranslationCase &c : cases) {
        fs::remove(root_ / "record");
        RunResult result = run(c.args);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(only_run().lines, c.lines) << ::testing::PrintToString(c.args);
    }
}

TEST_F(FrontEnd, UnknownExtensionIsFatalBeforeAnyDriverRuns) {
    RunResult result = run({"--ext=foo", "a.c"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "(1443) unknown --EXT sub-option \"foo\"\n");
    EXPECT_EQ(result.err, "");
    EXPECT_FALSE(fs::exists(root_ / "record"));
}

TEST_F(FrontEnd, EmptyExtensionNameIsUnknown) {
    RunResult result = run({"--ext="});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "(1443) unknown --EXT sub-option \"\"\n");
}

TEST_F(FrontEnd, SecondDifferentExtensionIsFatal) {
    RunResult result = run({"--ext=iar", "--ejm"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "(1444) respecified C extension from \"IAR\" to \"EJM\" \n");
    EXPECT_FALSE(fs::exists(root_ / "record"));
}

TEST_F(FrontEnd, DebugOptionGoesToTheHeadOfTheDriverList) {
    run({"a.c", "--vqdebug=on"});
    Lines lines = only_run().lines;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("--vqdebug=", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("on"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "a.c");
}

// ---- The error file -------------------------------------------------------------

struct ErrorFileCase {
    std::string option;
    std::string passed;     // what the driver gets
    std::string file;       // the error file the front end writes, or ""
    bool keeps_old_content; // an existing file keeps what it held
};

TEST_F(FrontEnd, ErrorFileOptionFormsSetTheFileAndWhatTheDriverGets) {
    const ErrorFileCase cases[] = {
        {"-Eerr.txt", "-E+err.txt", "err.txt", false},
        {"-eerr.txt", "-E+err.txt", "err.txt", false},
        {"-E+err.txt", "-E+err.txt", "err.txt", true},
        {"-e+err.txt", "-e+err.txt", "err.txt", true},
        {"-Ex", "-E+x", "x", false},
        {"-E", "-E", "", false},
        {"-E+", "-E", "", false},
    };
    for (const ErrorFileCase &c : cases) {
        fs::remove(root_ / "record");
        if (!c.file.empty()) {
            write_file(work(c.file), "old\n");
        }
        RunResult result = run({c.option}, {"VQ4_E2E_DRIVER_EXITS=3"});
        EXPECT_EQ(only_run().lines, Lines{c.passed}) << c.option;
        if (c.file.empty()) {
            EXPECT_NE(result.out.find("(908) exit status = 3\n"), std::string::npos) << c.option;
        } else {
            std::string expected =
                std::string(c.keeps_old_content ? "old\n" : "") + "(908) exit status = 3\n";
            EXPECT_EQ(read_file(work(c.file)), expected) << c.option;
            EXPECT_EQ(result.out.find("(908)"), std::string::npos) << c.option;
            fs::remove(work(c.file));
        }
    }
}

TEST_F(FrontEnd, AppendFormCreatesAMissingErrorFile) {
    run({"-E+new.err"}, {"VQ4_E2E_DRIVER_EXITS=1"});
    EXPECT_EQ(read_file(work("new.err")), "(908) exit status = 1\n");
}

TEST_F(FrontEnd, ErrorFileHoldsDriverAndFrontEndLinesInTheOrderWritten) {
    write_file(work("err.txt"), "from an earlier run\n");
    RunResult result = run({"-Eerr.txt", "a.c"},
                           {"VQ4_E2E_DRIVER_EXITS=2", "VQ4_E2E_DRIVER_ERRLINE=driver: a.c failed"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(read_file(work("err.txt")), "driver: a.c failed\n(908) exit status = 2\n");
}

TEST_F(FrontEnd, ErrorFileCollectsBothRunsOfTheTwoPassMode) {
    RunResult result = run({"-Eerr.txt", "--wubtoxna"},
                           {"VQ4_E2E_DRIVER_EXITS=3,4", "VQ4_E2E_DRIVER_ERRLINE=driver line"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(read_file(work("err.txt")),
              "driver line\n(908) exit status = 3\ndriver line\n(908) exit status = 4\n");
}

TEST_F(FrontEnd, ErrorFileInAMissingDirectoryIsFatalBeforeAnyDriverRuns) {
    RunResult result = run({"-Enodir/err.txt", "a.c"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "(141) can't open error file \"nodir/err.txt\": No such file or directory\n");
    EXPECT_FALSE(fs::exists(root_ / "record"));
}

TEST_F(FrontEnd, WithoutErrorFileFrontEndDiagnosticsGoToStdoutAndTheDriverKeepsStderr) {
    RunResult result =
        run({"a.c"}, {"VQ4_E2E_DRIVER_EXITS=2", "VQ4_E2E_DRIVER_STDERR=driver complains"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "driver complains\n");
    EXPECT_TRUE(std::regex_match(result.out, std::regex("\\S+ @\\S+ \\[ a\\.c \\]\n"
                                                        "\\(908\\) exit status = 2\n")))
        << result.out;
}

TEST_F(FrontEnd, WithErrorFileTheDriverStillWritesToTheOriginalStderr) {
    RunResult result = run({"-Eerr.txt"}, {"VQ4_E2E_DRIVER_STDERR=driver complains"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "driver complains\n");
    EXPECT_EQ(read_file(work("err.txt")), "");
}

// ---- Driver failures ---------------------------------------------------------------

TEST_F(FrontEnd, FailingDriverGives908AndExitStatusOne) {
    RunResult result = run({"a.c"}, {"VQ4_E2E_DRIVER_EXITS=2"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find("(908) exit status = 2\n"), std::string::npos) << result.out;
}

TEST_F(FrontEnd, MissingDriverIsFatal900NamingItsPath) {
    fs::remove(lum_bin_ / "lumc18");
    RunResult result = run({"--chip=18f452"});
    EXPECT_EQ(result.status, 1);
    std::smatch message;
    ASSERT_TRUE(
        std::regex_search(result.out, message, std::regex("\\(900\\) exec failed: (\\S+)\n$")))
        << result.out;
    EXPECT_EQ(slashes(message[1]), slashes(driver_path("lumc18")));
}

TEST_F(FrontEnd, UnusableTemporaryDirectoryIsFatal2082) {
    write_file(work("not-a-directory"), "");
    RunResult result = run({"a.c"}, {"TEMP=" + work("not-a-directory").string() + "/sub"});
    EXPECT_EQ(result.status, 1);
    // The launch has already handed descriptor 2 back to the original
    // standard error when the command file is named.
    EXPECT_EQ(result.err, "(2082) can't create temporary file\n");
    EXPECT_FALSE(fs::exists(root_ / "record"));
}

// ---- Tracing ---------------------------------------------------------------------------

TEST_F(FrontEnd, LaunchStepsAreTracedIntoTheDebugOutFile) {
    std::string long_argument(7200, 'L');
    RunResult result = run({"--vqdebug=on,out:trace.out", "a b", long_argument, "-q"});
    EXPECT_EQ(result.status, 0);
    std::string trace = read_file(work("trace.out"));
    for (const char *expected : {
             "ENTER vq4_spawn()",
             "Forced use of command file\n",
             "Command line length is too long for OS (",
             "Command file name: \"",
             "Writing option to command file: \"a b\"\n",
             "Executing: ",
             "EXIT vq4_spawn() -> Execution returned 0\n",
         }) {
        EXPECT_NE(trace.find(expected), std::string::npos) << expected;
    }
}

TEST_F(FrontEnd, ShortCommandLineIsNotTracedAsTooLong) {
    run({"--vqdebug=on,out:trace.out", "-q"});
    std::string trace = read_file(work("trace.out"));
    EXPECT_NE(trace.find("Forced use of command file"), std::string::npos);
    EXPECT_EQ(trace.find("too long for OS"), std::string::npos);
}

// ---- Two-pass mode ---------------------------------------------------------------

TEST_F(FrontEnd, TwoPassModeRunsAQuietFirstPassThenTheRealOne) {
    RunResult result = run({"--wubtoxna", "a.c"}, {"VQ4_E2E_DRIVER_EXITS=1,0"});
    EXPECT_EQ(result.status, 0);
    std::vector<DriverRun> runs = driver_runs();
    ASSERT_EQ(runs.size(), 2u);
    ASSERT_EQ(runs[0].lines.size(), 4u);
    EXPECT_EQ(runs[0].lines[0], "a.c");
    EXPECT_EQ(runs[0].lines[1], "--wubtoxna");
    EXPECT_EQ(runs[0].lines[2], "-q");
    std::string summary = runs[0].lines[3].substr(2);
    EXPECT_EQ(runs[0].lines[3], "-E" + summary);
    EXPECT_EQ(fs::path(slashes(summary)).filename(), "vq4_tmp_0");
    EXPECT_EQ(runs[1].lines, (Lines{"a.c", "--summarycmp=" + summary}));
    // Only the second run is echoed; the first run's failure is reported.
    EXPECT_TRUE(std::regex_match(result.out, std::regex("\\(908\\) exit status = 1\n"
                                                        "\\S+ @\\S+vq4_tmp_2\\.cmd \\[ a\\.c "
                                                        "--summarycmp=\\S+ \\]\n")))
        << result.out;
}

TEST_F(FrontEnd, TwoPassModeExitStatusFollowsTheSecondRun) {
    RunResult result = run({"--WUBTOXNA"}, {"VQ4_E2E_DRIVER_EXITS=0,5"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(driver_runs().size(), 2u);
}

// ---- Command files written for the driver --------------------------------------------

TEST_F(FrontEnd, CommandFileQuotesWhiteSpaceAndEscapesDoubleQuotes) {
    const Lines args = {"two words",       "say\"hi\"", "say \"hi there\"",
                        "C:\\dir\\file.c", "tab\there", "plain"};
    run(args);
    DriverRun driver = only_run();
    EXPECT_EQ(driver.lines, (Lines{"\"two words\"", "say\\\"hi\\\"", "\"say \\\"hi there\\\"\"",
                                   "C:\\dir\\file.c", "\"tab\there\"", "plain"}));
    // The suite's reader gives the driver the arguments back unchanged,
    // except that a tab ends a token even between quotes.
    EXPECT_EQ(driver.parsed, (Lines{"two words", "say\"hi\"", "say \"hi there\"", "C:\\dir\\file.c",
                                    "tab", "here", "plain"}));
}

TEST_F(FrontEnd, FrontEndResolvesEscapesOfItsOwnArguments) {
    run({"a\\ b", "x\\\\y", "\\q", ""});
    EXPECT_EQ(only_run().lines, (Lines{"\"a b\"", "x\\y", "\\q"}));
}

TEST_F(FrontEnd, ThousandsOfArgumentsReachTheDriverInOrder) {
    Lines args;
    for (int i = 0; i < 5000; ++i) {
        args.push_back("arg" + std::to_string(i));
    }
    RunResult result = run(args);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(only_run().lines, args);
}

// ---- Command files given to the front end ----------------------------------------------

TEST_F(FrontEnd, NestedCommandFilesExpandInPlace) {
    write_file(work("outer.cmd"), "--chip=18f452 \"two words\"\n@inner.cmd last\n");
    write_file(work("inner.cmd"), "x.c 'it''s'\n@deepest.cmd\n");
    write_file(work("deepest.cmd"), "deep.c\n");
    run({"first", "@outer.cmd", "after"});
    DriverRun driver = only_run();
    EXPECT_EQ(driver.name, "lumc18");
    EXPECT_EQ(driver.parsed, (Lines{"first", "--chip=18f452", "two words", "x.c", "its", "deep.c",
                                    "last", "after"}));
}

TEST_F(FrontEnd, CommandFileThatIsATerminalIsPromptedForLineByLine) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no script(1) to give vq4 a terminal";
    }
    // script(1) runs vq4 on a new terminal and types the input into it; the
    // terminal echoes the typed line, and ^D ends the input.
    RunResult result = run_shell("printf 'a.c \"b c\"\\n\\004' | script -qec " +
                                 shell_quote(vq4_command({"-q", "@/dev/tty"})) + " /dev/null");
    EXPECT_NE(result.out.find("vq4> vq4> "), std::string::npos) << result.out;
    EXPECT_EQ(only_run().lines, (Lines{"-q", "a.c", "\"b c\""}));
}

TEST_F(FrontEnd, FourBackslashesInACommandFileGiveOne) {
    write_file(work("args.cmd"), "a\\\\\\\\b\n");
    run({"@args.cmd"});
    EXPECT_EQ(only_run().lines, Lines{"a\\b"});
}

TEST_F(FrontEnd, TokenOf2047CharactersIsKeptWhole) {
    std::string token(2047, 'k');
    write_file(work("long.cmd"), token + "\n");
    RunResult result = run({"@long.cmd"});
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(only_run().lines, Lines{token});
}

TEST_F(FrontEnd, TokenOf2048CharactersIsCutAndReported917) {
    write_file(work("long.cmd"), std::string(2047, 'k') + "XYZ rest of line\nnext\n");
    RunResult result = run({"@long.cmd"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "(917) argument too long\n");
    EXPECT_EQ(only_run().lines, (Lines{std::string(2047, 'k'), "next"}));
}

TEST_F(FrontEnd, MoreThan1023TokensInACommandFileAreAllKeptInOrder) {
    Lines tokens;
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        tokens.push_back("t" + std::to_string(i));
        text += tokens.back() + (i % 10 == 9 ? "\n" : " ");
    }
    write_file(work("many.cmd"), text);
    run({"@many.cmd"});
    EXPECT_EQ(only_run().lines, tokens);
}

TEST_F(FrontEnd, MissingCommandFileIsPassedOnUnchanged) {
    RunResult result = run({"@missing.cmd", "a.c"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    DriverRun driver = only_run();
    EXPECT_EQ(driver.name, "lumc");
    EXPECT_EQ(driver.lines, (Lines{"@missing.cmd", "a.c"}));
}

TEST_F(FrontEnd, EmptyCommandFileContributesNothing) {
    write_file(work("empty.cmd"), "");
    run({"@empty.cmd", "a.c"});
    EXPECT_EQ(only_run().lines, Lines{"a.c"});
}

TEST_F(FrontEnd, BinaryCommandFileNeitherCrashesNorHangs) {
    std::string bytes;
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        bytes += char(random() & 0xff);
    }
    write_file(work("binary.cmd"), bytes);
    RunResult result = run({"@binary.cmd"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(driver_runs().size(), 1u);
}

TEST_F(FrontEnd, SelfReferencingCommandFileIsReadOnceAndReported) {
    write_file(work("self.cmd"), "a.c @self.cmd b.c\n");
    RunResult result = run({"@self.cmd"});
    EXPECT_EQ(result.status, 0);
    // The front end reports it first; the driver, reading "@self.cmd" from
    // its own command file, reports it again.
    EXPECT_EQ(result.err.rfind("(2099) command file \"self.cmd\" is already being expanded; it is "
                               "not read again\n",
                               0),
              0u)
        << result.err;
    EXPECT_EQ(only_run().lines, (Lines{"a.c", "@self.cmd", "b.c"}));
}

TEST_F(FrontEnd, CommandFilesNamingEachOtherStopAtTheFirstRepeat) {
    write_file(work("a.cmd"), "from-a @b.cmd\n");
    write_file(work("b.cmd"), "from-b @./a.cmd\n");
    RunResult result = run({"@a.cmd"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.err.find("(2099) command file \"./a.cmd\""), std::string::npos) << result.err;
    EXPECT_EQ(only_run().lines, (Lines{"from-a", "from-b", "@./a.cmd"}));
}

TEST_F(FrontEnd, ChipScanOfAnUnexpandedCommandFileFindsAChipOptionAnywhereInALine) {
    // The file names itself, so its '@' argument stays unexpanded and the
    // driver choice falls to the scan, which ignores case and token bounds.
    write_file(work("self.cmd"), "-DTARGET=--CHIP=18f452 @self.cmd\n");
    run({"@self.cmd"});
    DriverRun driver = only_run();
    EXPECT_EQ(driver.name, "lumc18");
    EXPECT_EQ(driver.lines, (Lines{"-DTARGET=--CHIP=18f452", "@self.cmd"}));
}

// ---- The stand-in driver -------------------------------------------------------------

TEST_F(FrontEnd, StandInDriverReportsItselfTheChipAndTheFilesItWouldCompile) {
    install_drivers(VQ4_E2E_STANDIN);
    write_file(work("blink.c"), "int main(void) { return 0; }\n");
    RunResult result = run({"--chip=18f452", "-q", "blink.c"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "lumc18: stand-in compiler driver (compiles nothing), chip 18f452\n"
                          "lumc18: would compile blink.c\n");
}

TEST_F(FrontEnd, StandInDriverFailsOnAMissingSourceAndWritesToTheErrorFile) {
    install_drivers(VQ4_E2E_STANDIN);
    RunResult result = run({"-q", "-Eerr.txt", "gone.c"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(read_file(work("err.txt")),
              "lumc: error: source file \"gone.c\" does not exist\n(908) exit status = 1\n");
}

TEST_F(FrontEnd, StandInDriverFailsOnACommandFileItCannotRead) {
    install_drivers(VQ4_E2E_STANDIN);
    RunResult result = run({"-q", "@missing.cmd"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "lumc: error: command file \"missing.cmd\" cannot be read\n");
    EXPECT_EQ(result.out, "lumc: stand-in compiler driver (compiles nothing), chip not given\n"
                          "(908) exit status = 1\n");
}

} // namespace
