// uxml2: the small XML reader and writer of the suite's data files.
//
// A document is a tree of elements. An element has a name, a text (its
// character data, leading and trailing white space removed), attributes in
// document order and child elements in document order; an attribute has a
// name and a value. Both records begin with their name followed by their
// text or value, so uxml_name, uxml_text, uxml_set_name and uxml_set_text
// take either. Every string a record holds is its own heap copy.
//
// What the reader accepts: a first line beginning with the XML declaration
// (<?xml version="1.), the root element at the very start of the second
// line, elements, attributes in double or single quotes, character data,
// comments anywhere (even inside names and values), and the five entities
// &lt; &gt; &amp; &quot; &apos; (any other entity reads as '~'). A character
// that comes from an entity is always data: &lt; never opens a tag and
// &quot; never ends a value. A zero byte ends the input where it stands.
// Anything else gives null, never a message.
// Nesting depth is limited only by memory: the reader, the writer and the
// tree operations keep their own stacks instead of recursing.
//
// Ownership: an element owns its name, its text and its two vectors, never
// the items in them. uxml_tree_free frees the child elements too, but the
// attribute records stay the caller's (one record may sit in several
// elements); uxml_document_free frees a tree whose attribute records belong
// to it alone, as those of a tree read by uxml_read do. Allocation failure
// is fatal (message 296, "out of memory"). Single-threaded: a tree and a
// stream are used by one thread.
#pragma once

#include "common/vector.h"

#include <cstdio>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct uxml_element uxml_element;
typedef struct uxml_attribute uxml_attribute;

// ---- Reading and writing -----------------------------------------------------

// Reads one document from stream into a new tree (the caller's; free it
// with uxml_document_free). Null when the document is not accepted or
// stream is null. The stream is read in blocks, so afterwards it stands at
// an unspecified place after the root element.
uxml_element *uxml_read(FILE *stream);
// Writes the declaration line and the tree, two spaces of indentation per
// level, with & < > and " escaped in names, texts and values. True when
// every write succeeded; false at the first failing write, or for a null
// root or stream.
bool uxml_write(const uxml_element *root, FILE *stream);

// ---- Life cycle ----------------------------------------------------------------

// New element (the caller's) with a copy of name, an empty text and two
// empty vectors created here. A null name counts as empty.
uxml_element *uxml_element_new(const char *name);
// New attribute (the caller's) with a copy of name and an empty value.
uxml_attribute *uxml_attribute_new(const char *name);
// Frees the element's name, text and two vectors, and the element; the
// children and attribute records are not freed. Null: nothing.
void uxml_element_free(uxml_element *element);
// Frees the element and every element below it; the attribute records are
// not freed (their vectors are). Null: nothing.
void uxml_tree_free(uxml_element *root);
// As uxml_tree_free, and frees every attribute record of the tree as well.
void uxml_document_free(uxml_element *root);
// Frees the attribute's name and value, and the attribute. Null: nothing.
void uxml_attribute_free(uxml_attribute *attribute);

// ---- Names, texts and values (an element or an attribute) ------------------

// The record's name, owned by the record; null for a null record.
const char *uxml_name(const void *record);
// The element's text or the attribute's value, owned by the record; null
// for a null record.
const char *uxml_text(const void *record);
// Store a copy of the string (null counts as empty) as the name, or as the
// text or value, freeing the old one.
void uxml_set_name(void *record, const char *name);
void uxml_set_text(void *record, const char *text);

// ---- Children and attributes --------------------------------------------------
//
// The operations that change an element take a non-null element.

// A new vector (the caller's; free it with vec_destroy, not its items)
// holding the element's children or attribute records in order.
vec *uxml_children(const uxml_element *element);
vec *uxml_attributes(const uxml_element *element);
// Replace the element's children or attributes by the items of items (a
// null vector empties them); the items are shared, not copied.
void uxml_set_children(uxml_element *element, vec *items);
void uxml_set_attributes(uxml_element *element, vec *items);
// Append a child or an attribute record; the element shares it.
void uxml_add_child(uxml_element *element, uxml_element *child);
void uxml_add_attribute(uxml_element *element, uxml_attribute *attribute);
// Remove that very child or record (compared by address, not freed); true
// when the element held it.
bool uxml_remove_child(uxml_element *element, const uxml_element *child);
bool uxml_remove_attribute(uxml_element *element, const uxml_attribute *attribute);
// The element's first attribute named name (strcmp), or null.
uxml_attribute *uxml_find_attribute(const uxml_element *element, const char *name);

#ifdef __cplusplus
}
#endif
