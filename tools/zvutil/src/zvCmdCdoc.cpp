// zvutil cdoc: list, extract, add and pack the named blocks of compound
// documents through zv::compoundDocReader and zv::compoundDocWriter.
#include "zvCli.h"

#include "zvBinaryBuffer.h"
#include "zvCompoundDoc.h"
#include "zvException.h"
#include "zvFile.h"
#include "zvFsEntryName.h"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace zvcli {

namespace {

zv::file libraryFile(const std::string& arg) {
    return zv::file(zv::fsEntryName::fromHostPath(wideFromArgument(arg)));
}

// One block to be written: its name and its bytes.
struct block {
    std::string name;
    zv::binaryBuffer data;
};

// Reads SRC ('-' is standard input) into `out`; false with a message.
bool readSource(context& ctx, const std::string& src, zv::binaryBuffer& out) {
    if (src == "-") {
        const std::string bytes((std::istreambuf_iterator<char>(ctx.in)), std::istreambuf_iterator<char>());
        if (bytes.size() > 0xFFFFFFFFu) {
            ctx.err << "zvutil cdoc: standard input is larger than a block may be (4 GiB)\n";
            return false;
        }
        out.write(bytes.data(), static_cast<unsigned>(bytes.size()));
        return true;
    }
    const zv::file f = libraryFile(src);
    if (!f.exists() || !out.readFromFile(f)) {
        ctx.err << "zvutil cdoc: cannot read '" << src << "'\n";
        return false;
    }
    return true;
}

void writeAll(const zv::file& target, std::vector<block>& blocks) {
    zv::compoundDocWriter writer(target);
    writer.create();
    for (block& b : blocks)
        writer.write(b.name.c_str(), b.data.data(), b.data.logicalLength());
    writer.close();
}

int cdocLs(context& ctx, const std::vector<std::string>& args) {
    if (args.size() != 1)
        return exitUsage;
    zv::compoundDocReader reader(libraryFile(args[0]));
    reader.open();
    for (const zv::compoundDocBlock& b : reader.blocks()) {
        char size[32];
        std::snprintf(size, sizeof size, "%12llu  ", b.end - b.start);
        ctx.out << size << b.name << "\n";
    }
    return exitOk;
}

int cdocCat(context& ctx, const std::vector<std::string>& args) {
    if (args.size() != 2)
        return exitUsage;
    zv::compoundDocReader reader(libraryFile(args[0]));
    reader.open();
    zv::binaryBuffer data;
    if (!reader.has(args[1].c_str())) {
        ctx.err << "zvutil cdoc: no block '" << args[1] << "' in '" << args[0] << "'\n";
        return exitFailure;
    }
    if (!reader.read(args[1].c_str(), data)) {
        ctx.err << "zvutil cdoc: cannot read block '" << args[1] << "' of '" << args[0] << "'\n";
        return exitFailure;
    }
    ctx.out.write(data.data(), static_cast<std::streamsize>(data.logicalLength()));
    return ctx.out.flush() ? exitOk : exitFailure;
}

// Rewrites the document with one more block: the old blocks are read whole
// and the new document replaces the old one in one step.
int cdocAdd(context& ctx, const std::vector<std::string>& args) {
    if (args.size() != 3)
        return exitUsage;
    const zv::file target = libraryFile(args[0]);
    std::vector<block> blocks;
    {
        zv::compoundDocReader reader(target);
        reader.open();
        if (reader.has(args[1].c_str())) {
            ctx.err << "zvutil cdoc: '" << args[0] << "' holds a block '" << args[1] << "' already\n";
            return exitFailure;
        }
        for (const zv::compoundDocBlock& b : reader.blocks()) {
            blocks.push_back(block{b.name, zv::binaryBuffer()});
            if (b.name.find('\0') != std::string::npos || !reader.read(b.name.c_str(), blocks.back().data)) {
                ctx.err << "zvutil cdoc: cannot read block '" << b.name << "' of '" << args[0] << "'\n";
                return exitFailure;
            }
        }
    }
    blocks.push_back(block{args[1], zv::binaryBuffer()});
    if (!readSource(ctx, args[2], blocks.back().data))
        return exitFailure;
    writeAll(target, blocks);
    return exitOk;
}

int cdocCreate(context& ctx, const std::vector<std::string>& args) {
    if (args.empty())
        return exitUsage;
    std::vector<block> blocks;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::size_t eq = args[i].find('=');
        if (eq == std::string::npos) {
            ctx.err << "zvutil cdoc: '" << args[i] << "' is not NAME=SRC\n";
            return exitUsage;
        }
        blocks.push_back(block{args[i].substr(0, eq), zv::binaryBuffer()});
        if (!readSource(ctx, args[i].substr(eq + 1), blocks.back().data))
            return exitFailure;
    }
    writeAll(libraryFile(args[0]), blocks);
    return exitOk;
}

} // namespace

int cmdCdoc(context& ctx) {
    const std::vector<std::string> rest(ctx.args.begin() + (ctx.args.empty() ? 0 : 1), ctx.args.end());
    const std::string sub = ctx.args.empty() ? std::string() : ctx.args[0];
    int rc = exitUsage;
    if (sub == "ls")
        rc = cdocLs(ctx, rest);
    else if (sub == "cat")
        rc = cdocCat(ctx, rest);
    else if (sub == "add")
        rc = cdocAdd(ctx, rest);
    else if (sub == "create")
        rc = cdocCreate(ctx, rest);
    if (rc == exitUsage)
        ctx.err
            << "zvutil cdoc: expected ls FILE, cat FILE NAME, add FILE NAME SRC or create FILE [NAME=SRC]... "
               "(see 'zvutil cdoc --help')\n";
    return rc;
}

} // namespace zvcli
