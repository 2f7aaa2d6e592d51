// vqdebug: the debug options, their regeneration for launched programs, the
// assertion level and the module's warnings. Trace output lives in
// vqdebug_trace.cpp, the debug package and program launch in
// vqdebug_package.cpp.
//
// The option table below is the whole grammar: its order decides which row
// an item matches (the first whose name is a case-insensitive prefix of the
// item) and the order of the regenerated options.
#include "common/alert.h"
#include "common/alert_numbers.h"
#include "common/hash.h"
#include "common/osdep.h"
#include "common/skiplist.h"
#include "common/stringcache.h"
#include "common/tally_table.h"
#include "common/vector.h"
#include "common/vqdebug_internal.h"
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <string>

uint32_t gDebugFlags = 0;
uint32_t gAssertLevel = 0;
FILE *gFile = nullptr;
const char *gFilePath = nullptr;
const char *gZipPath = nullptr;
uint32_t gNum = 1;
int gInDebugger = 0;
hash *gDebugNames = nullptr;
bool gDefaultOut = true;

namespace {

constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 0;
constexpr const char *kDefaultOutFormat = "vq4-%u.out";
constexpr const char *kDefaultPackage = "vq4_package.zip";
constexpr const char *kAssertWords[] = {"ignore", "fatal", "error", "warning"};

bool gOptionsParsed = false;
tally_table *gCalleeTally = nullptr;

struct db_option;
typedef void (*option_handler)(const char *arg);
typedef const char *(*option_generator)(uint32_t caller, const char *callee, const db_option *row);

struct db_option {
    uint32_t dbo_flags;
    const char *dbo_name;
    option_handler dbo_optHandler;
    option_generator dbo_optGenerator;
};

bool is_empty(const char *arg) {
    return arg == nullptr || *arg == '\0';
}

const char *default_out_name() {
    return sc_printf(kDefaultOutFormat, gNum);
}

// Opens path as the debug-out file; failure is fatal (message 141).
FILE *open_debug_out(const char *path, const char *mode) {
    FILE *fp = plat_fopen(path, mode);
    if (fp == nullptr)
        alert_msg_once_noline(MSG_CANT_OPEN_FILE, "debug-out", path);
    return fp;
}

// ---- Handlers ---------------------------------------------------------------

void handle_out(const char *arg) {
    if (is_empty(arg)) {
        db_warning("option \"out\", must have a filename argument");
        return;
    }
    gDefaultOut = false;
    if (gFilePath != nullptr)
        db_warning("debug-out file was set to \"%s\", resetting to \"%s\"", gFilePath, arg);
    const char *mode = "w";
    if (*arg == '+') {
        mode = "a";
        ++arg;
    }
    const char *path = sc_intern(arg);
    if (os_is_dir(path))
        path = sc_path_join(path, default_out_name());
    gFilePath = path;
    FILE *fp = open_debug_out(path, mode);
    if (fp == nullptr)
        return;
    if (gFile != nullptr)
        std::fclose(gFile);
    gFile = fp;
}

void handle_zip(const char *arg) {
    if (gZipPath != nullptr) {
        db_warning("Zip file already set to \"%s\", ignoring addtional zip options", gZipPath);
        return;
    }
    if (arg != nullptr && *arg == '+') {
        gZipPath = sc_intern(arg + 1);
        return;
    }
    const char *path = is_empty(arg) ? kDefaultPackage : arg;
    if (os_file_exists(path)) {
        db_warning("Package zip \"%s\" already exists and will be over-written", path);
        if (plat_remove(path) != 0)
            db_warning("Unable to remove \"%s\", it will be updated if possible", path);
    }
    gZipPath = sc_intern(path);
}

void handle_assert(const char *arg) {
    if (is_empty(arg)) {
        db_warning("option \"assert\", must have an argument");
        return;
    }
    const char *word = sc_lower(arg);
    for (uint32_t level = 0; level < std::size(kAssertWords); ++level) {
        if (std::strcmp(word, kAssertWords[level]) == 0) {
            gAssertLevel = level;
            return;
        }
    }
    db_warning("unknown argument (%s) given to assert option", word);
}

void handle_debug(const char *arg) {
    vec *names = arg != nullptr ? sc_split(arg, ":") : nullptr;
    if (vec_size(names) == 0) {
        db_warning("option \"debug\", must have at least one argument");
    } else {
        if (gDebugNames == nullptr)
            gDebugNames = hash_create(13, hash_string_nocase, sc_stricmp, __FILE__, __LINE__);
        for (uint32_t i = 0; i < vec_size(names); ++i) {
            auto *name = static_cast<const char *>(vec_get(names, i));
            hash_insert(gDebugNames, name, const_cast<char *>(name), __FILE__, __LINE__);
        }
    }
    vec_destroy(names);
}

void handle_num(const char *arg) {
    if (is_empty(arg)) {
        db_warning("option \"num\", must have an argument");
        return;
    }
    int value = std::atoi(arg);
    if (value < 1) {
        db_warning("\"num\" option must be a decimal integer > 0, using \"%u\"", gNum);
        return;
    }
    gNum = static_cast<uint32_t>(value);
}

// ---- Generators -------------------------------------------------------------

const char *gen_flag(uint32_t, const char *, const db_option *row) {
    return (row->dbo_flags & gDebugFlags) != 0 ? row->dbo_name : nullptr;
}

const char *gen_out(uint32_t, const char *, const db_option *row) {
    return gDefaultOut ? nullptr : sc_printf("%s:+%s", row->dbo_name, gFilePath);
}

const char *gen_zip(uint32_t, const char *, const db_option *row) {
    return gZipPath != nullptr ? sc_printf("%s:+%s", row->dbo_name, gZipPath) : nullptr;
}

const char *gen_assert(uint32_t, const char *, const db_option *) {
    if (gAssertLevel == 0 || gAssertLevel >= std::size(kAssertWords))
        return nullptr;
    return sc_concat("assert:", kAssertWords[gAssertLevel]);
}

// Whether a debugger name goes to a callee launched by this kind of caller:
// the front end run as "vq4-cc" keeps back the front end's own names ("vq4"
// but not "vq4-..."), the front end keeps back the drivers' names.
bool passes_on(uint32_t caller, const char *name) {
    if (caller == DBC_VQ4CC)
        return !sc_starts_with_nocase(name, "vq4") || name[3] == '-';
    if (caller == DBC_VQ4)
        return !sc_starts_with_nocase(name, "lumc");
    return true;
}

const char *gen_debug(uint32_t caller, const char *, const db_option *row) {
    if (gDebugNames == nullptr)
        return nullptr;
    vec *names = hash_keys(gDebugNames);
    std::string text = row->dbo_name;
    bool any = false;
    for (uint32_t i = 0; i < vec_size(names); ++i) {
        auto *name = static_cast<const char *>(vec_get(names, i));
        if (passes_on(caller, name)) {
            text.append(":").append(name);
            any = true;
        }
    }
    vec_destroy(names);
    return any ? sc_intern(text.c_str()) : nullptr;
}

const char *gen_num(uint32_t, const char *callee, const db_option *) {
    if (gDebugFlags == 0)
        return nullptr;
    if (gCalleeTally == nullptr)
        gCalleeTally = tally_create(13, 1, hash_string_nocase, sc_stricmp);
    return sc_printf("num:%u", tally_add(gCalleeTally, callee));
}

constexpr db_option kOptions[] = {
    {DB_FLAG_TRACE, "default", nullptr, gen_flag},
    {DB_FLAG_TRACE, "on", nullptr, gen_flag},
    {0, "out", handle_out, gen_out},
    {DB_FLAG_SDB, "sdb", nullptr, gen_flag},
    {DB_FLAG_DWARF, "dwarf", nullptr, gen_flag},
    {0, "zip", handle_zip, gen_zip},
    {DB_FLAG_ALERTS, "alerts", nullptr, gen_flag},
    {0, "assert", handle_assert, gen_assert},
    {0, "debug", handle_debug, gen_debug},
    {DB_FLAG_ADT, "adt", nullptr, gen_flag},
    {0, "num", handle_num, gen_num},
};

const db_option *find_option(const char *item) {
    for (const db_option &row : kOptions) {
        if (sc_starts_with_nocase(item, row.dbo_name))
            return &row;
    }
    return nullptr;
}

void apply_option(const char *item) {
    const db_option *row = find_option(item);
    if (row == nullptr) {
        db_warning("unknown option \"%s\"", item);
        return;
    }
    gDebugFlags |= row->dbo_flags;
    if (row->dbo_optHandler != nullptr) {
        const char *colon = std::strchr(item, ':');
        row->dbo_optHandler(colon != nullptr ? colon + 1 : nullptr);
    }
}

} // namespace

void db_parse_options(const char *optstr) {
    DB_ASSERT(optstr != nullptr, "optstr != NULL");
    if (optstr == nullptr)
        return;
    if (gOptionsParsed) {
        db_warning("Ignoring extra --vqdebug options");
        return;
    }
    gOptionsParsed = true;
    const char *equals = std::strchr(optstr, '=');
    vec *items = sc_split(equals != nullptr ? equals + 1 : optstr, ",");
    for (uint32_t i = 0; i < vec_size(items); ++i)
        apply_option(static_cast<const char *>(vec_get(items, i)));
    vec_destroy(items);
    if (gDebugFlags != 0 && gFile == nullptr) {
        gFilePath = default_out_name();
        gFile = open_debug_out(gFilePath, "w");
    }
    if ((gDebugFlags & DB_FLAG_ADT) != 0) {
        hash_track(true);
        skiplist_track(1);
        vec_track(true);
    }
}

const char *db_gen_options(uint32_t caller, const char *callee) {
    DB_ASSERT(caller == DBC_VQ4CC || caller == DBC_VQ4 || caller == DBC_DRIVER,
              "caller == DBC_VQ4CC || caller == DBC_VQ4 || caller == DBC_DRIVER");
    DB_ASSERT(callee != nullptr, "callee != NULL");
    if (caller > DBC_DRIVER || callee == nullptr)
        return nullptr;
    const char *name = sc_intern(callee);
    std::string joined;
    for (const db_option &row : kOptions) {
        const char *option = row.dbo_optGenerator(caller, name, &row);
        if (option == nullptr)
            continue;
        if (!joined.empty())
            joined += ',';
        joined += option;
    }
    return joined.empty() ? nullptr : sc_concat("--vqdebug=", joined.c_str());
}

void db_assert(const char *cond, const char *src, int line) {
    if (gAssertLevel >= 1 && gAssertLevel <= 3)
        alert_msg_noline(MSG_ASSERT_BASE - gAssertLevel, cond, src, line);
}

void db_warning(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const char *text = sc_vprintf(fmt, args);
    va_end(args);
    alert_print("VQDEBUG (warning): %s", text);
}

const char *db_version(void) {
    static const char *version = sc_printf("%d.%02d", kVersionMajor, kVersionMinor);
    return version;
}

void db_reset_for_testing(void) {
    if ((gDebugFlags & DB_FLAG_ADT) != 0) {
        hash_track(false);
        skiplist_track(0);
        vec_track(false);
    }
    if (gFile != nullptr)
        std::fclose(gFile);
    gFile = nullptr;
    gFilePath = nullptr;
    gZipPath = nullptr;
    gDebugFlags = 0;
    gAssertLevel = 0;
    gNum = 1;
    gInDebugger = 0;
    hash_destroy(gDebugNames);
    gDebugNames = nullptr;
    gDefaultOut = true;
    gOptionsParsed = false;
    tally_destroy(gCalleeTally);
    gCalleeTally = nullptr;
    db_reset_trace_state();
    db_reset_package_state();
}
