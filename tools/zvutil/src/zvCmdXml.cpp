// zvutil xml: format, query and check XML documents through zv::xmlDocument.
#include "zvCli.h"

#include "zvBinaryBuffer.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvFsEntryName.h"
#include "zvXml.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace zvcli {

namespace {

using zv::refPtr;
using zv::xmlDocument;
using zv::xmlNode;

zv::file libraryFile(const std::string& arg) {
    return zv::file(zv::fsEntryName::fromHostPath(wideFromArgument(arg)));
}

// Loads `name`; false (with a message on `err`) when it cannot be read, is no
// valid XML or holds no element.
bool loadDocument(context& ctx, const std::string& name, bool keepBlanks, refPtr<xmlDocument>& doc) {
    doc = xmlDocument::createXmlDocument();
    doc->load(libraryFile(name), keepBlanks);
    if (doc->name().empty()) {
        ctx.err << "zvutil xml: '" << name << "' holds no element\n";
        return false;
    }
    return true;
}

std::size_t countElements(const xmlNode& top) {
    std::size_t count = 0;
    std::vector<const xmlNode*> work{&top};
    while (!work.empty()) {
        const xmlNode* n = work.back();
        work.pop_back();
        ++count;
        for (const refPtr<xmlNode>& child : n->childNodes())
            work.push_back(child.get());
    }
    return count;
}

int runFmt(context& ctx) {
    std::string in, out;
    bool utf16 = false, keepBlanks = false;
    for (std::size_t i = 1; i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if ((a == "-o" || a == "--output") && i + 1 < ctx.args.size() && out.empty()) {
            out = ctx.args[++i];
        } else if (a == "--utf16") {
            utf16 = true;
        } else if (a == "--keep-blanks") {
            keepBlanks = true;
        } else if (a.size() > 1 && a[0] == '-') {
            in.clear();
            break;
        } else if (in.empty()) {
            in = a;
        } else {
            in.clear();
            break;
        }
    }
    if (in.empty()) {
        ctx.err
            << "zvutil xml: expected fmt FILE [-o OUT] [--utf16] [--keep-blanks] (see 'zvutil xml --help')\n";
        return exitUsage;
    }
    refPtr<xmlDocument> doc;
    if (!loadDocument(ctx, in, keepBlanks, doc))
        return exitFailure;
    const xmlDocument::eEncoding encoding = utf16 ? xmlDocument::eUTF16 : xmlDocument::eUTF8;
    if (!out.empty()) {
        doc->save(libraryFile(out), encoding);
        return exitOk;
    }
    zv::binaryBuffer buffer;
    doc->save(buffer, encoding);
    // On a stream the UTF-8 byte-order mark only gets in the way.
    const unsigned skip = utf16 ? 0 : 3;
    ctx.out.write(buffer.data() + skip, static_cast<std::streamsize>(buffer.logicalLength() - skip));
    return exitOk;
}

struct step {
    std::wstring name; // "*" for any
    unsigned index;    // 1-based; 0 for all
};

// Parses "a/b[2]/c@attr"; false when malformed.
bool parsePath(const std::wstring& path, std::vector<step>& steps, std::wstring& attribute,
               bool& hasAttribute) {
    std::wstring elements = path;
    hasAttribute = false;
    const std::size_t at = path.find(L'@');
    if (at != std::wstring::npos) {
        attribute = path.substr(at + 1);
        elements = path.substr(0, at);
        hasAttribute = true;
        if (attribute.empty() || attribute.find_first_of(L"/[]@") != std::wstring::npos)
            return false;
    }
    if (!elements.empty() && elements.back() == L'/')
        elements.pop_back();
    std::size_t start = 0;
    while (start < elements.size()) {
        std::size_t end = elements.find(L'/', start);
        if (end == std::wstring::npos)
            end = elements.size();
        std::wstring part = elements.substr(start, end - start);
        step s{part, 0};
        const std::size_t open = part.find(L'[');
        if (open != std::wstring::npos) {
            if (part.back() != L']' || open + 2 >= part.size())
                return false;
            const std::wstring digits = part.substr(open + 1, part.size() - open - 2);
            if (digits.find_first_not_of(L"0123456789") != std::wstring::npos || digits.size() > 9)
                return false;
            s.index = static_cast<unsigned>(std::wcstoul(digits.c_str(), nullptr, 10));
            s.name = part.substr(0, open);
            if (s.index == 0)
                return false;
        }
        if (s.name.empty() || s.name.find_first_of(L"[]") != std::wstring::npos)
            return false;
        steps.push_back(s);
        start = end + 1;
    }
    return true;
}

int runGet(context& ctx) {
    if (ctx.args.size() != 3) {
        ctx.err << "zvutil xml: expected get FILE PATH (see 'zvutil xml --help')\n";
        return exitUsage;
    }
    std::vector<step> steps;
    std::wstring attribute;
    bool wantAttribute = false;
    if (!parsePath(wideFromArgument(ctx.args[2]), steps, attribute, wantAttribute)) {
        ctx.err << "zvutil xml: invalid path '" << ctx.args[2] << "'\n";
        return exitUsage;
    }
    refPtr<xmlDocument> doc;
    if (!loadDocument(ctx, ctx.args[1], false, doc))
        return exitFailure;
    std::vector<const xmlNode*> current{doc.get()};
    for (const step& s : steps) {
        std::vector<const xmlNode*> next;
        for (const xmlNode* n : current) {
            unsigned seen = 0;
            for (const refPtr<xmlNode>& child : n->childNodes()) {
                if (s.name != L"*" && child->name() != s.name)
                    continue;
                ++seen;
                if (s.index == 0 || s.index == seen)
                    next.push_back(child.get());
                if (s.index == seen)
                    break;
            }
        }
        current.swap(next);
    }
    std::size_t found = 0;
    for (const xmlNode* n : current) {
        zv::string value;
        if (wantAttribute) {
            if (!n->getAttribute(attribute, value))
                continue;
        } else {
            value = n->text();
        }
        ctx.out << narrowForOutput(value) << "\n";
        ++found;
    }
    return found > 0 ? exitOk : exitFailure;
}

int runCheck(context& ctx) {
    if (ctx.args.size() != 2) {
        ctx.err << "zvutil xml: expected check FILE (see 'zvutil xml --help')\n";
        return exitUsage;
    }
    const std::string& name = ctx.args[1];
    refPtr<xmlDocument> doc = xmlDocument::createXmlDocument();
    try {
        doc->load(libraryFile(name), false);
    } catch (const zv::exception& e) {
        ctx.out << name << ": invalid: " << narrowForOutput(e.text()) << "\n";
        return exitFailure;
    }
    if (doc->name().empty()) {
        ctx.out << name << ": invalid: no element found\n";
        return exitFailure;
    }
    ctx.out << name << ": ok, root '" << narrowForOutput(doc->name()) << "', " << countElements(*doc)
            << " elements\n";
    return exitOk;
}

} // namespace

int cmdXml(context& ctx) {
    const std::string sub = ctx.args.empty() ? std::string() : ctx.args[0];
    if (sub == "fmt")
        return runFmt(ctx);
    if (sub == "get")
        return runGet(ctx);
    if (sub == "check")
        return runCheck(ctx);
    ctx.err << "zvutil xml: expected fmt, get or check (see 'zvutil xml --help')\n";
    return exitUsage;
}

} // namespace zvcli
