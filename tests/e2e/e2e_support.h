// Helpers of the end-to-end tests: a temporary installation
// (vq4/v9.9/bin/vq4, drivers in vq4/v9.9/lum/bin) with TEMP pointing at an
// empty directory, whose drivers are the recording driver, which writes
// what it received into a record file, or the stand-in driver; and the
// runs of installed programs as shell commands.
//
// The same tests check the programs of a Windows build: the harness stays a
// host program, and the environment names the Windows programs and the
// script that runs them under Wine (see program_words). Their output is
// then text as Windows writes it, read back here with "\r\n" as "\n", and
// the paths they print are on Wine's drive Z:, the host's root.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace e2e {

using Lines = std::vector<std::string>;

inline std::string read_file(const fs::path &path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// Whether the programs under test are Windows programs run under Wine.
inline bool windows() {
    return std::getenv("VQ4_E2E_WINE") != nullptr;
}

// The file name suffix of the programs under test (".exe" on Windows).
inline std::string exe() {
    return windows() ? ".exe" : "";
}

// The program under test that variable names in the environment, otherwise
// the one the build compiled in.
inline std::string built(const char *variable, const char *compiled) {
    const char *named = std::getenv(variable);
    return named != nullptr ? named : compiled;
}

// Text a program wrote, as its host writes text: Windows line ends are read
// as '\n'.
inline std::string read_text(const fs::path &path) {
    std::string text = read_file(path);
    for (size_t at = text.find("\r\n"); windows() && at != std::string::npos;
         at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

// Skips a test of behaviour only a POSIX host has when the programs under
// test are Windows ones.
#define E2E_POSIX_ONLY(why)                                                                        \
    do {                                                                                           \
        if (e2e::windows())                                                                        \
            GTEST_SKIP() << "not on Windows: " << (why);                                           \
    } while (0)

// Quotes text for the POSIX shell that runs the front end.
inline std::string quote(const std::string &text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Backslashes read as separators, as the suite's paths allow; paths on
// Wine's drive Z: are the host paths below the root.
inline std::string slashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    for (size_t at = path.find("Z:/"); windows() && at != std::string::npos; at = path.find("Z:/"))
        path.erase(at, 2);
    return path;
}

// The shell words that start program: the path, quoted, after the script
// that runs a Windows program under Wine when the programs are Windows ones.
inline std::string program_words(const std::string &program) {
    if (!windows())
        return quote(program);
    return quote(std::getenv("VQ4_E2E_WINE")) + " " + quote(built("VQ4_E2E_WINE_PREFIX", "wine")) +
           " " + quote(program);
}

// What a shell command run by run_in wrote and its exit status.
struct Outcome {
    std::string out, err;
    int status = -1;
};

// Runs a shell command in dir, its standard output, error and exit status
// kept in files in results.
inline Outcome run_in(const fs::path &dir, const std::string &command, const fs::path &results) {
    std::string r = quote(results.string());
    std::string script = "cd " + quote(dir.string()) + " && " + command + " >" + r + "/out 2>" + r +
                         "/err; echo $? >" + r + "/status";
    EXPECT_NE(std::system(script.c_str()), -1);
    return {read_text(results / "out"), read_text(results / "err"),
            std::stoi(read_file(results / "status"))};
}

// A new empty directory for a test, named stem and a random number.
inline fs::path fresh_dir(const std::string &stem) {
    fs::path dir = fs::temp_directory_path() / (stem + std::to_string(std::random_device()()));
    fs::create_directories(dir);
    return dir;
}

// The installation, for the harnesses built with the front end and the
// recording driver.
#ifdef VQ4_E2E_FRONTEND

// One driver run as the recording driver wrote it down.
struct DriverRun {
    std::string name;
    Lines lines{};  // raw command-file lines
    Lines parsed{}; // after the suite's argument reader
};

struct RunResult : Outcome {
    std::vector<DriverRun> runs{};
    // The single driver run of a run that expects exactly one.
    DriverRun only() const {
        EXPECT_EQ(runs.size(), 1u);
        return runs.empty() ? DriverRun{} : runs.front();
    }
};

// A fresh installation per test, removed afterwards; the private temporary
// directories of its programs must be gone by then.
class Installation : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const fs::path &dir : {bin_, temp_, work_, fs::path("vq4/v9.9/bin")})
            fs::create_directories(root_ / dir);
        fs::copy_file(built("VQ4_E2E_FRONTEND", VQ4_E2E_FRONTEND),
                      root_ / ("vq4/v9.9/bin/vq4" + exe()));
        install_drivers(built("VQ4_E2E_RECORDER", VQ4_E2E_RECORDER));
    }

    void TearDown() override {
        EXPECT_TRUE(fs::is_empty(root_ / temp_)) << "the private temporary directory was left";
        fs::remove_all(root_);
    }

    void install_drivers(const std::string &program) {
        for (const char *name : {"lumc", "lumc18", "lumcd", "lumc18d"})
            fs::copy_file(program, root_ / bin_ / (name + exe()),
                          fs::copy_options::overwrite_existing);
    }

    // The shell command that runs the installed program_ (a name in the
    // version directory's bin) with args, without TMP and with TEMP, the
    // record file and the extra env assignments set.
    std::string command(const Lines &args, Lines words = {}) const {
        words.insert(words.begin(), {"TEMP=" + (root_ / temp_).string(),
                                     "VQ4_E2E_RECORD=" + (root_ / "record").string()});
        std::string command = "timeout --foreground 60 env -u TMP";
        for (const std::string &word : words)
            command += " " + quote(word);
        command += " " + program_words((root_ / "vq4/v9.9/bin" / program_).string() + exe());
        for (const std::string &arg : args)
            command += " " + quote(arg);
        return command;
    }

    // Runs a shell command in the work directory and collects what it
    // wrote, its exit status and the driver runs recorded.
    RunResult run_shell(const std::string &command) {
        fs::remove(root_ / "record");
        RunResult result{run_in(root_ / work_, command, root_)};
        std::istringstream record(read_text(root_ / "record"));
        for (std::string line; std::getline(record, line);) {
            std::string kind = line.substr(0, line.find(' ')), rest = line.substr(kind.size() + 1);
            if (kind == "run")
                result.runs.push_back(DriverRun{rest});
            else
                (kind == "line" ? result.runs.back().lines : result.runs.back().parsed)
                    .push_back(rest);
        }
        return result;
    }

    // Runs the program with args and env assignments, without standard input.
    RunResult run(const Lines &args, const Lines &env = {}) {
        return run_shell(command(args, env) + " </dev/null");
    }

    // Installs a shell script as the driver of that name.
    void install_script(const std::string &name, const std::string &script) {
        std::ofstream(root_ / bin_ / name) << "#!/bin/sh\n" << script << "\n";
        fs::permissions(root_ / bin_ / name, fs::perms::owner_all, fs::perm_options::add);
    }

    void write(const std::string &name, const std::string &text) {
        std::ofstream(work(name), std::ios::binary) << text;
    }
    fs::path work(const std::string &name) const { return root_ / work_ / name; }

    const fs::path root_ = fresh_dir("vq4-e2e-");
    const fs::path bin_ = "vq4/v9.9/lum/bin", temp_ = "temp", work_ = "work";
    const char *program_ = "vq4"; // the program under test
};

#endif // VQ4_E2E_FRONTEND

} // namespace e2e
