// vqdebug: the suite's debugging switches and trace output.
//
// Every module writes its trace into one debug-out file, gFile, through the
// operations here. When no debug-out file is open these operations write
// nothing. This header grows with the module; for now it holds the state
// and the plain writers that the container reports use.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>

#ifdef __cplusplus
extern "C" {
#endif

// OR of the flags of all debug options given: 1 trace, 2 sdb, 4 dwarf,
// 8 alerts, 16 adt (container master lists).
extern uint32_t gDebugFlags;
// The open debug-out stream, or null.
extern FILE *gFile;

// Writes the text and a line feed, without prefix. Nothing when no
// debug-out file is open.
void db_puts(const char *text);
// Writes the formatted text and a line feed, without prefix. Nothing when no
// debug-out file is open.
void db_printf(const char *fmt, ...);
void db_vprintf(const char *fmt, va_list args);

#ifdef __cplusplus
}
#endif
