// zvCompoundDoc.h - many named binary blocks in one file.
//
//     zv::compoundDocWriter writer(zv::file(L"C:\\data\\job.zvc"));
//     writer.write("header", head, headSize);   // creates the document
//     writer.write("points", points, pointsSize);
//     writer.close();                            // directory and trailer
//
//     zv::compoundDocReader reader(zv::file(L"C:\\data\\job.zvc"));
//     reader.open();
//     zv::binaryBuffer points;
//     if (reader.read("points", points)) { ... }
//
// File format (integers little-endian, 64 bits):
//   data       the blocks' bytes back to back, in the order written
//   directory  at offset D: "zvcompoundDoc" (13 bytes, no terminator); per
//              block in name order (unsigned bytes, a prefix first): name
//              length (1 to 128), the name's bytes, start offset, end offset
//              (one past the last byte); then a 0 length
//   trailer    the last 21 bytes: "zvcompoundDoc" and D
//
// The writer builds a new document in a temporary file beside the target and
// puts it in the target's place at the first `flush` or `close`, so the old
// document stays whole until then. After a flush it goes on appending in the
// file itself: the next block overwrites the directory and the next flush or
// close writes a new one behind it. Blocks stay below 4 GiB each; the
// document may grow beyond.
//
// The reader checks the whole directory at `open` (every block must lie
// before the directory, blocks must not overlap) and rejects anything else
// as an invalid format, so later reads never trust a field they have not
// checked.
#pragma once

#include "zvDefs.h"
#include "zvFile.h"

#include <string>
#include <vector>

namespace zv {

class binaryBuffer;

/// Writes a compound document. Used by one thread at a time.
class ZV_API compoundDocWriter {
public:
    /// Remembers the file; nothing is opened.
    explicit compoundDocWriter(const zv::file& target);
    /// Closes the document; a failure is logged, never thrown. While an
    /// exception leaves the writer's scope, a document that is not yet in
    /// the target's place is dropped instead, and the old target stays.
    ~compoundDocWriter();
    compoundDocWriter(const compoundDocWriter&) = delete;
    compoundDocWriter& operator=(const compoundDocWriter&) = delete;

    /// Starts a new, empty document in a temporary file beside the target;
    /// the target itself is replaced at the first `flush` or `close`. Throws
    /// `unexpectedErrorException` when the writer is already open and
    /// `writeFileException` when the file cannot be written (a read-only
    /// target gives the cause `fileWriteProtectedException`).
    void create();
    /// Appends one block, creating the document first when it is not open.
    /// The name must have 1 to 128 bytes and must not have been written yet
    /// (`unexpectedErrorException`, nothing written). A failed write throws
    /// `writeFileException`; the block is not entered and the next one
    /// starts where it would have.
    void write(const char* name, const void* data, unsigned int size);
    /// Writes directory and trailer and puts the document in the target's
    /// place, so readers see every block written so far; the next block
    /// overwrites the directory. Throws `unexpectedErrorException` when not
    /// open, `writeFileException` on a write failure.
    void flush();
    /// Writes directory and trailer and closes the file; nothing when not
    /// open. Any failure of writing, replacing or closing throws
    /// `writeFileException`; a document not yet in the target's place is
    /// then dropped and the old target stays as it was.
    void close();
    /// Whether a document is being written.
    bool isOpen() const;

    /// The document's file.
    const zv::file& file() const;

private:
    struct impl;
    impl* m_impl;
};

/// One block of a compound document: its name and its bytes' offsets.
struct compoundDocBlock {
    /// The block's name.
    std::string name;
    /// Offset of the block's first byte.
    unsigned long long start = 0;
    /// Offset just past the block's last byte.
    unsigned long long end = 0;
};

/// Reads a compound document. Used by one thread at a time.
class ZV_API compoundDocReader {
public:
    /// Remembers the file; nothing is opened.
    explicit compoundDocReader(const zv::file& source);
    ~compoundDocReader();
    compoundDocReader(const compoundDocReader&) = delete;
    compoundDocReader& operator=(const compoundDocReader&) = delete;

    /// Opens the file and loads its directory. Throws
    /// `unexpectedErrorException` when already open, `readFileException`
    /// when the file cannot be opened and `invalidFileFormatException` for
    /// anything that is not a whole, consistent compound document (the
    /// reader is closed and its directory empty then).
    void open();
    /// True while open; otherwise whether the file ends in a trailer that
    /// points at a place for a directory. Never throws.
    bool isValid() const;
    /// Whether the loaded directory holds `name`.
    bool has(const char* name) const;
    /// The size of the block `name`; 0 for an unknown name, 0xFFFFFFFF for a
    /// block of 4 GiB or more.
    unsigned int length(const char* name) const;
    /// Replaces the content of `buffer` with the block `name`. False, buffer
    /// unchanged, for an unknown name, a block of 4 GiB or more, a closed
    /// reader or too little memory; false with an empty buffer when the
    /// file could not be read (it changed since `open`).
    bool read(const char* name, binaryBuffer& buffer);
    /// The loaded directory in name order.
    std::vector<compoundDocBlock> blocks() const;
    /// Closes the file; the loaded directory is kept.
    void close();

    /// The document's file.
    const zv::file& file() const;

private:
    struct impl;
    impl* m_impl;
};

} // namespace zv
