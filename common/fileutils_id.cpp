// fileutils: file identification. Owns the extension table, the content
// tests (ELF images, the intermediate-code marker, object records,
// libraries) and the remembered type of the last object record read. It
// only reads: it never writes a file, never reports to the user, opens only
// regular files and closes every stream it opens before it returns.
#include "common/fileutils.h"

#include "common/osdep.h"
#include "common/stringcache.h"
#include "common/vector.h"
#include "common/vqdebug.h"
#include "platform/platform.h"

#include <array>
#include <climits>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A stream that is closed when it goes out of scope.
struct StreamCloser {
    void operator()(FILE *stream) const { std::fclose(stream); }
};
using Stream = std::unique_ptr<FILE, StreamCloser>;

// Opens path only when it is a regular file; traces a failure.
Stream open_regular(const char *path, const char *mode) {
    Stream stream(plat_fopen_regular(path, mode));
    if (!stream)
        DB_TRACE("could not open \"%s\" as a regular file", path);
    return stream;
}

const char *shown(const char *text) {
    return text != nullptr ? text : "(null)";
}

// Runs body between the entry and exit records of func, which takes path.
template <typename Body> uint64_t traced(const char *func, const char *path, Body body) {
    DB_ENTER(func, "\"%s\"", shown(path));
    uint64_t result = body();
    DB_EXIT(func, "0x%llx", static_cast<unsigned long long>(result));
    return result;
}

// Runs test on stream between the entry and exit records of func; 1 when it
// passes, 0 when it fails or stream is null.
int traced_stream(const char *func, FILE *stream, bool (*test)(FILE *stream)) {
    DB_ENTER(func, nullptr);
    int passed = stream != nullptr && test(stream) ? 1 : 0;
    DB_EXIT(func, "%d", passed);
    return passed;
}

uint16_t le16(const uint8_t *bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t le32(const uint8_t *bytes) {
    return le16(bytes) | static_cast<uint32_t>(le16(bytes + 2)) << 16;
}

// True when count bytes could be read from stream into bytes.
bool read_exactly(FILE *stream, void *bytes, size_t count) {
    return std::fread(bytes, 1, count, stream) == count;
}

// ---- ELF images ----------------------------------------------------------------

constexpr char kElfMagic[] = "\177ELF";
constexpr size_t kElfHeaderBytes = 52;
constexpr size_t kElfClassOffset = 4;
constexpr size_t kElfMachineOffset = 18;
constexpr uint8_t kElfClass32 = 1;
constexpr uint64_t kElfImage = FILEID_IMAGE | FILEID_BINARY | FILEID_ELF;

struct ElfFamily {
    uint16_t machine;
    uint64_t bit;
    const char *name;
};

constexpr ElfFamily kElfFamilies[] = {
    {FILEID_MACHINE_LUM, FILEID_ELF_LUM, "LUM"},
    {FILEID_MACHINE_KESTA, FILEID_ELF_KESTA, "KESTA"},
    {FILEID_MACHINE_MORRA, FILEID_ELF_MORRA, "MORRA"},
    {FILEID_MACHINE_TOBRE, FILEID_ELF_TOBRE, "TOBRE"},
    {FILEID_MACHINE_SELKO, FILEID_ELF_SELKO, "SELKO"},
};

uint64_t elf_kind(const char *path) {
    Stream file = open_regular(path, "r");
    if (!file)
        return 0;
    uint8_t head[kElfHeaderBytes];
    if (!read_exactly(file.get(), head, sizeof head)) {
        DB_TRACE("file is shorter than an ELF header");
        return 0;
    }
    if (std::memcmp(head, kElfMagic, 4) != 0) {
        DB_TRACE("did not recognize ELF magic number");
        return 0;
    }
    if (head[kElfClassOffset] != kElfClass32) {
        DB_TRACE("not a 32-bit ELF file (class %d)", head[kElfClassOffset]);
        return 0;
    }
    uint16_t machine = le16(head + kElfMachineOffset);
    for (const ElfFamily &family : kElfFamilies) {
        if (family.machine == machine) {
            DB_TRACE("found %s ELF file", family.name);
            return kElfImage | family.bit;
        }
    }
    DB_TRACE("found ELF file of machine %d", machine);
    return kElfImage;
}

// ---- Intermediate code ---------------------------------------------------------------

constexpr std::string_view kP1Version = "Version";
constexpr std::string_view kP1Marker = "OR-VANT Software Intermediate Code";
constexpr size_t kP1Window = 60;
constexpr size_t kP1TooShort = kP1Version.size() + kP1Marker.size();

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool starts_with_p1_marker(std::string_view text) {
    if (text.size() <= kP1TooShort || !text.starts_with(kP1Version))
        return false;
    size_t at = kP1Version.size();
    while (at < text.size() && !is_letter(text[at]))
        ++at;
    return text.substr(at).starts_with(kP1Marker);
}

// True when the next bytes of stream (at most the window) hold the marker.
bool p1_marker_follows(FILE *stream) {
    char head[kP1Window];
    size_t got = std::fread(head, 1, sizeof head, stream);
    return starts_with_p1_marker(std::string_view(head, got));
}

// ---- Object records ------------------------------------------------------------------

constexpr size_t kRecordHeadBytes = 3;
constexpr const char *kRecordNames[] = {
    "TEXT",    "PSECT",    "RELOC",     "SYM",    "START",   "END",      "IDENT",      "XPSECT",
    "SEGMENT", "XSYM",     "SIGNAT",    "FNINFO", "FNCONF",  "SEGSTART", "PSECTLIM",   "LISTRELOC",
    "LR_TEXT", "LR_RELOC", "COND_EXPR", "DABS",   "Unknown", "FNALIGN",  "PSECTBOUND", "RECRANGE",
};
constexpr int kRecordTypes = static_cast<int>(std::size(kRecordNames));

uint8_t last_record_type = 0;

// Reads one record whole and remembers its type; false, with a trace line,
// when it is cut short, of an unknown type or too long.
bool read_record(FILE *stream) {
    uint8_t head[kRecordHeadBytes];
    if (!read_exactly(stream, head, sizeof head))
        return false;
    last_record_type = head[2];
    int type = head[2];
    uint32_t length = le16(head);
    if (type < 1 || type > kRecordTypes) {
        DB_TRACE("Unknown record type: %d", type);
        return false;
    }
    const char *name = kRecordNames[type - 1];
    if (length > FILEID_RECORD_MAX_BODY) {
        DB_TRACE("Record too long: \"%s\" (%d)", name, static_cast<int>(length));
        return false;
    }
    uint8_t body[FILEID_RECORD_MAX_BODY];
    if (!read_exactly(stream, body, length)) {
        DB_TRACE("Incomplete record: \"%s\" (%d)", name, static_cast<int>(length));
        return false;
    }
    return true;
}

constexpr uint64_t kNoLimit = UINT64_MAX;

// True when the records from stream's position end with an END record, each
// ending at or before the offset limit. A library's modules are read within
// their sizes: were a module's records allowed to run on into the modules
// after it, a library of many small modules before a long run of records
// would read that run once per module.
bool records_reach_end(FILE *stream, uint64_t limit) {
    while (getrec(stream) != 0) {
        long at = limit != kNoLimit ? std::ftell(stream) : 0;
        if (at < 0 || static_cast<uint64_t>(at) > limit) {
            DB_TRACE("module records run past the module's end");
            return false;
        }
        if (last_record_type == FILEID_RECORD_END)
            return true;
    }
    return false;
}

// ---- Libraries -------------------------------------------------------------------------

constexpr size_t kLibraryHeaderBytes = 4;
constexpr size_t kModuleHeaderBytes = 12;
constexpr uint64_t kModuleEntryExtra = 13; // the module header and the name's zero
constexpr uint64_t kSymbolEntryExtra = 2;  // the byte before the name and its zero

// fileid_is_library's results are these bits (3: both kinds).
enum LibraryContent { kNoModules = 0, kObjectModules = 1, kP1Modules = 2 };

// The next name of a library directory; null when it is absent or empty.
const char *directory_name(FILE *stream) {
    const char *name = getString(stream);
    if (name == nullptr || *name == '\0') {
        DB_TRACE("library directory ends early");
        return nullptr;
    }
    return name;
}

// Reads the library directory after the header: the size in bytes of each
// module, in order, and the directory's own size. False when it is cut
// short or malformed.
bool read_directory(FILE *stream, uint16_t modules, std::vector<uint32_t> &sizes,
                    uint64_t &directory) {
    directory = 0;
    for (uint16_t m = 0; m < modules; ++m) {
        uint8_t header[kModuleHeaderBytes];
        if (!read_exactly(stream, header, sizeof header)) {
            DB_TRACE("library module header %d is cut short", m);
            return false;
        }
        const char *name = directory_name(stream);
        if (name == nullptr)
            return false;
        DB_TRACE("Found module: \"%s\"", name);
        directory += kModuleEntryExtra + std::strlen(name);
        for (uint16_t s = le16(header + 2); s > 0; --s) {
            std::fgetc(stream);
            const char *symbol = directory_name(stream);
            if (symbol == nullptr)
                return false;
            directory += kSymbolEntryExtra + std::strlen(symbol);
        }
        sizes.push_back(le32(header + 4));
    }
    return true;
}

// Moves stream to offset from its start; false when that is impossible.
bool seek_to(FILE *stream, uint64_t offset) {
    return offset <= static_cast<uint64_t>(LONG_MAX) &&
           std::fseek(stream, static_cast<long>(offset), SEEK_SET) == 0;
}

// Tests the modules in order until both kinds have been seen.
int module_content(FILE *stream, const std::vector<uint32_t> &sizes, uint64_t directory) {
    bool objects = false, p1 = false;
    uint64_t start = kLibraryHeaderBytes + directory;
    for (uint32_t size : sizes) {
        if (!seek_to(stream, start))
            break;
        if (records_reach_end(stream, start + size))
            objects = true;
        else if (seek_to(stream, start) && fileid_is_p1_fp(stream))
            p1 = true;
        if (objects && p1)
            break;
        start += size;
    }
    return (objects ? kObjectModules : 0) | (p1 ? kP1Modules : 0);
}

void trace_library(int content) {
    constexpr const char *kVerdicts[] = {
        "library holds no recognised module",
        "Identified as a library containing obj files",
        "Identified as a library containing p1 files",
        "Identified as a library containing p1 and obj files",
    };
    DB_TRACE("%s", kVerdicts[content]);
}

int library_content(const char *path) {
    if (valid_ext(path, "lib:lpp:a") == nullptr)
        return kNoModules;
    Stream file = open_regular(path, "rb");
    if (!file)
        return kNoModules;
    uint8_t header[kLibraryHeaderBytes];
    if (!read_exactly(file.get(), header, sizeof header)) {
        DB_TRACE("library header is cut short");
        return kNoModules;
    }
    std::vector<uint32_t> sizes;
    uint64_t directory = 0;
    if (!read_directory(file.get(), le16(header + 2), sizes, directory))
        return kNoModules;
    int content = module_content(file.get(), sizes, directory);
    trace_library(content);
    return content;
}

// ---- Strings ---------------------------------------------------------------------------

constexpr size_t kStringLimit = 32000; // bytes, the terminating zero included

const char *read_string(FILE *stream) {
    std::string text;
    text.reserve(1000);
    for (int c; (c = std::fgetc(stream)) != EOF && c != 0;) {
        if (text.size() + 2 > kStringLimit) {
            DB_TRACE("expected string has exceeded reasonable length");
            return nullptr;
        }
        text.push_back(static_cast<char>(c));
    }
    return sc_intern_n(text.data(), static_cast<uint32_t>(text.size()));
}

// The entry of list equal to path's non-empty extension, or null.
const char *listed_extension(const char *path, const char *list) {
    const char *dot = os_path_ext(path);
    if (*dot == '\0' || dot[1] == '\0')
        return nullptr;
    vec *entries = sc_split(list, ",;:");
    const char *found = nullptr;
    for (uint32_t i = 0; i < vec_size(entries) && found == nullptr; ++i) {
        const auto *entry = static_cast<const char *>(vec_get(entries, i));
        if (std::strcmp(entry, dot + 1) == 0)
            found = entry;
    }
    vec_destroy(entries);
    return found;
}

// ---- Classification --------------------------------------------------------------------

// How an extension's kind is found.
enum class Rule : uint8_t {
    Fixed,    // value (those of "c" and "usb" hold FILEID_MISSING already)
    Library,  // by_library of the library test's result
    Elf,      // which_elf
    Object,   // an object in the record format, else another object
    P1Object, // intermediate code, else as Object
    P1OrScan, // intermediate code, else scan
};

struct ExtensionRow {
    const char *ext;
    Rule rule;
    uint64_t value = 0;
    std::array<uint64_t, 4> by_library{}; // indexed by fileid_is_library's result
};

constexpr uint64_t kP1File = 0x40240;
constexpr uint64_t kP1Object = 0x20060;
constexpr uint64_t kRecordObject = FILEID_OBJ | FILEID_OBJECT;
constexpr uint64_t kOtherObject = FILEID_OTHER_OBJ | FILEID_OBJECT;

// What scan reports for each result of the library test.
constexpr std::array<uint64_t, 4> kScannedLibrary = {0, 0x4010, 0x2010, 0x8010};

// The kinds by extension: fixed ones first.
constexpr ExtensionRow kExtensions[] = {
    {"as", Rule::Fixed, 0x200209},
    {"asm", Rule::Fixed, 0x400209},
    {"c", Rule::Fixed, 0x1203},
    {"cfgdata", Rule::Fixed, 0x40000600},
    {"cfgmap", Rule::Fixed, 0x20000600},
    {"cmf", Rule::Fixed, 0x80000600},
    {"cof", Rule::Fixed, 0x4000180},
    {"crf", Rule::Fixed, 0x8000000500},
    {"dep", Rule::Fixed, 0x400000600},
    {"dmp", Rule::Fixed, 0x40000000600},
    {"h", Rule::Fixed, 0x8000000000a00},
    {"hex", Rule::Fixed, 0x1000280},
    {"hxl", Rule::Fixed, 0x2000000600},
    {"i", Rule::Fixed, 0x100205},
    {"inc", Rule::Fixed, 0x800000209},
    {"ini", Rule::Fixed, 0x10000600},
    {"lkr", Rule::Fixed, 0x8000600},
    {"lst", Rule::Fixed, 0x10000000600},
    {"map", Rule::Fixed, 0x1000000600},
    {"pre", Rule::Fixed, 0x80205},
    {"rlf", Rule::Fixed, 0x20000000500},
    {"s", Rule::Fixed, 0x800209},
    {"S", Rule::Fixed, 0x400000020d},
    {"sdb", Rule::Fixed, 0x200000600},
    {"sx", Rule::Fixed, 0x400000020d},
    {"sym", Rule::Fixed, 0x100000600},
    {"usb", Rule::Fixed, 0x80000001203},
    {"vq4app", Rule::Fixed, 0x200000000180},
    {"xml", Rule::Fixed, 0x100000000200},
    // kinds found from the content
    {"a", Rule::Library, 0, {0x8010, 0x4010, 0x2010, 0x6010}},
    {"elf", Rule::Elf},
    {"lib", Rule::Library, 0, {0x4010, 0x4010, 0x2010, 0x4010}},
    {"lpp", Rule::Library, 0, {0x2010, 0x4010, 0x2010, 0x2010}},
    {"o", Rule::P1Object},
    {"obj", Rule::Object},
    {"p1", Rule::P1OrScan},
};

// Extensions match ignoring case, except that "s" and "S" are two kinds.
bool extension_matches(const char *row, const char *ext) {
    bool single_s = std::strcmp(row, "s") == 0 || std::strcmp(row, "S") == 0;
    return single_s ? std::strcmp(row, ext) == 0 : sc_stricmp(row, ext) == 0;
}

const ExtensionRow *find_extension(const char *path) {
    const char *dot = os_path_ext(path);
    if (*dot == '\0')
        return nullptr;
    for (const ExtensionRow &row : kExtensions) {
        if (extension_matches(row.ext, dot + 1))
            return &row;
    }
    return nullptr;
}

uint64_t object_kind(const char *path) {
    return fileid_is_obj(path) ? kRecordObject : kOtherObject;
}

uint64_t kind_by_rule(const ExtensionRow &row, const char *path) {
    switch (row.rule) {
    case Rule::Fixed:
        return row.value;
    case Rule::Library:
        return row.by_library[fileid_is_library(path)];
    case Rule::Elf:
        return which_elf(path);
    case Rule::Object:
        return object_kind(path);
    case Rule::P1Object:
        return fileid_is_p1(path) ? kP1Object : object_kind(path);
    case Rule::P1OrScan:
        return fileid_is_p1(path) ? kP1File : scan(path);
    }
    return 0;
}

uint64_t classify(const char *path) {
    if (path == nullptr)
        return 0;
    uint64_t missing = os_file_exists(path) ? 0 : FILEID_MISSING;
    const ExtensionRow *row = find_extension(path);
    if (row == nullptr)
        return scan(path) | missing;
    return kind_by_rule(*row, path) | missing;
}

uint64_t classify_content(const char *path) {
    if (fileid_is_p1(path))
        return FILEID_P1;
    if (fileid_is_obj(path))
        return kRecordObject;
    if (uint64_t elf = which_elf(path))
        return elf;
    if (uint64_t library = kScannedLibrary[fileid_is_library(path)])
        return library;
    DB_TRACE("did not recognize file");
    return 0;
}

// A content test of a named file: the extensions it requires, the mode it
// opens the file with, the test of the open stream and its trace on success.
struct FileTest {
    const char *extensions;
    const char *mode;
    int (*passes)(FILE *stream);
    const char *found;
};

int file_passes(const char *func, const char *path, const FileTest &test) {
    return static_cast<int>(traced(func, path, [&]() -> uint64_t {
        if (valid_ext(path, test.extensions) == nullptr)
            return 0;
        Stream file = open_regular(path, test.mode);
        if (!file || !test.passes(file.get()))
            return 0;
        DB_TRACE("%s", test.found);
        return 1;
    }));
}

// ---- Bit names -----------------------------------------------------------------------

struct BitName {
    uint64_t bit;
    const char *name;
};

constexpr BitName kBitNames[] = {
    {FILEID_SOURCE, "SOURCE"},
    {FILEID_C, "C"},
    {FILEID_PREPROC, "PREPROC"},
    {FILEID_ASM, "ASM"},
    {FILEID_LIBRARY, "LIBRARY"},
    {FILEID_OBJECT, "OBJECT"},
    {FILEID_P1, "P1"},
    {FILEID_IMAGE, "IMAGE"},
    {FILEID_BINARY, "BINARY"},
    {FILEID_TEXT, "TEXT"},
    {FILEID_AUX, "AUX"},
    {FILEID_HEADER, "HEADER"},
    {FILEID_MISSING, "MISSING"},
    {FILEID_LPP, "LPP"},
    {FILEID_LIB, "LIB"},
    {FILEID_ARCHIVE, "ARCHIVE"},
    {FILEID_OBJ, "OBJ"},
    {FILEID_OTHER_OBJ, "OTHER_OBJ"},
    {FILEID_EXT_P1, "EXT_P1"},
    {FILEID_EXT_PRE, "EXT_PRE"},
    {FILEID_EXT_I, "EXT_I"},
    {FILEID_EXT_AS, "EXT_AS"},
    {FILEID_EXT_ASM, "EXT_ASM"},
    {FILEID_EXT_S, "EXT_S"},
    {FILEID_EXT_HEX, "EXT_HEX"},
    {FILEID_ELF, "ELF"},
    {FILEID_EXT_COF, "EXT_COF"},
    {FILEID_EXT_LKR, "EXT_LKR"},
    {FILEID_EXT_INI, "EXT_INI"},
    {FILEID_EXT_CFGMAP, "EXT_CFGMAP"},
    {FILEID_EXT_CFGDATA, "EXT_CFGDATA"},
    {FILEID_EXT_CMF, "EXT_CMF"},
    {FILEID_EXT_SYM, "EXT_SYM"},
    {FILEID_EXT_SDB, "EXT_SDB"},
    {FILEID_EXT_DEP, "EXT_DEP"},
    {FILEID_EXT_INC, "EXT_INC"},
    {FILEID_EXT_MAP, "EXT_MAP"},
    {FILEID_EXT_HXL, "EXT_HXL"},
    {FILEID_EXT_SX, "EXT_SX"},
    {FILEID_EXT_CRF, "EXT_CRF"},
    {FILEID_EXT_LST, "EXT_LST"},
    {FILEID_EXT_RLF, "EXT_RLF"},
    {FILEID_EXT_DMP, "EXT_DMP"},
    {FILEID_EXT_USB, "EXT_USB"},
    {FILEID_EXT_XML, "EXT_XML"},
    {FILEID_EXT_VQ4APP, "EXT_VQ4APP"},
    {FILEID_ELF_LUM, "ELF_LUM"},
    {FILEID_ELF_KESTA, "ELF_KESTA"},
    {FILEID_ELF_MORRA, "ELF_MORRA"},
    {FILEID_ELF_TOBRE, "ELF_TOBRE"},
    {FILEID_ELF_SELKO, "ELF_SELKO"},
    {FILEID_EXT_H, "EXT_H"},
};

} // namespace

uint64_t fileid(const char *path) {
    return traced("fileid", path, [&] { return classify(path); });
}

uint64_t scan(const char *path) {
    return traced("scan", path, [&] { return path != nullptr ? classify_content(path) : 0; });
}

uint64_t which_elf(const char *path) {
    return traced("which_elf", path, [&] { return path != nullptr ? elf_kind(path) : 0; });
}

bool fileid_is_elf(const char *path) {
    return which_elf(path) != 0;
}

int fileid_is_p1(const char *path) {
    return file_passes("fileid_is_p1", path,
                       {"p1:o", "r", fileid_is_p1_fp, "file identified as a p1 file"});
}

int fileid_is_p1_fp(FILE *stream) {
    return traced_stream("fileid_is_p1_fp", stream, p1_marker_follows);
}

int fileid_is_obj(const char *path) {
    return file_passes("fileid_is_obj", path,
                       {"obj:o", "rb", fileid_is_obj_fp, "Identified file as an object file"});
}

int fileid_is_obj_fp(FILE *stream) {
    return traced_stream("fileid_is_obj_fp", stream,
                         [](FILE *records) { return records_reach_end(records, kNoLimit); });
}

int getrec(FILE *stream) {
    return traced_stream("getrec", stream, read_record);
}

uint8_t fileid_last_record_type(void) {
    return last_record_type;
}

int fileid_is_library(const char *path) {
    return static_cast<int>(traced("fileid_is_library", path, [&]() -> uint64_t {
        return path != nullptr ? library_content(path) : kNoModules;
    }));
}

const char *getString(FILE *stream) {
    DB_ENTER("getString", nullptr);
    const char *text = stream != nullptr ? read_string(stream) : nullptr;
    DB_EXIT("getString", "\"%s\"", shown(text));
    return text;
}

const char *valid_ext(const char *path, const char *list) {
    DB_ENTER("valid_ext", "\"%s\", \"%s\"", shown(path), shown(list));
    const char *found = path != nullptr && list != nullptr ? listed_extension(path, list) : nullptr;
    DB_EXIT("valid_ext", "\"%s\"", shown(found));
    return found;
}

bool fileid_is_asm_fid(uint64_t fid) {
    constexpr uint64_t kMask = 0x4000e0020d;
    switch (fid & kMask) {
    case 0x200209:
    case 0x400209:
    case 0x800209:
    case 0x400000020d:
        return true;
    default:
        return false;
    }
}

bool fileid_is_asm(const char *path) {
    return fileid_is_asm_fid(fileid(path));
}

uint64_t fileid_is_c_fid(uint64_t fid) {
    return fid & FILEID_C;
}

uint64_t fileid_is_c(const char *path) {
    return fileid_is_c_fid(fileid(path));
}

bool fileid_has(uint64_t fid, uint64_t mask) {
    return (fid & mask) == mask;
}

const char *fileid_bit_name(uint64_t bit) {
    for (const BitName &entry : kBitNames) {
        if (entry.bit == bit)
            return entry.name;
    }
    return nullptr;
}
