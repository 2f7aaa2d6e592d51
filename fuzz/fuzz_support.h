// Helpers shared by the fuzz targets: a property check that stops the run
// where libFuzzer can see it, a scratch directory that each target works in
// (so that nothing an input names can reach files outside it), and the
// input cut into pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace fuzz {

// A broken property is a finding: trap so that libFuzzer keeps the input.
inline void check(bool condition) {
    if (!condition)
        __builtin_trap();
}

inline std::string_view text_of(const uint8_t *data, size_t size) {
    return {reinterpret_cast<const char *>(data), size};
}

// The input cut at every separator (empty pieces kept).
inline std::vector<std::string> pieces(std::string_view text, char separator) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string_view::npos; start = at + 1)
        out.emplace_back(text.substr(start, at - start));
    out.emplace_back(text.substr(start));
    return out;
}

// A file of the scratch directory holding text (the run stops when it
// cannot be written).
inline void write_file(const char *name, std::string_view text) {
    FILE *f = std::fopen(name, "wb");
    check(f != nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

inline std::filesystem::path &scratch_path() {
    static std::filesystem::path path;
    return path;
}

// Removes the scratch directory when the run ends (a crash leaves it).
inline void remove_scratch_dir() {
    std::error_code ignored;
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
    std::filesystem::remove_all(scratch_path(), ignored);
}

// A fresh directory of this process, made the current directory once; every
// relative name an input uses lands in it.
inline const std::filesystem::path &scratch_dir(const char *target) {
    if (scratch_path().empty()) {
        scratch_path() = std::filesystem::temp_directory_path() /
                         (std::string("vq4-fuzz-") + target + "-" + std::to_string(plat_getpid()));
        std::filesystem::create_directories(scratch_path());
        std::filesystem::current_path(scratch_path());
        std::atexit(remove_scratch_dir);
    }
    return scratch_path();
}

// Removes everything an input left in the scratch directory.
inline void empty_scratch_dir(const std::filesystem::path &dir) {
    std::error_code ignored;
    for (const auto &entry : std::filesystem::directory_iterator(dir, ignored))
        std::filesystem::remove_all(entry.path(), ignored);
}

// True when an input could name a file outside the scratch directory: an
// absolute or parent path in either separator.
inline bool names_outside(std::string_view text) {
    return text.find('/') != std::string_view::npos || text.find('\\') != std::string_view::npos ||
           text.find("..") != std::string_view::npos;
}

} // namespace fuzz
