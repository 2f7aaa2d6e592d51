// End-to-end test of vq4sum: the built program writes the checksum list of
// a small tree, checks it, notices a changed file and a missing one, and
// explains itself with --help.
#include "e2e_support.h"

namespace {

using e2e::read_text;

struct Outcome {
    int status;
    std::string out, err;
};

// Runs vq4sum with args (already quoted for the shell) inside dir.
Outcome vq4sum(const fs::path &dir, const std::string &args) {
    std::string command = "cd " + e2e::quote(dir.string()) + " && " +
                          e2e::program_words(e2e::built("VQ4_E2E_SUM", VQ4_E2E_SUM)) + " " + args +
                          " </dev/null >out.txt 2>err.txt; echo $? >status";
    EXPECT_NE(std::system(command.c_str()), -1);
    return {std::stoi(e2e::read_file(dir / "status")), read_text(dir / "out.txt"),
            read_text(dir / "err.txt")};
}

TEST(Vq4Sum, WritesAndChecksAListOfATree) {
    fs::path dir =
        fs::temp_directory_path() / ("vq4sum_e2e_" + std::to_string(std::random_device()()));
    fs::create_directories(dir / "tree" / "sub");
    std::ofstream(dir / "tree" / "a.c") << "int a;\n";
    std::ofstream(dir / "tree" / "sub" / "b.h") << "extern int a;\n";

    Outcome help = vq4sum(dir, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("vq4sum --write DIR LIST"), std::string::npos) << help.out;
    EXPECT_EQ(vq4sum(dir, "--bogus").status, 2);

    Outcome write = vq4sum(dir, "--write tree list.sha");
    EXPECT_EQ(write.status, 0) << write.err;
    std::string list = read_text(dir / "list.sha");
    EXPECT_NE(list.find(" *tree\\a.c\n"), std::string::npos) << list;
    EXPECT_NE(list.find(" *tree\\sub\\b.h\n"), std::string::npos) << list;

    Outcome check = vq4sum(dir, "--check list.sha");
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_NE(check.out.find("tree\\sub\\b.h: OK\n"), std::string::npos) << check.out;

    std::ofstream(dir / "tree" / "a.c", std::ios::app) << "int b;\n";
    fs::remove(dir / "tree" / "sub" / "b.h");
    check = vq4sum(dir, "--check list.sha");
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("tree\\a.c: FAILED\n"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("tree\\sub\\b.h: FAILED\n"), std::string::npos) << check.out;
    EXPECT_EQ(check.err, "vq4sum: 2 of 2 files FAILED\n");
    EXPECT_EQ(vq4sum(dir, "--check missing.sha").status, 1);
    fs::remove_all(dir);
}

} // namespace
