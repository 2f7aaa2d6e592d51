// uxml2: reads XML documents into element trees and writes trees back.
//
// Owns the element and attribute records and the strings in them. Never
// reports a message (a document it cannot read gives null) and never
// recurses over a tree: reading, writing and freeing keep explicit stacks,
// so a document nested a million levels deep costs memory, not stack.
#include "common/uxml2.h"

#include "common/alert.h"
#include "common/alert_numbers.h"
#include "common/stringcache.h"
#include "common/vqdebug.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// The name and the text (or value) that both records begin with.
struct uxml_named {
    char *name;
    char *text;
};

struct uxml_element {
    uxml_named head;
    vec *children;
    vec *attributes;
};

struct uxml_attribute {
    uxml_named head;
};

namespace {

// Every empty text and value points here, so that the many elements
// without text cost no allocation; it is never written and never freed.
char empty_text[1] = {0};

// A heap copy of the n characters at s (empty_text when n is 0).
char *copy_text(const char *s, size_t n) {
    if (n == 0)
        return empty_text;
    if (n >= UINT32_MAX)
        alert_msg(MSG_OUT_OF_MEMORY);
    auto *copy = static_cast<char *>(must_alloc(static_cast<uint32_t>(n + 1)));
    std::memcpy(copy, s, n);
    return copy;
}

char *copy_text(const char *s) {
    return s == nullptr ? empty_text : copy_text(s, std::strlen(s));
}

void free_text(char *s) {
    if (s != empty_text)
        std::free(s);
}

// Stores a copy of text (null counts as empty) in *slot, freeing the old one.
void replace_text(char **slot, const char *text) {
    char *copy = copy_text(text);
    free_text(*slot);
    *slot = copy;
}

uxml_named *named(void *record) {
    return static_cast<uxml_named *>(record);
}

// isspace in the C locale.
bool is_space(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

uxml_element *new_element(const char *name, size_t length) {
    auto *element = static_cast<uxml_element *>(must_alloc(sizeof(uxml_element)));
    element->head.name = copy_text(name, length);
    element->head.text = empty_text;
    element->children = vec_create(__FILE__, __LINE__);
    element->attributes = vec_create(__FILE__, __LINE__);
    return element;
}

uxml_attribute *new_attribute(const char *name, size_t length) {
    auto *attribute = static_cast<uxml_attribute *>(must_alloc(sizeof(uxml_attribute)));
    attribute->head.name = copy_text(name, length);
    attribute->head.text = empty_text;
    return attribute;
}

template <typename T> T *item(const vec *items, uint32_t index) {
    return static_cast<T *>(vec_get(items, index));
}

// Frees root and every element below it, and their attribute records when
// asked to.
void free_tree(uxml_element *root, bool with_attributes) {
    if (root == nullptr)
        return;
    std::vector<uxml_element *> pending{root};
    while (!pending.empty()) {
        uxml_element *element = pending.back();
        pending.pop_back();
        for (uint32_t i = 0; i < vec_size(element->children); ++i)
            pending.push_back(item<uxml_element>(element->children, i));
        if (with_attributes) {
            for (uint32_t i = 0; i < vec_size(element->attributes); ++i)
                uxml_attribute_free(item<uxml_attribute>(element->attributes, i));
        }
        uxml_element_free(element);
    }
}

// ---- Reading characters ------------------------------------------------------

constexpr int kEnd = -1;           // end of input
constexpr int kNothing = -2;       // no character pushed back
constexpr int kFromEntity = 0x100; // marks a character an entity stands for
// The reader's block lives on the stack: a heap block as large would make
// the allocator merge the small blocks freed by the previous document's
// tree on every read.
constexpr size_t kBlock = 16 * 1024;
constexpr size_t kFirstLineMax = 255;
constexpr size_t kEntityMax = 10;
constexpr std::string_view kDeclarationStart = "<?xml version=\"1.";

struct Entity {
    std::string_view name;
    char character;
};
constexpr std::array<Entity, 5> kEntities = {{
    {"gt", '>'},
    {"lt", '<'},
    {"quot", '"'},
    {"amp", '&'},
    {"apos", '\''},
}};
constexpr char kUnknownEntity = '~';

// The character source of the reader: the stream's bytes through a block
// buffer of its own (one fread per block, no lock per character), with
// comments skipped, entities decoded and one character of push-back.
//
// peek() and take() give a byte (0-255) that is markup or data as it
// stands, kEnd at the end of input, or, from take() only, a byte that an
// entity stood for with kFromEntity added, which callers store as data but
// never mistake for markup.
class Reader {
  public:
    explicit Reader(FILE *stream) : stream_(stream) {}

    // Reads the first line (at most kFirstLineMax characters, up to and
    // with its line feed); true when it begins with the declaration.
    bool declaration() {
        std::array<char, kFirstLineMax> line;
        size_t length = 0;
        while (length < line.size()) {
            int c = byte();
            if (c == kEnd)
                break;
            line[length++] = static_cast<char>(c);
            if (c == '\n')
                break;
        }
        return std::string_view(line.data(), length).starts_with(kDeclarationStart);
    }

    // The next character, which stays pushed back; '&' stays undecoded.
    int peek() {
        if (pending_ == kNothing)
            pending_ = markup();
        return pending_;
    }

    // The next character, consumed; '&' and its entity become one character.
    int take() {
        int c = pending_;
        if (c == kNothing)
            c = markup();
        else
            pending_ = kNothing;
        return c == '&' ? entity() : c;
    }

    // Appends to out the bytes ahead up to the first that stop accepts, as
    // far as the block holds them: a fast path for plain bytes, which take()
    // would give unchanged. Nothing while a character is pushed back.
    template <typename Stop> void copy_plain(std::string &out, Stop stop) {
        if (pending_ != kNothing)
            return;
        size_t start = pos_;
        while (pos_ < end_ && block_[pos_] != 0 && !stop(block_[pos_]))
            ++pos_;
        out.append(reinterpret_cast<const char *>(block_.data()) + start, pos_ - start);
    }

  private:
    // A zero byte cannot stand in a document, nor in the strings a tree
    // holds: it ends the input there, so a document cut short by one is
    // refused instead of read with its names and texts cut.
    int byte() {
        if (pos_ >= end_ && !fill(1))
            return kEnd;
        return block_[pos_] == 0 ? kEnd : block_[pos_++];
    }

    // Makes at least n unread bytes available if the input still has them.
    bool fill(size_t n) {
        if (end_ - pos_ >= n)
            return true;
        std::memmove(block_.data(), block_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
        while (end_ < n && !drained_) {
            size_t got = std::fread(block_.data() + end_, 1, kBlock - end_, stream_);
            drained_ = got == 0;
            end_ += got;
        }
        return end_ >= n;
    }

    // The next byte with every comment before it skipped.
    int markup() {
        for (;;) {
            int c = byte();
            if (c != '<' || !comment_opens())
                return c;
            if (!skip_comment())
                return kEnd;
        }
    }

    // After '<': consumes "!--" when it follows.
    bool comment_opens() {
        if (!fill(3) || block_[pos_] != '!' || block_[pos_ + 1] != '-' || block_[pos_ + 2] != '-')
            return false;
        pos_ += 3;
        return true;
    }

    // Skips the rest of a comment, through "-->"; false at the end of input.
    bool skip_comment() {
        int dashes = 0;
        for (;;) {
            int c = byte();
            if (c == kEnd)
                return false;
            if (c == '>' && dashes >= 2)
                return true;
            dashes = c == '-' ? dashes + 1 : 0;
        }
    }

    // After '&': up to kEntityMax bytes, the last one ';' unless the entity
    // is cut off by that limit.
    int entity() {
        std::array<char, kEntityMax> name;
        size_t length = 0;
        for (size_t read = 0; read < kEntityMax; ++read) {
            int c = byte();
            if (c == kEnd)
                return kEnd;
            if (c == ';')
                break;
            name[length++] = static_cast<char>(c);
        }
        std::string_view text(name.data(), length);
        for (const Entity &e : kEntities) {
            if (e.name == text)
                return kFromEntity | static_cast<unsigned char>(e.character);
        }
        return kFromEntity | kUnknownEntity;
    }

    FILE *stream_;
    std::array<unsigned char, kBlock> block_;
    size_t pos_ = 0;
    size_t end_ = 0;
    bool drained_ = false;
    int pending_ = kNothing;
};

// ---- Reading a document ------------------------------------------------------

// The bytes that take() may turn into something else: a comment or markup,
// and an entity.
bool is_special(int c) {
    return c == '<' || c == '&';
}

// The characters that end a name when they follow it.
bool ends_name(int c) {
    return is_space(c) || c == '=' || c == '>' || c == '/';
}

char data_byte(int c) {
    return static_cast<char>(c & 0xFF);
}

class DocumentReader {
  public:
    explicit DocumentReader(FILE *stream) : in_(stream) {}

    uxml_element *read() {
        if (!in_.declaration() || in_.peek() != '<')
            return nullptr;
        in_.take();
        uxml_element *root = nullptr;
        Tag tag = read_tag(&root);
        if (tag == Tag::Failed)
            return nullptr;
        if (tag == Tag::Open && !read_contents(root)) {
            uxml_document_free(root);
            return nullptr;
        }
        return root;
    }

  private:
    enum class Tag { Failed, Empty, Open };

    // An element still open, and where its text starts in text_.
    struct OpenElement {
        uxml_element *element;
        size_t text_start;
    };

    void skip_space() {
        while (is_space(in_.peek()))
            in_.take();
    }

    // Gathers a name into name_; false when it is empty.
    bool read_name() {
        name_.clear();
        skip_space();
        for (;;) {
            in_.copy_plain(name_, [](unsigned char b) { return ends_name(b) || is_special(b); });
            int c = in_.peek();
            if (c == kEnd || ends_name(c))
                break;
            c = in_.take();
            if (c == kEnd)
                break;
            name_ += data_byte(c);
        }
        return !name_.empty();
    }

    // After '<': the name and the attributes, through '>' (Open) or "/>"
    // (Empty). On failure nothing is left allocated.
    Tag read_tag(uxml_element **out) {
        if (!read_name())
            return Tag::Failed;
        uxml_element *element = new_element(name_.data(), name_.size());
        for (;;) {
            skip_space();
            int c = in_.peek();
            if (c == '/') {
                in_.take();
                if (in_.take() != '>')
                    break;
                *out = element;
                return Tag::Empty;
            }
            if (c == '>') {
                in_.take();
                *out = element;
                return Tag::Open;
            }
            if (c == kEnd || !read_attribute(element))
                break;
        }
        uxml_document_free(element);
        return Tag::Failed;
    }

    // One attribute, with its value when '=' follows its name.
    bool read_attribute(uxml_element *element) {
        if (!read_name())
            return false;
        uxml_attribute *attribute = new_attribute(name_.data(), name_.size());
        uxml_add_attribute(element, attribute);
        if (in_.peek() != '=')
            return true;
        in_.take();
        int quote = in_.take();
        if (quote != '"' && quote != '\'')
            return false;
        value_.clear();
        for (;;) {
            in_.copy_plain(value_,
                           [quote](unsigned char b) { return b == quote || is_special(b); });
            int c = in_.take();
            if (c == quote || c == kEnd)
                break;
            value_ += data_byte(c);
        }
        attribute->head.text = copy_text(value_.data(), value_.size());
        return true;
    }

    // The contents of root and of every element opened inside it, through
    // root's closing tag; false on any fault (root then still holds what
    // was read, for the caller to free).
    bool read_contents(uxml_element *root) {
        open_.clear();
        open_.push_back({root, 0});
        text_.clear();
        while (!open_.empty()) {
            for (;;) {
                in_.copy_plain(text_, is_special);
                int c = in_.take();
                if (c == '<')
                    break;
                if (c == kEnd)
                    return false;
                text_ += data_byte(c);
            }
            if (in_.peek() == '/') {
                in_.take();
                if (!close_element())
                    return false;
                continue;
            }
            uxml_element *child = nullptr;
            Tag tag = read_tag(&child);
            if (tag == Tag::Failed)
                return false;
            uxml_add_child(open_.back().element, child);
            if (tag == Tag::Open)
                open_.push_back({child, text_.size()});
        }
        return true;
    }

    // After "</": the closing name and '>'; stores the innermost open
    // element's trimmed text and closes it.
    bool close_element() {
        read_name();
        OpenElement closing = open_.back();
        if (in_.take() != '>' || std::strcmp(name_.c_str(), closing.element->head.name) != 0)
            return false;
        size_t first = closing.text_start;
        size_t last = text_.size();
        while (first < last && is_space(static_cast<unsigned char>(text_[first])))
            ++first;
        while (last > first && is_space(static_cast<unsigned char>(text_[last - 1])))
            --last;
        closing.element->head.text = copy_text(text_.data() + first, last - first);
        text_.resize(closing.text_start);
        open_.pop_back();
        return true;
    }

    Reader in_;
    std::string name_;
    std::string value_;
    std::string text_; // the texts of all open elements, innermost last
    std::vector<OpenElement> open_;
};

// ---- Writing -----------------------------------------------------------------

// Indentation is cut from this run of spaces, long enough that even a tree
// thousands of levels deep is indented with few writes.
constexpr auto kSpaces = [] {
    std::array<char, 65536> spaces{};
    spaces.fill(' ');
    return spaces;
}();

class Writer {
  public:
    explicit Writer(FILE *out) : out_(out) {}

    bool document(const uxml_element *root) {
        put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
        open_tag(root);
        while (ok_ && !open_.empty()) {
            OpenElement &top = open_.back();
            if (top.next_child < vec_size(top.element->children)) {
                open_tag(item<uxml_element>(top.element->children, top.next_child++));
            } else {
                close_tag(top.element);
                open_.pop_back();
            }
        }
        return ok_;
    }

  private:
    // An element whose children are being written, and the next one.
    struct OpenElement {
        const uxml_element *element;
        uint32_t next_child;
    };

    void put(std::string_view s) {
        ok_ = ok_ && std::fwrite(s.data(), 1, s.size(), out_) == s.size();
    }

    // Two spaces per level of depth.
    void indent(size_t depth) {
        for (size_t left = 2 * depth; left > 0 && ok_;) {
            size_t run = left < kSpaces.size() ? left : kSpaces.size();
            put(std::string_view(kSpaces.data(), run));
            left -= run;
        }
    }

    void escaped(const char *s) {
        while (ok_) {
            size_t run = std::strcspn(s, "&<>\"");
            put(std::string_view(s, run));
            switch (s[run]) {
            case '&':
                put("&amp;");
                break;
            case '<':
                put("&lt;");
                break;
            case '>':
                put("&gt;");
                break;
            case '"':
                put("&quot;");
                break;
            default:
                return;
            }
            s += run + 1;
        }
    }

    // The opening tag, or the whole element when it is empty; an element
    // with content is pushed, so that its children follow.
    void open_tag(const uxml_element *element) {
        indent(open_.size());
        put("<");
        escaped(element->head.name);
        vec *attributes = element->attributes;
        for (uint32_t i = 0; i < vec_size(attributes); ++i) {
            const uxml_named &attribute = item<uxml_attribute>(attributes, i)->head;
            put(" ");
            escaped(attribute.name);
            put("=\"");
            escaped(attribute.text);
            put("\"");
        }
        if (vec_size(element->children) == 0 && element->head.text[0] == 0) {
            put("/>\n");
            return;
        }
        put(">");
        escaped(element->head.text);
        if (open_.empty() || vec_size(attributes) != 0)
            put("\n");
        open_.push_back({element, 0});
    }

    // The closing tag of the innermost open element, indented only when the
    // element has attributes.
    void close_tag(const uxml_element *element) {
        if (vec_size(element->attributes) != 0)
            indent(open_.size() - 1);
        put("</");
        escaped(element->head.name);
        put(">\n");
    }

    FILE *out_;
    bool ok_ = true;
    std::vector<OpenElement> open_;
};

} // namespace

// ---- Reading and writing -----------------------------------------------------

uxml_element *uxml_read(FILE *stream) {
    DB_ENTER("uxml_read", nullptr);
    uxml_element *root = stream == nullptr ? nullptr : DocumentReader(stream).read();
    DB_EXIT("uxml_read", "%s", root != nullptr ? root->head.name : "(null)");
    return root;
}

bool uxml_write(const uxml_element *root, FILE *stream) {
    DB_ENTER("uxml_write", "%s", root != nullptr ? root->head.name : "(null)");
    bool written = root != nullptr && stream != nullptr && Writer(stream).document(root);
    DB_EXIT("uxml_write", "%s", written ? "true" : "false");
    return written;
}

// ---- Life cycle ----------------------------------------------------------------

uxml_element *uxml_element_new(const char *name) {
    return new_element(name == nullptr ? "" : name, name == nullptr ? 0 : std::strlen(name));
}

uxml_attribute *uxml_attribute_new(const char *name) {
    return new_attribute(name == nullptr ? "" : name, name == nullptr ? 0 : std::strlen(name));
}

void uxml_element_free(uxml_element *element) {
    if (element == nullptr)
        return;
    free_text(element->head.name);
    free_text(element->head.text);
    vec_destroy(element->children);
    vec_destroy(element->attributes);
    std::free(element);
}

void uxml_tree_free(uxml_element *root) {
    free_tree(root, false);
}

void uxml_document_free(uxml_element *root) {
    free_tree(root, true);
}

void uxml_attribute_free(uxml_attribute *attribute) {
    if (attribute == nullptr)
        return;
    free_text(attribute->head.name);
    free_text(attribute->head.text);
    std::free(attribute);
}

// ---- Names, texts and values ---------------------------------------------------

const char *uxml_name(const void *record) {
    return record == nullptr ? nullptr : static_cast<const uxml_named *>(record)->name;
}

const char *uxml_text(const void *record) {
    return record == nullptr ? nullptr : static_cast<const uxml_named *>(record)->text;
}

void uxml_set_name(void *record, const char *name) {
    if (record != nullptr)
        replace_text(&named(record)->name, name);
}

void uxml_set_text(void *record, const char *text) {
    if (record != nullptr)
        replace_text(&named(record)->text, text);
}

// ---- Children and attributes ----------------------------------------------------

vec *uxml_children(const uxml_element *element) {
    return element == nullptr ? nullptr : vec_copy(element->children, __FILE__, __LINE__);
}

vec *uxml_attributes(const uxml_element *element) {
    return element == nullptr ? nullptr : vec_copy(element->attributes, __FILE__, __LINE__);
}

namespace {

void replace_items(vec *mine, vec *items) {
    vec_clear(mine);
    if (items != nullptr)
        vec_append_all(mine, items);
}

} // namespace

void uxml_set_children(uxml_element *element, vec *items) {
    replace_items(element->children, items);
}

void uxml_set_attributes(uxml_element *element, vec *items) {
    replace_items(element->attributes, items);
}

void uxml_add_child(uxml_element *element, uxml_element *child) {
    vec_append(element->children, child);
}

void uxml_add_attribute(uxml_element *element, uxml_attribute *attribute) {
    vec_append(element->attributes, attribute);
}

bool uxml_remove_child(uxml_element *element, const uxml_element *child) {
    return vec_remove(element->children, child) != 0;
}

bool uxml_remove_attribute(uxml_element *element, const uxml_attribute *attribute) {
    return vec_remove(element->attributes, attribute) != 0;
}

uxml_attribute *uxml_find_attribute(const uxml_element *element, const char *name) {
    if (name == nullptr)
        return nullptr;
    for (uint32_t i = 0; i < vec_size(element->attributes); ++i) {
        auto *attribute = item<uxml_attribute>(element->attributes, i);
        if (std::strcmp(attribute->head.name, name) == 0)
            return attribute;
    }
    return nullptr;
}
