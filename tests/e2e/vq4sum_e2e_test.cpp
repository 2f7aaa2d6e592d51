// End-to-end test of vq4sum: the built program writes the checksum list of
// a small tree, checks it, notices a changed file and a missing one, and
// explains itself with --help.
#include "e2e_support.h"

namespace {

TEST(Vq4Sum, WritesAndChecksAListOfATree) {
    const fs::path dir = e2e::fresh_dir("vq4sum_e2e_");
    // Runs vq4sum with args (already quoted for the shell) inside dir.
    const std::string program = e2e::program_words(e2e::built("VQ4_E2E_SUM", VQ4_E2E_SUM));
    auto vq4sum = [&](const std::string &args) {
        return e2e::run_in(dir, program + " " + args + " </dev/null", dir);
    };
    fs::create_directories(dir / "tree" / "sub");
    std::ofstream(dir / "tree" / "a.c") << "int a;\n";
    std::ofstream(dir / "tree" / "sub" / "b.h") << "extern int a;\n";

    e2e::Outcome help = vq4sum("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("vq4sum --write DIR LIST"), std::string::npos) << help.out;
    EXPECT_EQ(vq4sum("--bogus").status, 2);

    e2e::Outcome write = vq4sum("--write tree list.sha");
    EXPECT_EQ(write.status, 0) << write.err;
    std::string list = e2e::read_text(dir / "list.sha");
    EXPECT_NE(list.find(" *tree\\a.c\n"), std::string::npos) << list;
    EXPECT_NE(list.find(" *tree\\sub\\b.h\n"), std::string::npos) << list;

    e2e::Outcome check = vq4sum("--check list.sha");
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_NE(check.out.find("tree\\sub\\b.h: OK\n"), std::string::npos) << check.out;

    std::ofstream(dir / "tree" / "a.c", std::ios::app) << "int b;\n";
    fs::remove(dir / "tree" / "sub" / "b.h");
    check = vq4sum("--check list.sha");
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("tree\\a.c: FAILED\n"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("tree\\sub\\b.h: FAILED\n"), std::string::npos) << check.out;
    EXPECT_EQ(check.err, "vq4sum: 2 of 2 files FAILED\n");
    EXPECT_EQ(vq4sum("--check missing.sha").status, 1);
    fs::remove_all(dir);
}

} // namespace
