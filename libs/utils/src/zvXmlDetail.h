// zvXmlDetail.h - ways into the XML model for code of the library that builds
// large trees node by node (the object database writer).
//
//     zv::detail::xmlNodeMaker maker;
//     zv::refPtr<zv::xmlNode> tool = maker.make(zv::string(L"Tool"));
//     zv::detail::appendLeaf(maker, *tool, L"Name", zv::string(L"Drill"));
//
// Nodes made here live side by side in shared blocks, like the nodes of a
// parsed tree, and follow the same rules as any other node: each is counted
// on its own, may be detached, moved to another tree or kept after its tree
// has gone (it then keeps its block).
#pragma once

#include "zvRefPtr.h"
#include "zvString.h"

#include <cstddef>

namespace zv {

class xmlNode;
class xmlNodeBlock;

namespace detail {

/// Hands out nodes from blocks that double in size up to some 70 KiB.
class xmlNodeMaker {
public:
    xmlNodeMaker() = default;
    xmlNodeMaker(const xmlNodeMaker&) = delete;
    xmlNodeMaker& operator=(const xmlNodeMaker&) = delete;
    ~xmlNodeMaker() { reset(); }

    /// A new detached node without name.
    refPtr<xmlNode> make();
    /// A new detached node named `name`.
    refPtr<xmlNode> make(zv::string&& name);
    /// Lets go of the block being filled; the next node starts a small one.
    void reset();

private:
    xmlNodeBlock* m_block = nullptr;
    std::size_t m_nextCapacity = 8;
};

/// Appends a new node named `name` with the text `text` as the last child of
/// `parent` and answers it (held by `parent`).
xmlNode& appendLeaf(xmlNodeMaker& maker, xmlNode& parent, const zv::string& name, zv::string&& text);
/// Sets an attribute as `xmlNode::setAttribute` does, taking the value over.
void setAttribute(xmlNode& node, const wchar_t* name, zv::string&& value);
/// Replaces the text, taking it over.
void setText(xmlNode& node, zv::string&& text);
/// Makes room for `count` children.
void reserveChildren(xmlNode& node, std::size_t count);

} // namespace detail
} // namespace zv
