// The capture of what a call writes into the debug-out file, shared by the
// tests of every module that reports or traces there.
#pragma once

#include "common/vqdebug.h"

#include <cstdint>
#include <cstdio>
#include <string>

// Runs f with gDebugFlags set to flags (unchanged by default) and the
// debug-out stream pointed at a temporary file; returns what f wrote there.
// The previous stream and flags are put back.
template <typename F> std::string debug_out_of(F f, uint32_t flags = gDebugFlags) {
    FILE *out = std::tmpfile(), *saved = gFile;
    uint32_t saved_flags = gDebugFlags;
    gFile = out;
    gDebugFlags = flags;
    f();
    gDebugFlags = saved_flags;
    gFile = saved;
    std::string text(std::ftell(out), '\0');
    std::rewind(out);
    text.resize(std::fread(text.data(), 1, text.size(), out));
    std::fclose(out);
    return text;
}
