// End-to-end tests of the vq4 front end: the built program runs as a process
// from a temporary installation (see e2e_support.h).
#include "e2e_support.h"

#include <regex>

namespace {

using namespace e2e;

using FrontEnd = Installation;

TEST_F(FrontEnd, EchoNamesTheDriverAndItsCommandFileUnlessVerbosityOptionsSwitchItOff) {
    RunResult result = run({});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    std::smatch echo;
    ASSERT_TRUE(std::regex_match(result.out, echo, std::regex("(\\S+) @(\\S+) \\[  \\]\n")))
        << result.out;
    // The echo names the driver without the ".exe" the Windows runtime adds.
    EXPECT_TRUE(fs::equivalent(slashes(echo[1]) + exe(), root_ / bin_ / ("lumc" + exe())))
        << echo[1];
    fs::path command_file = slashes(echo[2]);
    EXPECT_EQ(command_file.filename(), "vq4_tmp_0.cmd");
    EXPECT_EQ(command_file.parent_path().parent_path(), root_ / temp_);
    EXPECT_EQ(result.only().lines, Lines{});
    // The echo counter starts at one and follows the verbosity options in order.
    const std::pair<Lines, bool> cases[] = {
        {{"-Q"}, false},      {{"--ver"}, false},      {{"-v", "-q"}, false},
        {{"-q", "-v"}, true}, {{"--VER", "-V"}, true}, {{"-q", "-v", "-q"}, false},
    };
    for (const auto &[args, echoed] : cases) {
        result = run(args);
        EXPECT_EQ(result.out.find(" [ ") != std::string::npos, echoed)
            << ::testing::PrintToString(args) << " gave " << result.out;
    }
}

struct DriverCase {
    Lines args;
    Lines lines; // the command-file lines the driver reads
    const char *driver = "lumc";
    std::string err{""}; // how standard error starts
};

TEST_F(FrontEnd, ArgumentsChooseTheDriverAndBecomeItsCommandFileLines) {
    std::string k2047(2047, 'k'), big_text;
    Lines big, deep;
    for (int i = 0; i < 200000; ++i) {
        big.push_back("t" + std::to_string(i));
        big_text += big.back() + (i % 1000 == 999 ? "\n" : " "); // long lines
    }
    write("big.cmd", big_text);
    const Lines many(big.begin(), big.begin() + 5000);
    for (int i = 0; i < 2000; ++i) { // 2,000 command files, each naming the next
        deep.push_back("d" + std::to_string(i));
        write("d" + std::to_string(i) + ".cmd",
              deep.back() + (i < 1999 ? " @d" + std::to_string(i + 1) + ".cmd\n" : "\n"));
    }
    write("outer.cmd", "--CHIP=18F4520 \"two words\"\n@inner.cmd last\n");
    write("inner.cmd", "x.c 'it''s'\n@deepest.cmd\n");
    write("deepest.cmd", "deep.c\n");
    write("four.cmd", "a\\\\\\\\b\n");
    write("empty.cmd", "");
    write("k2047.cmd", k2047 + "\n");
    write("k2048.cmd", k2047 + "XYZ rest of line\nnext\n");
    write("self.cmd", "a.c @self.cmd b.c\n");
    write("a.cmd", "from-a @b.cmd\n");
    write("b.cmd", "from-b @./a.cmd\n");
    write("bs.cmd", "x @.\\bs.cmd\n");
    // Names itself, so its '@' stays unexpanded and the driver choice falls
    // to the scan, which ignores case and token bounds.
    write("scan.cmd", "-DTARGET=--CHIP=18f452 @scan.cmd\n");
    write("first.cmd", "-DX=--chip=16f84 @first.cmd\n-DY=--chip=18f452\n"); // the first decides
    Lines loop_lines(40, "@loop.cmd");
    std::string loop_text;
    for (const std::string &line : loop_lines)
        loop_text += line + " ";
    write("loop.cmd", loop_text + "a.c\n");
    loop_lines.push_back("a.c");
    const std::string k1022(1022, 'k');
    write("crlf.cmd", k1022 + "\r\nnext\r\n");
    fs::create_directory(work("adir.cmd"));
    ASSERT_EQ(std::system(("mkfifo " + quote(work("fifo.cmd").string())).c_str()), 0);
    auto repeat = [](const char *name) {
        return "(2089) command file \"" + std::string(name) +
               "\" is already being expanded; it is not read again (warning)\n";
    };
    const Lines chips = {"--chip=16f84", "--chip=18f452", "--chip=12c508"};
    const std::string xml = "--summary=+xml";
    const DriverCase cases[] = {
        // clang-format off
        {{"--chip=16f84"}, {"--chip=16f84"}}, {{"--CHIP=18F452"}, {"--CHIP=18F452"}, "lumc18"},
        {chips, chips, "lumc18"}, {{"--bins=debug"}, {}, "lumcd"},
        {{"--bins=debug", "a.c", "--chip=18f452"}, {"a.c", "--chip=18f452"}, "lumc18d"},
        {{"--BINS=DEBUG", "--bins=release", "--chip=18f452"}, {"--chip=18f452"}, "lumc18"},
        {{"--MemorySummary", "o", "a.c"}, {xml, "--summarydir=o", "a.c"}},
        {{"--memorysummary", "-v", "out"}, {xml, "-v", "out"}},
        {{"--memorysummary"}, {xml}},
        {{"--memorysummary", "@no.cmd"}, {xml, "--summarydir=@no.cmd"}},
        {{"--ext=ejm", "--ejm", "a.c"}, {"a.c", "--ccmode=ejm"}}, {{"--EXT=Iar"}, {"--ccmode=iar"}},
        {{"--ext=vq4"}, {}}, {{"--ejm", "--EJM"}, {"--ccmode=ejm"}},
        {{"--std=c99", "--vq4cc"}, {"--std=c99", "--vq4cc"}},
        {{"a.c", "--vqdebug=on"}, {"--vqdebug=default,on,num:1", "a.c"}}, // debug first
        {{"a\\ b", "x\\\\y", "\\q", ""}, {"\"a b\"", "x\\y", "\\q"}},
        // White space quoted, double quotes escaped.
        {{"two words", "say\"hi\"", "say \"hi there\"", "C:\\f.c", "tab\there"},
         {"\"two words\"", "say\\\"hi\\\"", "\"say \\\"hi there\\\"\"", "C:\\f.c",
          "\"tab\there\""}},
        {{"\\\"q\\'", "trailing\\", "@", "@missing\\ file.cmd"},
         {"\\\"q'", "trailing\\", "@", "\"@missing\\ file.cmd\""}},
        {many, many},
        {{"first", "@outer.cmd", "after"},
         {"first", "--CHIP=18F4520", "\"two words\"", "x.c", "its", "deep.c", "last", "after"},
         "lumc18"},
        {{"@four.cmd"}, {"a\\b"}}, {{"@empty.cmd", "a.c"}, {"a.c"}},
        {{"@missing.cmd", "a.c"}, {"@missing.cmd", "a.c"}}, {{"@k2047.cmd"}, {k2047}},
        {{"@k2048.cmd"}, {k2047, "next"}, "lumc", "(917) argument too long\n"},
        {{"@big.cmd"}, big}, {{"@d0.cmd"}, deep},
        // The front end reports a repeat first; the driver, reading the same
        // '@' argument from its own command file, reports it again.
        {{"@self.cmd"}, {"a.c", "@self.cmd", "b.c"}, "lumc", repeat("self.cmd")},
        // A file is read again once its expansion has ended.
        {{"@a.cmd", "@b.cmd"},
         {"from-a", "from-b", "@./a.cmd", "from-b", "from-a", "@b.cmd"}, "lumc", repeat("./a.cmd")},
        {{"@bs.cmd"}, {"x", "@.\\bs.cmd"}, "lumc", repeat(".\\bs.cmd")},
        {{"@scan.cmd"}, {"-DTARGET=--CHIP=18f452", "@scan.cmd"}, "lumc18", "(2089)"},
        {{"@first.cmd"}, {"-DX=--chip=16f84", "@first.cmd", "-DY=--chip=18f452"}, "lumc", "(2089)"},
        // Refused again and again, reported once, counted as no error.
        {{"@loop.cmd"}, loop_lines, "lumc", repeat("loop.cmd")},
        // CR LF lines read as text lines, the CR at the reader's chunk end too.
        {{"@crlf.cmd"}, {k1022, "next"}},
        // Neither read as empty nor waited for: kept as they are, at once.
        {{"@adir.cmd"}, {"@adir.cmd"}}, {{"@fifo.cmd"}, {"@fifo.cmd"}},
        {{"@/dev/zero"}, {"@/dev/zero"}},
        // clang-format on
    };
    for (const DriverCase &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args).substr(0, 80));
        RunResult result = run(c.args);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.err.substr(0, c.err.size()), c.err);
        EXPECT_EQ(c.err.empty(), result.err.empty()) << result.err;
        EXPECT_EQ(result.only().name, c.driver);
        EXPECT_EQ(result.only().lines, c.lines);
    }
}

TEST_F(FrontEnd, ADriverReadingTheCommandFileGetsEveryArgumentBack) {
    // A driver reading its command file by the Windows runtime's rules gets
    // every argument back exactly, also one whose line feed is followed by
    // what looks like an option.
    const Lines exact = {"two words", "say\"hi\"", "C:\\dir\\f.c", "it's",
                         "tab\there", "x\n-DEVIL", "  blanks  "};
    Lines shown = exact;
    shown[5] = "x\\n-DEVIL";
    EXPECT_EQ(run(exact).only().parsed, shown);
}

TEST_F(FrontEnd, CommandFileThatIsATerminalIsPromptedForLineByLine) {
    E2E_POSIX_ONLY("no terminal device has a path name");
    if (std::system("command -v script >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no script(1) to give vq4 a terminal";
    // script(1) runs vq4 on a new terminal and types the input into it; the
    // terminal echoes the typed line, and ^D ends the input.
    RunResult result = run_shell("printf 'a.c \"b c\"\\n\\004' | script -qec " +
                                 quote(command({"-q", "@/dev/tty"})) + " /dev/null");
    EXPECT_NE(result.out.find("vq4> vq4> "), std::string::npos) << result.out;
    EXPECT_EQ(result.only().lines, (Lines{"-q", "a.c", "\"b c\""}));
}

struct FatalCase {
    Lines args;
    std::string out, err;
    Lines env{};
};

TEST_F(FrontEnd, FatalErrorsStopTheFrontEndBeforeAnyDriverRuns) {
    write("not-a-directory", "");
    fs::remove(root_ / bin_ / ("lumc18" + exe()));
    const FatalCase cases[] = {
        // clang-format off
        {{"--ext=foo", "a.c"}, "(1443) unknown --EXT sub-option \"foo\"\n", ""},
        {{"--ext="}, "(1443) unknown --EXT sub-option \"\"\n", ""},
        {{"--ext=iar", "--ejm"}, "(1444) respecified C extension from \"IAR\" to \"EJM\" \n", ""},
        {{"-Enodir/e", "a.c"}, "",
         "(141) can't open error file \"nodir/e\": No such file or directory\n"},
        // Descriptor 2 is the original standard error again when the command file is named.
        {{"a.c"}, "", "(2082) can't create temporary file\n",
         {"TEMP=" + work("not-a-directory").string() + "/sub"}},
        {{"-q", "--chip=18f452"}, "(900) exec failed: " + (root_ / bin_ / "lumc18").string() + "\n",
         ""},
        // clang-format on
    };
    for (const FatalCase &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        RunResult result = run(c.args, c.env);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(slashes(result.out), c.out);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.runs.size(), 0u);
    }
}

// The driver appends its line to the file it gets with "-E+"; the front end
// adds its own after the run. The driver's standard error stays out of it.
TEST_F(FrontEnd, ErrorFileOptionFormsSetTheFileAndTakeDriverAndFrontEndLinesInOrder) {
    const std::string failed = "(908) exit status = 3\n", both = "driver line\n" + failed;
    // The option, what the driver gets, the file, what it held before (null:
    // no file) and after.
    const std::tuple<std::string, std::string, std::string, const char *, std::string> cases[] = {
        {"-Eerr.txt", "-E+err.txt", "err.txt", "old\n", both},
        {"-eerr.txt", "-E+err.txt", "err.txt", "old\n", both},
        {"-E+err.txt", "-E+err.txt", "err.txt", "old\n", "old\n" + both},
        {"-e+err.txt", "-e+err.txt", "err.txt", "old\n", "old\n" + failed}, // driver: "-E+" only
        {"-E+new.err", "-E+new.err", "new.err", nullptr, both},
        {"-Ex", "-E+x", "x", nullptr, both},
        {"-E", "-E", "", nullptr, ""},
        {"-E+", "-E", "", nullptr, ""},
    };
    for (const auto &[option, passed, file, before, after] : cases) {
        SCOPED_TRACE(option);
        if (before != nullptr)
            write(file, before);
        RunResult result = run({option}, {"VQ4_E2E_DRIVER_EXITS=3", "VQ4_E2E_DRIVER_STDERR=oops",
                                          "VQ4_E2E_DRIVER_ERRLINE=driver line"});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "oops\n");
        EXPECT_EQ(result.only().lines, Lines{passed});
        EXPECT_EQ(result.out.find(failed) != std::string::npos, file.empty()) << result.out;
        if (!file.empty()) {
            EXPECT_EQ(read_text(work(file)), after);
            fs::remove(work(file));
        }
    }
}

TEST_F(FrontEnd, LaunchStepsAreTracedIntoTheDebugOutFile) {
    EXPECT_EQ(run({"--vqdebug=on,out:trace.out", "a b", std::string(7200, 'L'), "-q"}).status, 0);
    std::string trace = read_text(work("trace.out"));
    for (const char *expected :
         {"ENTER vq4_spawn()", "Forced use of command file\n",
          "Command line length is too long for OS (", "Command file name: \"",
          "Writing option to command file: \"a b\"\n",
          "Executing: ", "EXIT vq4_spawn() -> Execution returned 0\n"})
        EXPECT_NE(trace.find(expected), std::string::npos) << expected;
    run({"--vqdebug=on,out:trace.out", "-q"});
    EXPECT_EQ(read_text(work("trace.out")).find("too long for OS"), std::string::npos);
}

TEST_F(FrontEnd, TwoPassModeRunsAQuietFirstPassThenTheRealOne) {
    RunResult result = run({"--wubtoxna", "a.c"}, {"VQ4_E2E_DRIVER_EXITS=1,0"});
    EXPECT_EQ(result.status, 0);
    ASSERT_EQ(result.runs.size(), 2u);
    ASSERT_EQ(result.runs[0].lines.size(), 4u);
    std::string summary = result.runs[0].lines[3].substr(2);
    EXPECT_EQ(result.runs[0].lines, (Lines{"a.c", "--wubtoxna", "-q", "-E" + summary}));
    EXPECT_EQ(fs::path(slashes(summary)).filename(), "vq4_tmp_0");
    EXPECT_EQ(result.runs[1].lines, (Lines{"a.c", "--summarycmp=" + summary}));
    // Only the second run is echoed; the first run's failure is reported.
    EXPECT_TRUE(std::regex_match(
        result.out, std::regex("\\(908\\) exit status = 1\n"
                               "\\S+ @\\S+vq4_tmp_2\\.cmd \\[ a\\.c --summarycmp=\\S+ \\]\n")))
        << result.out;
    // Both runs write to the error file, in order.
    result = run({"--WUBTOXNA", "-Eerr.txt"},
                 {"VQ4_E2E_DRIVER_EXITS=2,4", "VQ4_E2E_DRIVER_ERRLINE=driver line"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.runs.size(), 2u);
    EXPECT_EQ(read_text(work("err.txt")),
              "driver line\n(908) exit status = 2\ndriver line\n(908) exit status = 4\n");
}

TEST_F(FrontEnd, StandInDriverReportsWhatItWouldCompileAndWhatIsMissing) {
    install_drivers(built("VQ4_E2E_STANDIN", VQ4_E2E_STANDIN));
    write("blink.c", "int main(void) { return 0; }\n");
    RunResult result = run({"--chip=18f452", "-q", "blink.c"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "lumc18: stand-in compiler driver (compiles nothing), chip 18f452\n"
                          "lumc18: would compile blink.c\n");
    EXPECT_EQ(run({"-q", "-Eerr.txt", "gone.c"}).status, 1);
    EXPECT_EQ(read_text(work("err.txt")),
              "lumc: error: source file \"gone.c\" does not exist\n(908) exit status = 1\n");
    result = run({"-q", "@missing.cmd"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "lumc: error: command file \"missing.cmd\" cannot be read\n");
    EXPECT_EQ(result.out, "lumc: stand-in compiler driver (compiles nothing), chip not given\n"
                          "(908) exit status = 1\n");
}

// ---- Hostile conditions -------------------------------------------------

// Whether the tests may act as a second user (they run as root and can
// become nobody with setpriv); the reason to skip otherwise.
std::string second_user_missing() {
    if (windows())
        return "not on Windows: Wine refuses a prefix that another user owns";
    if (std::system("test \"$(id -u)\" = 0 && command -v setpriv >/dev/null") != 0)
        return "needs root and setpriv to act as a second user";
    return "";
}
const std::string kAsNobody = "setpriv --reuid=nobody --regid=nogroup --clear-groups ";

TEST_F(FrontEnd, DriverStartsWithEveryDefaultDispositionWhateverTheFrontEndInherited) {
    E2E_POSIX_ONLY("drivers that are shell scripts, POSIX signal masks");
    // The driver reports the ignored and blocked signal masks it started
    // with; the front end itself starts with SIGCHLD ignored (as some job
    // runners start programs) and a standard output nobody reads.
    install_script("lumc", "exec grep -E '^Sig(Ign|Blk)' /proc/self/status >" +
                               quote((root_ / "masks").string()));
    RunResult result =
        run_shell("(sleep 0.3; " + command({"-v", "a.c"}) + " </dev/null; echo $? >" +
                  quote((root_ / "vq4-status").string()) + ") | true");
    EXPECT_EQ(read_file(root_ / "vq4-status"), "0\n");
    // The C library's launcher leaves its own two real-time signals (32 and
    // 33, which no program may use) ignored; every other one is default.
    EXPECT_EQ(read_file(root_ / "masks"), "SigBlk:\t0000000000000000\nSigIgn:\t0000000180000000\n");
    result = run_shell("(trap '' CHLD; exec " + command({"-q", "a.c"}) + ") </dev/null");
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_EQ(result.out, "");
}

TEST_F(FrontEnd, ACommandFileThatCannotBeOpenedIsPassedOnAndTheDriverKeepsItsStandardError) {
    if (std::string missing = second_user_missing(); !missing.empty())
        GTEST_SKIP() << missing;
    write("secret.cmd", "hidden.c\n");
    fs::permissions(work("secret.cmd"), fs::perms::none);
    for (const fs::path &dir : {root_, root_ / temp_, root_ / work_})
        fs::permissions(dir, fs::perms::all);
    std::ofstream(root_ / "record").close();
    fs::permissions(root_ / "record", fs::perms::all);
    RunResult result = run_shell(
        kAsNobody + command({"-q", "@secret.cmd", "a.c"}, {"VQ4_E2E_DRIVER_STDERR=oops"}) +
        " </dev/null");
    EXPECT_EQ(result.status, 0) << result.out << result.err;
    EXPECT_EQ(result.only().lines, (Lines{"-q", "@secret.cmd", "a.c"}));
    EXPECT_EQ(result.err, "oops\n");
    EXPECT_EQ(result.out, "");
}

TEST_F(FrontEnd, AMessageFileWhoseTextsTakeOtherArgumentsIsRejectedNotObeyed) {
    std::string rows;
    for (int i = 0; i < 30; ++i)
        rows += "908 E %s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s%s %d%n\n";
    write("20990101000000_en.msgs", rows);
    RunResult result = run({"a.c"}, {"VQ4_E2E_DRIVER_EXITS=2"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.runs.size(), 1u);
    EXPECT_NE(result.out.find("Malformed error information on line 10, in file"),
              std::string::npos);
    EXPECT_NE(result.out.find("20 more lines of malformed error information"), std::string::npos);
    EXPECT_NE(result.out.find("(908) exit status = 2\n"), std::string::npos) << result.out;
}

TEST_F(FrontEnd, TheExitHandlerRemovesOnlyItsOwnDirectoryNeverALinkPutInItsPlace) {
    E2E_POSIX_ONLY("the driver that plants the link is a shell script");
    // While the driver runs, "another user" of a shared TEMP moves the
    // private directory away and puts a link to their files in its place.
    fs::create_directories(root_ / "victim");
    std::ofstream(root_ / "victim" / "precious") << "keep me\n";
    fs::permissions(root_ / temp_, fs::perms::all);
    std::string t = quote((root_ / temp_).string()), away = quote((root_ / "away").string());
    install_script("lumc", "private=$(ls -d " + t + "/vq*); mv \"$private\" " + away +
                               " && ln -s " + quote((root_ / "victim").string()) + " \"$private\"");
    EXPECT_EQ(run({"-q"}).status, 0);
    EXPECT_EQ(read_file(root_ / "victim" / "precious"), "keep me\n");
    EXPECT_TRUE(fs::exists(root_ / "away"));
    for (const fs::directory_entry &planted : fs::directory_iterator(root_ / temp_)) {
        EXPECT_TRUE(fs::is_symlink(planted.symlink_status()));
        fs::remove(planted.path());
    }
}

TEST_F(FrontEnd, TheDebugOutFileIsNeverOpenedThroughALinkAnotherUserPlanted) {
    if (std::string missing = second_user_missing(); !missing.empty())
        GTEST_SKIP() << missing;
    std::ofstream(root_ / "victim") << "keep me\n";
    fs::permissions(root_ / work_, fs::perms::all | fs::perms::sticky_bit);
    ASSERT_EQ(
        std::system((kAsNobody + "ln -s ../victim " + quote(work("vq4-1.out").string())).c_str()),
        0);
    RunResult result = run({"--vqdebug=on", "a.c"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("(141) can't open debug-out file \"vq4-1.out\": Permission denied"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(read_file(root_ / "victim"), "keep me\n");
}

// While the driver runs the front end behaves as under system(): an
// interrupt is ignored (the terminal sends it to the driver too), a request
// to end is passed on to the driver; the front end ends once the driver has.
TEST_F(FrontEnd, SignalsToTheFrontEndWhileTheDriverRunsReachTheDriverAndEndTheRunCleanly) {
    E2E_POSIX_ONLY("console events reach every process of the console, there is no signal to "
                   "send to one");
    // The signal, the front end's status and how its output ends.
    const std::tuple<std::string, int, std::string> cases[] = {
        {"TERM", 1, "(908) exit status = 143\n"},
        {"HUP", 1, "(908) exit status = 129\n"},
        {"INT", 0, " ]\n"},
        {"QUIT", 0, " ]\n"},
    };
    for (const auto &[signal, status, out] : cases) {
        SCOPED_TRACE(signal);
        // The driver makes the marker once it runs and waits until it is
        // gone (a driver that got the signal is gone before that).
        // The front end runs without the timeout wrapper, so that the signal
        // reaches it directly, with the dispositions of a foreground program.
        std::string front = command({"a.c"}, {"VQ4_E2E_DRIVER_WAIT=" + work("running").string()});
        front.replace(0, front.find(" env ") + 4, "env --default-signal=INT,QUIT");
        RunResult result = run_shell(
            "{ " + front +
            " </dev/null & pid=$!; for i in $(seq 600); do [ -e running ] && break; sleep 0.05;"
            " done; kill -" +
            signal + " $pid; sleep 0.2; rm -f running; wait $pid; }");
        EXPECT_EQ(result.status, status);
        EXPECT_TRUE(result.out.ends_with(out)) << result.out;
    }
}

TEST_F(FrontEnd, TheFrontEndsVectorsLiveUntilTheEnd) {
    EXPECT_EQ(run({"--vqdebug=adt,out:trace.out", "-q", "--wubtoxna", "a.c"}).status, 0);
    std::string trace = read_text(work("trace.out"));
    const std::regex living("(frontend|vq4)\\.cpp:[0-9]+ +[0-9]+/[0-9]+ +([0-9]+)/");
    int rows = 0;
    for (std::sregex_iterator row(trace.begin(), trace.end(), living), end; row != end;
         ++row, ++rows)
        EXPECT_EQ((*row)[2], "0") << (*row)[0];
    EXPECT_GE(rows, 1) << trace;
}

} // namespace
