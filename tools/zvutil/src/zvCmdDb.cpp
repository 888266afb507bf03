// zvutil db: list, dump and check object databases without the application's
// classes, straight from their XML.
#include "zvCli.h"

#include "zvBinaryBuffer.h"
#include "zvDistributedXmlDatabase.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvFsEntryName.h"
#include "zvGuid.h"
#include "zvXml.h"

#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace zvcli {

namespace {

using zv::refPtr;
using zv::xmlDocument;
using zv::xmlNode;

const std::wstring kTableSuffix = L"_table";

std::wstring lower(std::wstring s) {
    for (wchar_t& c : s)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return s;
}

// A database as the reader sees it: its tables by class and their entries by id.
struct database {
    refPtr<xmlDocument> doc;
    std::wstring versionText; // empty when the root has none
    unsigned version = 2;
    struct table {
        std::wstring className;
        const xmlNode* node;
    };
    std::vector<table> tables;
    std::map<std::wstring, const table*> byExact, byLower;

    // The class a table element stands for: its name less "_table" (any case).
    static bool classOf(const xmlNode& n, std::wstring& cls) {
        const std::wstring& name = n.name();
        if (name.size() <= kTableSuffix.size() ||
            lower(name.substr(name.size() - kTableSuffix.size())) != kTableSuffix)
            return false;
        cls = name.substr(0, name.size() - kTableSuffix.size());
        return true;
    }

    const table* find(const std::wstring& cls) const {
        auto it = byExact.find(cls);
        if (it != byExact.end())
            return it->second;
        auto lt = byLower.find(lower(cls));
        return lt == byLower.end() ? nullptr : lt->second;
    }

    // The id an entry is known by: its "id" attribute, or in version 1 the
    // number after the class name.
    std::wstring idOf(const table& t, const xmlNode& entry) const {
        if (version == 1) {
            const std::wstring name = lower(entry.name());
            const std::wstring cls = lower(t.className);
            return name.compare(0, cls.size(), cls) == 0 ? name.substr(cls.size()) : std::wstring();
        }
        zv::string id;
        entry.getAttribute(L"id", id);
        return id;
    }
};

zv::file libraryFile(const std::string& arg) {
    return zv::file(zv::fsEntryName::fromHostPath(wideFromArgument(arg)));
}

bool loadFolder(const zv::directory& dir, database& db, std::string& problem);

// Lists the tables of the document's classes and indexes them by class name,
// exactly and ignoring case.
void indexTables(database& db) {
    db.tables.reserve(db.doc->childNodes().size());
    for (const refPtr<xmlNode>& child : db.doc->childNodes()) {
        std::wstring cls;
        if (database::classOf(*child, cls))
            db.tables.push_back({cls, child.get()});
    }
    for (const database::table& t : db.tables) {
        db.byExact.emplace(t.className, &t);
        db.byLower.emplace(lower(t.className), &t);
    }
}

// Loads a database; the text of what went wrong in `problem` when it cannot.
bool loadDatabase(const std::string& name, database& db, std::string& problem) {
    const zv::directory dir(zv::fsEntryName::fromHostPath(wideFromArgument(name), true));
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::path(hostOf(dir)), ec))
        return loadFolder(dir, db, problem);
    const zv::file f = libraryFile(name);
    if (!f.exists()) {
        problem = "file not found";
        return false;
    }
    zv::binaryBuffer bytes;
    if (!bytes.readFromFile(f)) {
        problem = "cannot be read";
        return false;
    }
    db.doc = xmlDocument::createXmlDocument();
    try {
        db.doc->load(bytes.data(), bytes.logicalLength(), false);
    } catch (const zv::exception& e) {
        problem = "invalid XML: " + narrowForOutput(e.text());
        return false;
    }
    if (db.doc->name() != L"zvDatabase") {
        problem = "not an object database (root '" + narrowForOutput(db.doc->name()) + "')";
        return false;
    }
    zv::string version;
    if (db.doc->getAttribute(L"version", version)) {
        db.versionText = version;
        db.version = version == L"1" ? 1 : 2;
    }
    indexTables(db);
    return true;
}

// A distributed database: the table of every class file "N.zvdb" in the
// folder under one root, so that the folder is listed, dumped and checked as
// one database and references between class files resolve as the library
// resolves them. Other tables in a class file are not read, as the library
// does not read them either. All class files must have one format version.
bool loadFolder(const zv::directory& dir, database& db, std::string& problem) {
    db.doc = xmlDocument::createXmlDocument();
    db.doc->setName(L"zvDatabase");
    const zv::distributedXmlDatabase folder(dir);
    bool first = true;
    for (const zv::string& cls : folder.classNames()) {
        const std::string fileName = hostOf(folder.classFile(cls));
        database part;
        std::string why;
        if (!loadDatabase(fileName, part, why)) {
            problem = fileName + ": " + why;
            return false;
        }
        if (!first && part.version != db.version) {
            problem = fileName + ": version " + std::to_string(part.version) +
                      " among class files of version " + std::to_string(db.version);
            return false;
        }
        first = false;
        db.version = part.version;
        db.versionText = part.versionText;
        const database::table* own = part.find(cls);
        if (!own)
            continue; // an empty class
        refPtr<xmlNode> table(const_cast<xmlNode*>(own->node));
        part.doc->removeNode(table);
        table->setName(cls + kTableSuffix);
        db.doc->addNode(table);
    }
    indexTables(db);
    return true;
}

// A text on one line: line breaks and tabs shown as \n, \r and \t.
std::string oneLine(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n')
            out += L"\\n";
        else if (c == L'\r')
            out += L"\\r";
        else if (c == L'\t')
            out += L"\\t";
        else
            out += c;
    }
    return narrowForOutput(out);
}

// A property element that holds a reference: a "type", no children and an id text.
bool isReference(const xmlNode& p, zv::string& type) {
    return p.childNodes().empty() && !p.text().empty() && p.getAttribute(L"type", type);
}

std::string propertyName(const xmlNode& p) {
    zv::string name;
    if (p.name() == L"Property" && p.getAttribute(L"name", name))
        return '"' + oneLine(name) + '"';
    return narrowForOutput(p.name());
}

void dumpProperties(context& ctx, const xmlNode& object) {
    // Depth first without recursion: (node, depth), children pushed in reverse.
    std::vector<std::pair<const xmlNode*, std::size_t>> work;
    for (auto it = object.childNodes().rbegin(); it != object.childNodes().rend(); ++it)
        work.emplace_back(it->get(), 1);
    while (!work.empty()) {
        const auto [p, depth] = work.back();
        work.pop_back();
        const std::string indent(2 * depth, ' ');
        zv::string type;
        if (isReference(*p, type)) {
            ctx.out << indent << propertyName(*p) << " -> "
                    << (p->text() == L"0" ? std::string("null")
                                          : narrowForOutput(type) + "{" + oneLine(p->text()) + "}")
                    << "\n";
        } else if (!p->childNodes().empty() || p->hasAttribute(L"type")) {
            ctx.out << indent << propertyName(*p);
            if (p->getAttribute(L"type", type))
                ctx.out << " (" << narrowForOutput(type) << ")";
            ctx.out << "\n";
            for (auto it = p->childNodes().rbegin(); it != p->childNodes().rend(); ++it)
                work.emplace_back(it->get(), depth + 1);
        } else {
            ctx.out << indent << propertyName(*p) << " = " << oneLine(p->text()) << "\n";
        }
    }
}

int runTables(context& ctx) {
    if (ctx.args.size() != 2) {
        ctx.err << "zvutil db: expected tables FILE (see 'zvutil db --help')\n";
        return exitUsage;
    }
    database db;
    std::string problem;
    if (!loadDatabase(ctx.args[1], db, problem)) {
        ctx.err << "zvutil db: " << ctx.args[1] << ": " << problem << "\n";
        return exitFailure;
    }
    for (const database::table& t : db.tables)
        ctx.out << narrowForOutput(t.className) << " " << t.node->childNodes().size() << "\n";
    return exitOk;
}

int runDump(context& ctx) {
    std::string file;
    std::wstring cls, id;
    bool ok = ctx.args.size() >= 2;
    for (std::size_t i = 1; ok && i < ctx.args.size(); ++i) {
        const std::string& a = ctx.args[i];
        if (a == "--class" && i + 1 < ctx.args.size())
            cls = wideFromArgument(ctx.args[++i]);
        else if (a == "--id" && i + 1 < ctx.args.size())
            id = lower(wideFromArgument(ctx.args[++i]));
        else if (!a.empty() && a[0] != '-' && file.empty())
            file = a;
        else
            ok = false;
    }
    if (!ok || file.empty()) {
        ctx.err << "zvutil db: expected dump FILE [--class NAME] [--id GUID] (see 'zvutil db --help')\n";
        return exitUsage;
    }
    database db;
    std::string problem;
    if (!loadDatabase(file, db, problem)) {
        ctx.err << "zvutil db: " << file << ": " << problem << "\n";
        return exitFailure;
    }
    std::size_t shown = 0;
    for (const database::table& t : db.tables) {
        if (!cls.empty() && db.find(cls) != &t)
            continue;
        for (const refPtr<xmlNode>& entry : t.node->childNodes()) {
            const std::wstring entryId = db.idOf(t, *entry);
            if (!id.empty() && lower(entryId) != id)
                continue;
            ++shown;
            ctx.out << narrowForOutput(t.className);
            if (!entryId.empty())
                ctx.out << "{" << oneLine(entryId) << "}";
            ctx.out << "\n";
            dumpProperties(ctx, *entry);
        }
    }
    return shown > 0 || (cls.empty() && id.empty()) ? exitOk : exitFailure;
}

int runCheck(context& ctx) {
    if (ctx.args.size() != 2) {
        ctx.err << "zvutil db: expected check FILE (see 'zvutil db --help')\n";
        return exitUsage;
    }
    const std::string& file = ctx.args[1];
    database db;
    std::string problem;
    if (!loadDatabase(file, db, problem)) {
        ctx.out << file << ": " << problem << "\n";
        return exitFailure;
    }
    std::size_t findings = 0;
    auto finding = [&](const std::string& text) {
        ++findings;
        ctx.out << file << ": " << text << "\n";
    };
    if (!db.versionText.empty() && db.versionText != L"1" && db.versionText != L"2")
        finding("unknown version '" + oneLine(db.versionText) + "'");

    // Every entry's id, per table; duplicates and entries without id first.
    std::map<const database::table*, std::set<std::wstring>> ids;
    std::size_t objects = 0;
    for (const database::table& t : db.tables) {
        std::set<std::wstring>& known = ids[&t];
        for (const refPtr<xmlNode>& entry : t.node->childNodes()) {
            ++objects;
            std::wstring id = db.idOf(t, *entry);
            if (db.version == 1)
                id = lower(id);
            if (id.empty()) {
                // Plain values stored as table entries have no id; only objects need one.
                continue;
            }
            if (db.version != 1) {
                zv::guid g;
                if (!zv::guid::tryFromString(id, g) || !g.isInitialized())
                    finding("invalid id '" + oneLine(id) + "' in " + narrowForOutput(t.className));
                id = lower(id);
            }
            if (!known.insert(id).second)
                finding("duplicate id " + oneLine(id) + " in " + narrowForOutput(t.className));
        }
    }
    // References inside every entry, nested values included.
    for (const database::table& t : db.tables) {
        for (const refPtr<xmlNode>& entry : t.node->childNodes()) {
            std::vector<const xmlNode*> work;
            for (const refPtr<xmlNode>& p : entry->childNodes())
                work.push_back(p.get());
            while (!work.empty()) {
                const xmlNode* p = work.back();
                work.pop_back();
                for (const refPtr<xmlNode>& c : p->childNodes())
                    work.push_back(c.get());
                zv::string type;
                if (!isReference(*p, type) || p->text() == L"0")
                    continue;
                const database::table* target = db.find(type);
                const std::wstring ref = lower(p->text());
                if (!target || !ids[target].count(ref))
                    finding("dangling reference " + narrowForOutput(t.className) + "{" +
                            oneLine(db.idOf(t, *entry)) + "} " + propertyName(*p) + " -> " +
                            narrowForOutput(type) + "{" + oneLine(p->text()) + "}");
            }
        }
    }
    if (findings > 0)
        return exitFailure;
    ctx.out << file << ": ok, version " << db.version << ", " << db.tables.size() << " tables, " << objects
            << " entries\n";
    return exitOk;
}

} // namespace

int cmdDb(context& ctx) {
    const std::string sub = ctx.args.empty() ? std::string() : ctx.args[0];
    if (sub == "tables")
        return runTables(ctx);
    if (sub == "dump")
        return runDump(ctx);
    if (sub == "check")
        return runCheck(ctx);
    ctx.err << "zvutil db: expected tables, dump or check (see 'zvutil db --help')\n";
    return exitUsage;
}

} // namespace zvcli
