// zvXml.h - the library's small XML model: a tree of reference-counted
// element nodes, a forgiving parser and a writer with three-blank indentation.
//
// A node has a name, an ordered list of attributes (unique names, compared
// case-sensitively), a text and an ordered list of child elements. A document
// is itself the root element. Comments, processing instructions and `<!...>`
// declarations are skipped; the five predefined entities and short character
// references (`&#x` with one to three hexadecimal digits and `;`) are decoded;
// there are no namespaces, CDATA sections or DTDs.
//
//     zv::refPtr<zv::xmlDocument> doc = zv::xmlDocument::createXmlDocument();
//     doc->load(zv::file(L"C:\\data\\tools.xml"), false);
//     for (const zv::refPtr<zv::xmlNode>& tool : doc->childNodes())
//         if (zv::string id; tool->getAttribute(L"id", id)) ...
//     doc->createChildNode(L"Tool")->setText(L"a<b");   // written as a&lt;b
//     doc->save(zv::file(L"C:\\data\\tools.xml"), zv::xmlDocument::eUTF8);
//
// Every node is held by `zv::refPtr`; the parent pointer is not counted. A
// node that dies detaches its children first (a child still referenced
// elsewhere lives on, detached). Nodes read by the parser or made by a deep
// copy share storage blocks of up to some 70 KiB; a node kept after the rest
// of its tree has gone keeps its block. Nothing recurses over the tree: parsing,
// copying, writing and destruction work with explicit lists, so a document
// of any depth is safe. A tree is used by one thread at a time.
#pragma once

#include "zvDefs.h"
#include "zvRefObj.h"
#include "zvRefPtr.h"
#include "zvString.h"

#include <utility>
#include <vector>

namespace zv {

class binaryBuffer;
class file;
class xmlNodeBlock;

/// An element of an XML tree: name, text, attributes and child nodes; reference counted.
class ZV_API xmlNode : public refObj {
public:
    /// A name and its value.
    using attribute = std::pair<zv::string, zv::string>;
    /// Attributes in document order.
    using attributeList = std::vector<attribute>;
    /// Child nodes in document order.
    using nodeList = std::vector<refPtr<xmlNode>>;

    // ---- creation ----

    /// A new detached node with that name and nothing else.
    static refPtr<xmlNode> createXmlNode(const zv::string& name);
    /// A deep copy of `node` (name, text, attributes, children in order); the
    /// copy is detached. A null `node` raises `unexpectedErrorException`.
    static refPtr<xmlNode> createXmlNode(const const_refPtr<xmlNode>& node);
    /// A new node with that name, appended as the last child of this one.
    refPtr<xmlNode> createChildNode(const zv::string& name);

    // ---- editing ----

    /// Appends `node` as the last child; false when it is null, already has
    /// a parent, or is this node or one of its ancestors (a cycle).
    bool addNode(refPtr<xmlNode>& node);
    /// Removes that very node (identity, not name) from the children and
    /// detaches it; false when it is not a child of this node.
    bool removeNode(refPtr<xmlNode>& node);

    // ---- child lookup (by name; `caseSensitive` false folds A-Z only) ----

    /// Whether a child of that name exists.
    bool hasChildNode(const zv::string& name, bool caseSensitive) const;
    /// The first child of that name, or null.
    refPtr<xmlNode> getFirstChildNode(const zv::string& name, bool caseSensitive);
    /// The first child of that name, or null (read-only).
    const_refPtr<xmlNode> getFirstChildNode(const zv::string& name, bool caseSensitive) const;
    /// The last child of that name, or null.
    refPtr<xmlNode> getLastChildNode(const zv::string& name, bool caseSensitive);
    /// The last child of that name, or null (read-only).
    const_refPtr<xmlNode> getLastChildNode(const zv::string& name, bool caseSensitive) const;

    // ---- attributes (names compared case-sensitively) ----

    /// Whether an attribute of that name exists.
    bool hasAttribute(const zv::string& name) const;
    /// Copies the value and answers true; false, `value` untouched, when absent.
    bool getAttribute(const zv::string& name, zv::string& value) const;
    /// Replaces the value in place (the position stays), else appends the pair.
    void setAttribute(const zv::string& name, const zv::string& value);
    /// Removes the pair if present; the others keep their order.
    void removeAttribute(const zv::string& name);

    // ---- fields ----

    /// The element's name.
    const zv::string& name() const { return m_name; }
    /// Renames the element.
    void setName(const zv::string& name) { m_name = name; }
    /// The character content, entities decoded.
    const zv::string& text() const { return m_text; }
    /// Replaces the character content.
    void setText(const zv::string& text) { m_text = text; }
    /// The children in order.
    const nodeList& childNodes() const { return m_children; }
    /// The attributes in order.
    const attributeList& attributes() const { return m_attributes; }
    /// The node whose children hold this one; null for a root or detached node.
    xmlNode* parentNode() { return m_parent; }
    /// The parent, or null (read-only).
    const xmlNode* parentNode() const { return m_parent; }

    // ---- text form ----

    /// Appends the XML text of this node and its subtree to `out`, each line
    /// starting with `indent` plus three blanks per level. The text of a node
    /// with children is not written; spaces and tabs at the ends of a text
    /// are written as "&#x20;" and "&#x9;", so that they survive the trimming
    /// of a reader that does not keep blanks.
    void getText(zv::string& out, const zv::string& indent) const;

    /// Parses one element (and everything in it) from `text` into this node,
    /// replacing its name, text, attributes and children. Answers the position
    /// just after what was consumed, or null when the text holds no element;
    /// when the text reaches an end tag before any element, answers its "<"
    /// and leaves the node as it is. A null `text` or a syntax error raises
    /// `unexpectedErrorException` and leaves the node as it is. Leading and
    /// trailing spaces and tabs of texts are removed unless `keepBlanks`.
    const wchar_t* parseText(const wchar_t* text, bool keepBlanks);

protected:
    /// A detached node named `name`; use `createXmlNode`.
    explicit xmlNode(const zv::string& name = zv::string());
    xmlNode(const xmlNode&) = delete;
    xmlNode& operator=(const xmlNode&) = delete;
    ~xmlNode() override;
    /// Destroys the node; a parsed node gives its place back to its block.
    void destroyObject() override;

    /// Takes over the name, text, attributes and children of `other` (a
    /// freshly parsed node); the previous children are detached.
    void takeContentOf(xmlNode& other);

private:
    friend class xmlTreeBuilder;
    friend class xmlNodeBlock;

    xmlNode* m_parent;
    nodeList m_children;
    attributeList m_attributes;
    zv::string m_name;
    zv::string m_text;
    xmlNodeBlock* m_block; // the block a parsed node lives in; null for one made alone
};

/// A document: the root element itself, plus loading and saving.
class ZV_API xmlDocument : public xmlNode {
public:
    /// Output encodings; any other value writes a declaration without an
    /// encoding and the text as `eUTF16` does.
    enum eEncoding { eUTF8 = 1, eUTF16 = 2 };

    /// A new empty document (no name, attributes or children).
    static refPtr<xmlDocument> createXmlDocument();

    /// Loads a file (see the loading from memory). A missing file raises
    /// `fileNotFoundException`, one that cannot be read `readFileException`,
    /// a syntax error `invalidXmlException`; an empty file changes nothing.
    void load(const file& source, bool keepBlanks);
    /// Parses `size` bytes: UTF-8 after the bytes EF BB BF, UTF-16LE after
    /// FF FE or when the data starts with "<" as 3C 00 (as `save` writes
    /// UTF-16); otherwise the encoding of a leading `<?...?>` declaration
    /// decides: none or "utf-8" reads UTF-8, any other name the ANSI code
    /// page. The text ends at its first NUL; anything after the root element
    /// is ignored. Null `data` does nothing. On any failure the document keeps
    /// its previous content; a syntax error raises `unexpectedErrorException`
    /// with "xmlNode::parseText: invalid xml-format".
    void load(const char* data, unsigned int size, bool keepBlanks);

    /// Saves in one step: the previous file stays whole until the new one
    /// has been written completely. A file that cannot be written raises
    /// `writeFileException`.
    void save(const file& target, eEncoding encoding) const;
    /// Appends the document: for `eUTF8` the bytes EF BB BF and UTF-8 text;
    /// otherwise UTF-16LE code units without byte-order mark, ending in one
    /// zero unit. Both start with the declaration `<?xml version="1.0" ...?>`.
    void save(binaryBuffer& buffer, eEncoding encoding) const;

protected:
    xmlDocument() = default;
    ~xmlDocument() override;
};

} // namespace zv
