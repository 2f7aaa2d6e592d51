// End-to-end test of vq4kind: the built program runs as a process in a
// temporary directory holding a few files made here from bytes.
#include "e2e_support.h"

namespace {

TEST(Vq4Kind, PrintsEachFilesKindWithItsBitNamesAndItsUsage) {
    const fs::path dir = e2e::fresh_dir("vq4kind-");
    fs::create_directories(dir / "d.o");
    std::string image = std::string("\177ELF\1\1").append(46, '\0');
    image[18] = 83; // the LUM family's machine
    std::ofstream(dir / "out.elf", std::ios::binary) << image;
    std::ofstream(dir / "b.o", std::ios::binary) << std::string("\0\0\6", 3); // one END record
    std::ofstream(dir / "files.cmd") << "b.o d.o\n";
    // Arguments, exit status, output and how standard error starts.
    const std::tuple<std::string, int, std::string, std::string> runs[] = {
        {"main.c out.elf x.asm", 0,
         "main.c: 0x1203 SOURCE C TEXT MISSING\nout.elf: 0x400002000180 IMAGE BINARY ELF ELF_LUM\n"
         "x.asm: 0x401209 SOURCE ASM TEXT MISSING EXT_ASM\n",
         ""},
        {"@files.cmd none", 0,
         "b.o: 0x10020 OBJECT OBJ\nd.o: 0x20020 OBJECT OTHER_OBJ\nnone: 0x1000 MISSING\n", ""},
        {"--vqdebug=on,out:trace.out b.o", 0, "b.o: 0x10020 OBJECT OBJ\n", ""},
        {"--help main.c", 0, "Usage: vq4kind [--help] [--vqdebug=OPTIONS] FILE...\n", ""},
        {"", 1, "", "Usage: vq4kind"},
    };
    const std::string program = e2e::program_words(e2e::built("VQ4_E2E_KIND", VQ4_E2E_KIND));
    for (const auto &[args, status, out, err_start] : runs) {
        e2e::Outcome result = e2e::run_in(dir, program + " " + args + " </dev/null", dir);
        EXPECT_EQ(result.status, status) << args;
        EXPECT_EQ(args.starts_with("--help") ? result.out.substr(0, result.out.find('\n') + 1)
                                             : result.out,
                  out);
        EXPECT_TRUE(result.err.starts_with(err_start)) << result.err;
    }
    EXPECT_NE(e2e::read_text(dir / "trace.out").find("Identified file as an object file"),
              std::string::npos);
    fs::remove_all(dir);
}

} // namespace
