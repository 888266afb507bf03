#include "zvXml.h"

#include "zvBinaryBuffer.h"
#include "zvCodePage.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvFsTestSupport.h"
#include "zvTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using zv::refPtr;
using zv::xmlDocument;
using zv::xmlNode;

const std::wstring kInvalid = L"Unexpected error occurred (xmlNode::parseText: invalid xml-format)";

refPtr<xmlDocument> loaded(const std::string& bytes, bool keepBlanks = false) {
    refPtr<xmlDocument> doc = xmlDocument::createXmlDocument();
    doc->load(bytes.data(), static_cast<unsigned>(bytes.size()), keepBlanks);
    return doc;
}

std::wstring textOf(const xmlNode& n) {
    zv::string out;
    n.getText(out, L"");
    return out;
}

std::string saved(const xmlDocument& doc, xmlDocument::eEncoding encoding) {
    zv::binaryBuffer buffer;
    doc.save(buffer, encoding);
    return std::string(buffer.data(), buffer.logicalLength());
}

} // namespace

TEST(xmlNode, EditingKeepsParentsAndRefusesCycles) {
    refPtr<xmlNode> root = xmlNode::createXmlNode(L"root");
    refPtr<xmlNode> a = root->createChildNode(L"a");
    refPtr<xmlNode> b = xmlNode::createXmlNode(L"b");
    EXPECT_EQ(a->parentNode(), root.get());
    EXPECT_TRUE(root->addNode(b));
    refPtr<xmlNode> none, stranger = xmlNode::createXmlNode(L"a");
    // Refused: a node that has a parent, none, its own ancestor, itself.
    for (auto [parent, child] : {std::pair{root, b}, {root, none}, {a, root}, {root, root}})
        EXPECT_FALSE(parent->addNode(child));
    EXPECT_FALSE(root->removeNode(stranger)); // same name, other node
    EXPECT_TRUE(root->removeNode(a));
    EXPECT_EQ(a->parentNode(), nullptr);
    ASSERT_EQ(root->childNodes().size(), 1u);
    EXPECT_EQ(root->childNodes()[0], b);
    EXPECT_TRUE(b->addNode(a)); // a removed node may go elsewhere
    EXPECT_EQ(a->parentNode(), b.get());

    // A dying parent detaches the children still held elsewhere.
    root = nullptr;
    EXPECT_EQ(b->parentNode(), nullptr);
    EXPECT_EQ(a->parentNode(), b.get());
}

TEST(xmlNode, LooksUpChildrenAndAttributes) {
    refPtr<xmlNode> n = xmlNode::createXmlNode(L"n");
    refPtr<xmlNode> first = n->createChildNode(L"Item"), other = n->createChildNode(L"other"),
                    last = n->createChildNode(L"item");
    EXPECT_EQ((std::vector{n->getFirstChildNode(L"item", false), n->getFirstChildNode(L"item", true),
                           n->getLastChildNode(L"ITEM", false), n->getLastChildNode(L"ITEM", true)}),
              (std::vector<refPtr<xmlNode>>{first, last, last, nullptr}));
    EXPECT_TRUE(n->hasChildNode(L"OTHER", false) && !n->hasChildNode(L"OTHER", true));

    n->setAttribute(L"x", L"1");
    n->setAttribute(L"y", L"2");
    n->setAttribute(L"x", L"3"); // keeps its place
    EXPECT_EQ(n->attributes(), (std::vector{xmlNode::attribute(L"x", L"3"), xmlNode::attribute(L"y", L"2")}));
    zv::string value = L"untouched";
    EXPECT_TRUE(zvtest::gives(n->getAttribute(L"X", value), value, false, L"untouched"));
    EXPECT_TRUE(zvtest::gives(n->getAttribute(L"y", value), value, true, L"2"));
    n->removeAttribute(L"x");
    n->removeAttribute(L"missing");
    EXPECT_TRUE(!n->hasAttribute(L"x") && n->hasAttribute(L"y"));
}

// Parsed and copied nodes share their storage; any of them lives on alone,
// whatever dies first, and stays fully usable.
TEST(xmlNode, NodesOutliveTheTreeTheyWereReadOrCopiedInto) {
    std::string text = "<r>";
    for (int i = 0; i < 3000; ++i)
        text += "<n i='" + std::to_string(i) + "'><c>" + std::to_string(i) + "</c></n>";
    text += "</r>";
    refPtr<xmlDocument> doc = loaded(text);
    ASSERT_EQ(doc->childNodes().size(), 3000u);
    refPtr<xmlNode> copy = xmlNode::createXmlNode(zv::const_refPtr<xmlNode>(doc));
    EXPECT_EQ(copy->parentNode(), nullptr);
    EXPECT_EQ(textOf(*copy), textOf(*doc));

    const int picks[] = {0, 700, 2999, 2998}; // the last one from the copy
    std::vector<refPtr<xmlNode>> kept;
    for (const int i : picks)
        kept.push_back((i == 2998 ? copy : refPtr<xmlNode>(doc))->childNodes()[i]);
    refPtr<xmlNode> orphan = doc->childNodes()[1500]->childNodes()[0];
    refPtr<xmlNode> moved = doc->childNodes()[42];
    refPtr<xmlDocument> other = loaded("<o/>");
    ASSERT_TRUE(doc->removeNode(moved) && other->addNode(moved));

    doc->load("<s/>", 4, false); // the old tree goes, but for what is held
    copy = nullptr;
    doc = nullptr;
    for (std::size_t k = 0; k < kept.size(); ++k) {
        xmlNode& n = *kept[k];
        const std::wstring i = std::to_wstring(picks[k]);
        EXPECT_EQ(n.parentNode(), nullptr) << k;
        EXPECT_EQ(textOf(n), L"<n i=\"" + i + L"\">\n   <c>" + i + L"</c>\n</n>\n") << k;
        EXPECT_EQ(n.childNodes()[0]->parentNode(), &n) << k;
        n.createChildNode(L"added")->setText(L"more text than fits in place");
        n.setAttribute(L"i", L"changed");
    }
    EXPECT_EQ(orphan->parentNode(), nullptr);
    EXPECT_EQ(orphan->text(), L"1500");
    EXPECT_EQ(textOf(*other), L"<o>\n   <n i=\"42\">\n      <c>42</c>\n   </n>\n</o>\n");
    kept.erase(kept.begin() + 1);
    other = nullptr;
    EXPECT_EQ(moved->parentNode(), nullptr);
    EXPECT_EQ(kept.back()->childNodes()[1]->text(), L"more text than fits in place");
}

// Each input, read without keeping blanks, and the document written back; the
// malformed ones raise the invalid-format error and keep the previous content.
TEST(xmlDocument, ParsesTheForgivingSyntax) {
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"<a x='1' y=\"2\"/>", L"<a x=\"1\" y=\"2\"/>\n"},
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE a>\n<!-- c --><a/>trailing <b/>", L"<a/>\n"},
        {"<a><!-- c --><b/></a>", L"<a>\n   <b/>\n</a>\n"},
        {"<a>text<b/>more</a>", L"<a>\n   <b/>\n</a>\n"},
        {"<a>\n x \n</a>", L"<a>\n x \n</a>\n"},
        {"< a ></ a >", L"<a/>\n"},
        {"<a>x< /a>", L"<a>x</a>\n"},
        {"<a x = '1' z=\"it's\"><b></b></a>", L"<a x=\"1\" z=\"it&apos;s\">\n   <b/>\n</a>\n"},
        {"<a x='1' x='2' y='3'/>", L"<a x=\"2\" y=\"3\"/>\n"},
        {"<a x='1'", L"<a x=\"1\"/>\n"}, // the text ends the start tag
        {"<r><a><b>1</b></a><c/></r>", L"<r>\n   <a>\n      <b>1</b>\n   </a>\n   <c/>\n</r>\n"},
    };
    for (const auto& [input, written] : cases)
        EXPECT_EQ(textOf(*loaded(input)), written) << input;
    // Malformed input raises the error; input without an element is no error. Both keep the document.
    const auto keeps = [](const char* input, const std::wstring& error) {
        refPtr<xmlDocument> doc = loaded("<kept/>");
        EXPECT_EQ(
            zvtest::errorText([&] { doc->load(input, static_cast<unsigned>(std::strlen(input)), false); }),
            error)
            << input;
        EXPECT_EQ(textOf(*doc), L"<kept/>\n") << input;
    };
    for (const char* input : {"<a></b>", "<ab>x</abc>", "<a x='1/>", "<a x/>", "<a/b>", "<", "<>", "< ?x/>",
                              "<\n!x></!x>", "<a><b/>", "<a><b/><!-- unterminated"})
        keeps(input, kInvalid);
    for (const char* input :
         {"", "no markup", "<!-- only a comment -->", "<?xml never closed", "</a>", "<!-- x", "\xEF\xBB\xBF"})
        keeps(input, L"no exception");
    refPtr<xmlDocument> doc = loaded("<kept/>");
    doc->load(nullptr, 10, false);
    EXPECT_EQ(doc->name(), L"kept");
    // A good load replaces all of it.
    refPtr<xmlNode> old = doc->createChildNode(L"old");
    doc->load("<new a='1'/>", 12, false);
    EXPECT_EQ(textOf(*doc), L"<new a=\"1\"/>\n");
    EXPECT_EQ(old->parentNode(), nullptr);
}

TEST(xmlDocument, KeepsBlanksOnRequestAndTrimsOnlySpacesAndTabs) {
    // The text of a parent starts after leading blanks and ends at the first child.
    const std::tuple<const char*, bool, const wchar_t*> loads[] = {
        {"<a>  x  </a>", true, L"  x  "},           {"<a>\t x \t</a>", false, L"x"},
        {"<a>\nx\n</a>", false, L"\nx\n"},          {"<a>\n  head  <b/></a>", false, L"head"},
        {"<a>\n  head  <b/></a>", true, L"head  "},
    };
    for (const auto& [input, keepBlanks, text] : loads)
        EXPECT_EQ(loaded(input, keepBlanks)->text(), text) << input;
    // Written texts keep their blanks through a trimming reader.
    refPtr<xmlDocument> doc = xmlDocument::createXmlDocument();
    doc->setName(L"a");
    const std::pair<const wchar_t*, const char*> writes[] = {
        {L" x\t", "<a>&#x20;x&#x9;</a>\n"},
        {L" ", "<a>&#x20;</a>\n"},
        {L"\t \t", "<a>&#x9;&#x20;&#x9;</a>\n"},
        {L"a b", "<a>a b</a>\n"},
    };
    for (const auto& [text, element] : writes) {
        doc->setText(text);
        const std::string bytes = saved(*doc, xmlDocument::eUTF8);
        EXPECT_EQ(bytes.substr(bytes.find("<a>")), element);
        EXPECT_EQ(loaded(bytes, false)->text(), text) << bytes;
    }
}

// Decoding is one pass, the exact inverse of the writer (the round-trip fuzz target writes
// whatever it reads back again).
TEST(xmlDocument, DecodesEntitiesOnceAndExactly) {
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"a&lt;b&gt;c&amp;d&apos;e&quot;f", L"a<b>c&d'e\"f"},
        {"&amp;lt;", L"&lt;"},
        {"&amp;amp;amp;", L"&amp;amp;"},
        {"&#x41;&#x4;&#x041;&#xe9;", L"A\x4"
                                     L"A\xe9"},
        {"&#x26;lt;", L"&lt;"},
        {"&#x4142;&#x;&#x0;&#X41;&#x41", L"&#x4142;&#x;&#x0;&#X41;&#x41"},
        {"&unknown; & &amp", L"&unknown; & &amp"},
    };
    for (const auto& [stored, text] : cases) {
        refPtr<xmlDocument> doc = loaded(std::string("<n v=\"") + stored + "\">" + stored + "</n>");
        EXPECT_EQ(doc->text(), text) << stored;
        zv::string value;
        EXPECT_TRUE(zvtest::gives(doc->getAttribute(L"v", value), value, true, text)) << stored;
    }
}

TEST(xmlDocument, ChoosesTheEncodingByMarkOrDeclaration) {
    const std::string utf8 = "<a t=\"\xC3\xA9\xF0\x9F\x98\x80\">\xE2\x82\xAC</a>";
    const std::wstring euro = L"\x20AC";
    EXPECT_EQ(loaded("\xEF\xBB\xBF" + utf8)->text(), euro);
    EXPECT_EQ(loaded(utf8)->text(), euro);
    EXPECT_EQ(loaded("<?xml version='1.0' ENCODING=\"Utf-8\"?>" + utf8)->text(), euro);
    // Any other name: the ANSI code page (1252 on Linux unless configured).
    if (zv::ansiCodePage() == 1252) {
        EXPECT_EQ(loaded("<?xml encoding=\"ISO-8859-1\"?><a>\xE9\x80</a>")->text(), L"\xE9\x20AC");
        EXPECT_EQ(loaded("<?xml encoding=\"" + std::string(300, 'x') + "\"?><a>\xE9</a>")->text(), L"\xE9");
    }
    // An invalid UTF-8 byte becomes U+FFFD.
    EXPECT_EQ(loaded("<a>\xE9</a>")->text(), L"\xFFFD");

    std::string utf16 = "\xFF\xFE";
    for (const char16_t u : std::u16string(u"<a t='x'>\u00e9\U0001F600</a>"))
        utf16 += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    // An odd last byte is ignored; the character beyond 16 bits is a surrogate pair where wchar_t has 16
    // bits.
    EXPECT_EQ(loaded(utf16 + "!")->text(), L"\xE9\U0001F600");

    // The text ends at its first NUL.
    EXPECT_EQ(zvtest::errorText([] { loaded(std::string("<a>x\0</a>", 9)); }), kInvalid);
}

TEST(xmlDocument, SavesWithMarkOrTerminator) {
    refPtr<xmlDocument> doc = loaded("<a x='1' y=\"2\"/>");
    // (UTF-8 with its mark: the object database's empty-database test pins those bytes.)
    const std::string utf16 = saved(*doc, xmlDocument::eUTF16);
    std::string head;
    for (const char c : std::string("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<a"))
        head += {c, '\0'};
    EXPECT_EQ(utf16.substr(0, head.size()), head);
    EXPECT_EQ(utf16.substr(utf16.size() - 6), std::string("/\0>\0\n\0\0\0", 8).substr(2));
    const std::string other = saved(*doc, static_cast<xmlDocument::eEncoding>(7));
    EXPECT_EQ(other.substr(0, 40),
              std::string("<\0?\0x\0m\0l\0 \0v\0e\0r\0s\0i\0o\0n\0=\0\"\0001\0.\0000\0\"\0 \0", 40));
    EXPECT_EQ(other.substr(40, 4), std::string("?\0>\0", 4));
}

// The text does not depend on the room the buffer had: none, too little (the
// estimate is taken when it runs out), almost enough, or plenty.
TEST(xmlDocument, SavesTheSameWhateverRoomTheBufferHas) {
    refPtr<xmlDocument> doc = xmlDocument::createXmlDocument();
    doc->setName(L"r");
    doc->createChildNode(L"long")->setText(std::wstring(5000, L'<') + L"\xE9\x20AC" +
                                           std::wstring(3000, L'x'));
    for (int i = 0; i < 50; ++i)
        doc->createChildNode(L"n")->setAttribute(L"k", L"\"&'" + std::to_wstring(i));
    for (const auto encoding : {xmlDocument::eUTF8, xmlDocument::eUTF16}) {
        const std::string expected = "head" + saved(*doc, encoding);
        const unsigned size = static_cast<unsigned>(expected.size());
        for (const unsigned room : {0u, 4u, 5u, 100u, size - 1, size, 1u << 20}) {
            zv::binaryBuffer buffer;
            buffer.reAllocate(room);
            buffer.write("head", 4);
            doc->save(buffer, encoding);
            EXPECT_EQ(std::string(buffer.data(), buffer.logicalLength()), expected) << room;
        }
    }
}

TEST(xmlDocument, LoadsAndSavesFiles) {
    zvtest::tempFolder tmp;
    refPtr<xmlDocument> doc = loaded("<kept/>");
    EXPECT_THROW(doc->load(zv::file(tmp.dir(), L"missing.xml"), false), zv::fileNotFoundException);
    doc->load(tmp.write(L"empty.xml", ""), false);
    EXPECT_EQ(doc->name(), L"kept");
    try {
        doc->load(tmp.write(L"bad.xml", "<a><b></a>"), false);
        ADD_FAILURE() << "no exception";
    } catch (const zv::invalidXmlException& e) {
        EXPECT_EQ(std::wstring(e.message().stringId().id()), L"Msg_EInvalidXml");
        EXPECT_NE(e.text().find(L"bad.xml is not a valid XML-file!"), std::wstring::npos);
    }
    EXPECT_EQ(doc->name(), L"kept");

    const zv::file target(tmp.dir(), L"out.xml");
    doc->createChildNode(L"child")->setText(L"\x20AC");
    doc->save(target, xmlDocument::eUTF8);
    refPtr<xmlDocument> back = xmlDocument::createXmlDocument();
    back->load(target, false);
    EXPECT_EQ(textOf(*back), textOf(*doc));

    // A file that cannot be written raises the write error, stays as it was
    // and gets no temporary file beside it.
    const std::string before = zvtest::readAll(tmp.host() / "out.xml");
    ASSERT_TRUE(target.allowWrite(false));
    EXPECT_THROW(doc->save(target, xmlDocument::eUTF16), zv::writeFileException);
    EXPECT_EQ(zvtest::readAll(tmp.host() / "out.xml"), before);
    ASSERT_TRUE(target.allowWrite(true));
    const auto files = std::filesystem::directory_iterator(tmp.host());
    EXPECT_EQ(std::distance(begin(files), end(files)), 3); // empty.xml, bad.xml, out.xml
    EXPECT_THROW(doc->save(zv::file(tmp.dir(), L"no\\such\\folder.xml"), xmlDocument::eUTF8),
                 zv::writeFileException);
}

TEST(xmlDocument, SurvivesHostileInput) {
    // Deep nesting: parsed, copied, written and freed without recursion.
    const std::size_t depth = 200000;
    std::string open, close;
    for (std::size_t i = 0; i < depth; ++i) {
        open += "<a>";
        close += "</a>";
    }
    EXPECT_EQ(zvtest::errorText([&] { loaded(open); }), kInvalid);
    refPtr<xmlDocument> doc = loaded(open + close);
    std::size_t levels = 0;
    for (const xmlNode* n = doc.get(); !n->childNodes().empty(); n = n->childNodes()[0].get())
        ++levels;
    EXPECT_EQ(levels, depth - 1);
    refPtr<xmlNode> copy = xmlNode::createXmlNode(zv::const_refPtr<xmlNode>(doc));
    copy = nullptr;
    doc = nullptr;

    // A long chain of references is decoded once, in linear time.
    std::string chain = "<a>";
    for (int i = 0; i < 200000; ++i)
        chain += "&amp;";
    chain += "lt;</a>";
    EXPECT_EQ(loaded(chain)->text(), std::wstring(200000 - 1, L'&') + L"&lt;");
}

TEST(xmlNode, ParsesWideTextAndWritesWithIndent) {
    refPtr<xmlNode> n = xmlNode::createXmlNode(L"old");
    const wchar_t* text = L"<!-- c --> <a><b x='&#x41;'/></a> rest";
    const wchar_t* end = n->parseText(text, false);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(std::wstring(end), L" rest");
    zv::string out = L">>";
    n->getText(out, L"\t");
    EXPECT_EQ(out, L">>\t<a>\n\t   <b x=\"A\"/>\n\t</a>\n");
    const wchar_t* closing = L"  </x><y/>";
    EXPECT_EQ(n->parseText(closing, false), closing + 2); // an end tag first: the node stays
    EXPECT_EQ(n->parseText(L"no element", false), nullptr);
    EXPECT_EQ(n->name(), L"a");
    EXPECT_EQ(zvtest::errorText([&] { n->parseText(nullptr, false); }),
              L"Unexpected error occurred (xmlNode::parseText: NULL specified for pText)");
    EXPECT_EQ(zvtest::errorText([] { xmlNode::createXmlNode(zv::const_refPtr<xmlNode>()); }),
              L"Unexpected error occurred (xmlNode::createXmlNode: NULL specified for pNode)");
}
