// Tests of the XML reader and writer: exact layout, accepted and rejected
// documents, round trips (checked by xmllint too), cut documents and deep
// nesting.
#include "common/uxml2.h"

#include "tests/support.h"

#include <optional>
#include <vector>

using namespace test_support;

namespace {

using Attrs = std::vector<std::pair<std::string, std::string>>;

// A tree as plain values, to build elements from and compare them with.
struct Node {
    std::string name, text;
    Attrs attrs;
    std::vector<Node> children;
    bool operator==(const Node &) const = default;
};

uxml_element *build(const Node &node) {
    uxml_element *element = uxml_element_new(node.name.c_str());
    uxml_set_text(element, node.text.c_str());
    for (const auto &[name, value] : node.attrs) {
        uxml_attribute *attribute = uxml_attribute_new(name.c_str());
        uxml_set_text(attribute, value.c_str());
        uxml_add_attribute(element, attribute);
    }
    for (const Node &child : node.children)
        uxml_add_child(element, build(child));
    return element;
}

Node describe(const uxml_element *element) {
    Node node{uxml_name(element), uxml_text(element), {}, {}};
    vec *attrs = uxml_attributes(element), *children = uxml_children(element);
    for (uint32_t i = 0; i < vec_size(attrs); ++i)
        node.attrs.emplace_back(uxml_name(vec_get(attrs, i)), uxml_text(vec_get(attrs, i)));
    for (uint32_t i = 0; i < vec_size(children); ++i)
        node.children.push_back(describe(static_cast<uxml_element *>(vec_get(children, i))));
    vec_destroy(attrs);
    vec_destroy(children);
    return node;
}

std::string write(const Node &node) {
    uxml_element *root = build(node);
    FILE *file = std::tmpfile();
    EXPECT_TRUE(uxml_write(root, file));
    uxml_document_free(root);
    std::string text(static_cast<size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fclose(file);
    return text;
}

std::optional<Node> read(const std::string &text) {
    FILE *file = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), file);
    std::rewind(file);
    uxml_element *root = uxml_read(file);
    std::fclose(file);
    if (root == nullptr)
        return std::nullopt;
    Node node = describe(root);
    uxml_document_free(root);
    return node;
}

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// Every character that needs escaping, and the apostrophe that does not.
const Node kSample{"suite",
                   "",
                   {{"version", "4.10"}, {"q", "a<b&\"'>"}},
                   {{"tool", "lumc & \"lumc18\" <'d'>", {{"dir", "bin"}}, {}},
                    {"empty", "", {{"k", ""}}, {}},
                    {"group", "x", {}, {{"leaf", "", {}, {}}, {"leaf", "y", {{"n", "2"}}, {}}}}}};

TEST(UxmlWrite, LaysOutAndEscapesExactly) {
    const struct {
        Node tree;
        std::string body;
    } cases[] = {
        {{"r", "", {}, {{"c", "t", {{"k", "v"}}, {}}}}, "<r>\n  <c k=\"v\">t\n  </c>\n</r>\n"},
        {{"e", "", {{"a", "1"}, {"b", ""}}, {}}, "<e a=\"1\" b=\"\"/>\n"},
        {{"e", "", {{"v", "a<b&\""}}, {}}, "<e v=\"a&lt;b&amp;&quot;\"/>\n"},
        {{"r", "it's > x", {}, {}}, "<r>it's &gt; x\n</r>\n"},
        {{"r", "", {}, {{"a", "x", {}, {{"b", "", {}, {}}}}}}, "<r>\n  <a>x    <b/>\n</a>\n</r>\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(write(c.tree), kDecl + c.body);
}

TEST(UxmlRead, AcceptsWhatTheSuitesFilesHold) {
    const struct {
        std::string body;
        Node tree;
    } cases[] = {
        {"<r/>", {"r", "", {}, {}}},
        {"<r a=\"1\" b='2' c/>", {"r", "", {{"a", "1"}, {"b", "2"}, {"c", ""}}, {}}},
        {"<r>&lt;&gt;&amp;&quot;&apos;&#65;&nonsense;</r>", {"r", "<>&\"'~~", {}, {}}},
        {"<r a=\"&quot;x&quot;\" b='&apos;'>&lt;b/&gt;</r>",
         {"r", "<b/>", {{"a", "\"x\""}, {"b", "'"}}, {}}},
        {"<r a=\"x/>y\"/>", {"r", "", {{"a", "x/>y"}}, {}}},
        {"<!--c--><r><!-- a -> b -- c -->x<!---->y<c/><!--<d/>--></r>",
         {"r", "xy", {}, {{"c", "", {}, {}}}}},
        {"<r> a <c/>\n b\t</r>", {"r", "a \n b", {}, {{"c", "", {}, {}}}}},
        {"<r><a></a><!-- between --><b></ b></r>",
         {"r", "", {}, {{"a", "", {}, {}}, {"b", "", {}, {}}}}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(read(kDecl + c.body), c.tree) << c.body;
    EXPECT_EQ(read("<?xml version=\"1.1\"?>\n<r/>"), (Node{"r", "", {}, {}}));
}

TEST(UxmlRead, RejectsMalformedDocumentsAndEveryCutOfOne) {
    const std::string rejected[] = {
        "<r/>",                                                       // no declaration
        "<?xml version=\"2.0\"?>\n<r/>",                              // not version 1.x
        kDecl + "\n<r/>",                                             // root not on the second line
        kDecl + " <r/>",                                              //
        "<?xml version=\"1.0\"" + std::string(240, ' ') + "?>\n<r/>", // line over 255
        kDecl + "<a></b>",                                            // closing name differs
        kDecl + "<a></a >",                          // closing '>' must follow the name
        kDecl + "<a/ >",                             //
        kDecl + "< />",                              // empty names
        kDecl + "<a =\"v\"/>",                       //
        kDecl + "<a k = \"v\"/>",                    //
        kDecl + "<a k=v/>",                          // unquoted value
        kDecl + "<a k=&quot;v&quot;/>",              // an entity is never a quote
        kDecl + "<a>&lt;/a>",                        // nor a tag
        kDecl + std::string("<ro\0ot/>", 8),         // a zero byte in a name,
        kDecl + std::string("<a k=\"v\0w\"/>", 13),  // in a value
        kDecl + std::string("<a>t\0u</a>", 10),      // in data
        kDecl + std::string("<a><!--\0--></a>", 15), // and in a comment
    };
    for (const std::string &text : rejected)
        EXPECT_EQ(read(text), std::nullopt) << text;
    // Every cut of a document (with a comment, entities and attributes) is rejected.
    std::string text = write(kSample);
    text.insert(text.find("<tool"), "<!-- a comment -->");
    EXPECT_EQ(read(text), kSample);
    for (size_t length = 0; length < text.rfind('>'); ++length)
        EXPECT_EQ(read(text.substr(0, length)), std::nullopt) << "cut at " << length;
}

// A written tree passes xmllint (that it reads back is checked with the cuts
// above); a write into a stream open for reading only is reported.
TEST(UxmlRoundTrip, AWrittenTreeReadsBackAndPassesXmllintAndAFailedWriteIsReported) {
    std::string text = write(kSample);
    ScratchDir dir;
    dir.write("doc.xml", text);
    FILE *readonly = std::fopen(dir.host("doc.xml").string().c_str(), "r");
    uxml_element *root = build(kSample);
    EXPECT_FALSE(uxml_write(root, readonly));
    EXPECT_FALSE(uxml_write(nullptr, readonly));
    std::fclose(readonly);
    uxml_document_free(root);
    if (std::system("xmllint --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils)";
    std::string check = "xmllint --noout '" + dir.host("doc.xml").string() + "'";
    EXPECT_EQ(std::system(check.c_str()), 0) << text;
}

// Reads, writes and frees 100,000 levels; a failing cut at the deepest
// level frees the half-read tree.
void hundred_thousand_levels() {
    constexpr int kDepth = 100000;
    std::string open, close;
    for (int i = 0; i < kDepth; ++i)
        open += "<a>", close += "</a>";
    FILE *file = std::tmpfile();
    std::fputs((kDecl + open + "x" + close).c_str(), file);
    std::rewind(file);
    uxml_element *root = uxml_read(file);
    std::fclose(file);
    ASSERT_NE(root, nullptr);
    int depth = 0;
    const uxml_element *deepest = root;
    for (const uxml_element *next = root; next != nullptr; ++depth) {
        deepest = next;
        vec *children = uxml_children(deepest);
        next = static_cast<const uxml_element *>(vec_get(children, 0));
        vec_destroy(children);
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_STREQ(uxml_text(deepest), "x");
    FILE *null = std::fopen("/dev/null", "w");
    if (null != nullptr) {
        EXPECT_TRUE(uxml_write(root, null));
        std::fclose(null);
    }
    uxml_tree_free(root);
    EXPECT_EQ(read(kDecl + open + "</b>" + close.substr(4)), std::nullopt);
}

// On a 1 MB stack, as a Windows program gets, a walk that recursed once per
// level would overflow: the deep work runs in a child of this test program
// given such a stack (on Windows, in the test program itself, whose stack
// the linker sets).
TEST(UxmlDepth, AHundredThousandLevelsFitAOneMegabyteStack) {
    if (PLAT_HOST_WINDOWS || std::getenv("VQ4_UXML_SMALL_STACK") != nullptr)
        return hundred_thousand_levels();
    std::string child = std::string("ulimit -s 1024 && VQ4_UXML_SMALL_STACK=1 '") + plat_pgmptr() +
                        "' --gtest_filter=UxmlDepth.*";
    EXPECT_EQ(std::system(child.c_str()), 0);
}

TEST(UxmlTree, ChildrenAndAttributesAreSharedNotCopied) {
    uxml_element *root = build(
        {"r", "", {{"a", "1"}, {"q", "2"}}, {{"c", "", {{"k", "v"}}, {}}, {"d", "", {}, {}}}});
    uxml_attribute *q = uxml_find_attribute(root, "q");
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(uxml_find_attribute(root, "missing"), nullptr);
    EXPECT_TRUE(uxml_remove_attribute(root, q));
    EXPECT_FALSE(uxml_remove_attribute(root, q));
    uxml_set_name(q, "renamed");
    uxml_set_text(q, nullptr);
    EXPECT_STREQ(uxml_name(q), "renamed");
    EXPECT_STREQ(uxml_text(q), "");
    uxml_attribute_free(q);

    vec *children = uxml_children(root);
    auto *c = static_cast<uxml_element *>(vec_get(children, 0));
    EXPECT_TRUE(uxml_remove_child(root, c));
    EXPECT_FALSE(uxml_remove_child(root, c));
    uxml_set_children(root, children); // both again, in their first order
    vec_destroy(children);
    EXPECT_EQ(describe(root),
              (Node{"r", "", {{"a", "1"}}, {{"c", "", {{"k", "v"}}, {}}, {"d", "", {}, {}}}}));

    // The tree goes; the attribute records stay the caller's.
    uxml_attribute *a = uxml_find_attribute(root, "a"), *k = uxml_find_attribute(c, "k");
    uxml_tree_free(root);
    EXPECT_STREQ(uxml_text(k), "v");
    uxml_attribute_free(a);
    uxml_attribute_free(k);
}

} // namespace
