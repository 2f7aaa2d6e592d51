// Helpers of the end-to-end tests: a temporary installation
// (vq4/v9.9/bin/vq4, drivers in vq4/v9.9/lum/bin) with TEMP pointing at an
// empty directory, whose drivers are the recording driver, which writes
// what it received into a record file, or the stand-in driver; and the
// runs of installed programs as shell commands.
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

// Quotes text for the POSIX shell that runs the front end.
inline std::string quote(const std::string &text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Backslashes read as separators, as the suite's paths allow.
inline std::string slashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// One driver run as the recording driver wrote it down.
struct DriverRun {
    std::string name;
    Lines lines{};  // raw command-file lines
    Lines parsed{}; // after the suite's argument reader
};

struct RunResult {
    std::string out, err;
    int status = -1;
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
        for (const fs::path &dir : {bin_, temp_, work_, fs::path("vq4/v9.9/bin")}) {
            fs::create_directories(root_ / dir);
        }
        fs::copy_file(VQ4_E2E_FRONTEND, root_ / "vq4/v9.9/bin/vq4");
        install_drivers(VQ4_E2E_RECORDER);
    }

    void TearDown() override {
        EXPECT_TRUE(fs::is_empty(root_ / temp_)) << "the private temporary directory was left";
        fs::remove_all(root_);
    }

    void install_drivers(const char *program) {
        for (const char *name : {"lumc", "lumc18", "lumcd", "lumc18d"}) {
            fs::copy_file(program, root_ / bin_ / name, fs::copy_options::overwrite_existing);
        }
    }

    // The shell command that runs the installed program (a name in the
    // version directory's bin) with args, without TMP and with TEMP, the
    // record file and the extra env assignments set.
    std::string command(const char *program, const Lines &args, Lines words = {}) const {
        words.insert(words.begin(), {"TEMP=" + (root_ / temp_).string(),
                                     "VQ4_E2E_RECORD=" + (root_ / "record").string()});
        words.push_back((root_ / "vq4/v9.9/bin" / program).string());
        words.insert(words.end(), args.begin(), args.end());
        std::string command = "timeout --foreground 60 env -u TMP";
        for (const std::string &word : words) {
            command += " " + quote(word);
        }
        return command;
    }

    // Runs a shell command in the work directory and collects what it
    // wrote, its exit status and the driver runs recorded.
    RunResult run_shell(const std::string &command) {
        fs::remove(root_ / "record");
        std::string r = quote(root_.string());
        std::string script = "cd " + r + "/work && " + command + " >" + r + "/out 2>" + r +
                             "/err; echo $? >" + r + "/status";
        EXPECT_NE(std::system(script.c_str()), -1);
        RunResult result{read_file(root_ / "out"), read_file(root_ / "err")};
        result.status = std::stoi(read_file(root_ / "status"));
        std::istringstream record(read_file(root_ / "record"));
        for (std::string line; std::getline(record, line);) {
            std::string kind = line.substr(0, line.find(' ')), rest = line.substr(kind.size() + 1);
            if (kind == "run") {
                result.runs.push_back(DriverRun{rest});
            } else {
                (kind == "line" ? result.runs.back().lines : result.runs.back().parsed)
                    .push_back(rest);
            }
        }
        return result;
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

    const fs::path root_ =
        fs::temp_directory_path() / ("vq4-e2e-" + std::to_string(std::random_device()()));
    const fs::path bin_ = "vq4/v9.9/lum/bin", temp_ = "temp", work_ = "work";
};

} // namespace e2e
