// zvKeyValueFile.h - line-oriented files of sections and keys, read and
// written in three dialects, and whole files scrambled with a fixed key.
//
// The bracket dialect (`keyValueFileReader`, `keyValueFileWriter`, and
// `iniFileWriter` with "=" and ";"):
//
//     [Machine]            ; a comment runs from its marker to the line's end
//     Speed   = 1200
//     Tools   = drill, \   (continued when a continuation marker is set)
//               mill
//
// The cfg dialect (`cfgFileReader`, `cfgFileWriter`): sections open with
// "**name" and close with "**END name"; a key is separated from its value by
// blanks or tabs. The pcf dialect (`pcfFileWriter`) is the bracket dialect
// with keys and values in double quotes.
//
//     zv::keyValueFileReader reader(zv::file(L"C:\\app\\app.ini"), L"=", L";", L"");
//     zv::string section, key, value;
//     if (reader.open())
//         while (reader.readSection(section))
//             while (reader.readKey(key, value)) { ... }
//
//     zv::iniFileWriter writer(zv::file(L"C:\\app\\app.ini"));
//     bool ok = writer.open(true) && writer.writeSection(L"Machine", L"") &&
//               writer.writeKey(L"Speed", L"1200", L"") && writer.close();
//
// Reading: a file is read whole. It is UTF-8 after an EF BB BF byte-order
// mark, UTF-16LE after FF FE, else text in the ANSI code page. Lines end at
// CR LF or LF (a lone CR stays in the text); lines that are empty, hold only
// blanks and tabs or only a comment are skipped. Reading is linear in the
// text's length, however long its lines.
//
// Writing: lines are stored in the ANSI code page, each ended by CR LF on
// every platform. Nothing reaches the target until `close`, which replaces
// the file in one step: readers see the old file or the new one, and a
// failure anywhere leaves the old file as it was and makes `close` answer
// false. A key, value, name or comment holding CR or LF is refused (false)
// rather than written as lines of its own. Nothing here throws for file
// errors; readers and writers have no lock.
#pragma once

#include "zvBinaryBuffer.h"
#include "zvDefs.h"
#include "zvFile.h"
#include "zvString.h"

#include <cstdint>
#include <memory>

namespace zv {

class atomicFileWriter;

/// Reads the bracket dialect: `[name]` sections and `key <separator> value`
/// lines. Call `open`, then alternately `readSection` and, until it answers
/// false, `readKey`. Keys before the first section are read by calling
/// `readKey` before the first `readSection`.
class ZV_API keyValueFileReader {
public:
    /// A reader of `f`; nothing is read before `open`. An empty comment
    /// marker means no comments, an empty continuation marker no continued
    /// values.
    keyValueFileReader(const file& f, const string& separator, const string& commentMarker,
                       const string& continuationMarker);
    /// A reader of text already in memory: UTF-16LE code units (a leading
    /// byte-order mark is skipped, an odd last byte ignored). Open at once.
    keyValueFileReader(const binaryBuffer& text, const string& separator, const string& commentMarker,
                       const string& continuationMarker);
    /// A copy, cursor included.
    keyValueFileReader(const keyValueFileReader&) = default;
    /// Assignment, cursor included.
    keyValueFileReader& operator=(const keyValueFileReader&) = default;
    virtual ~keyValueFileReader();

    /// Drops the text and takes `f`, to be read by the next `open`.
    void setFile(const file& f);
    /// Drops the text and takes a copy of `text` (as the buffer constructor).
    void setBuffer(const binaryBuffer& text);
    /// True at once when text is loaded; otherwise reads the file whole,
    /// decodes it and starts at its beginning. False when it cannot be read
    /// (an empty file is read: true, with nothing in it).
    bool open();
    /// Drops the text.
    void close();

    /// The next section's name (without brackets, tabs deleted, blanks
    /// trimmed outside the brackets); lines in between are skipped. False,
    /// `name` empty, at the end of the text.
    virtual bool readSection(string& name);
    /// The next key of the current section: the line split at the first
    /// separator, tabs deleted, blanks trimmed around key and value; a line
    /// without separator is a key with an empty value. A value ending in the
    /// continuation marker loses it and gets the next line appended. False at
    /// the next section (left for `readSection`) or the end of the text.
    /// Lines whose key is empty are skipped.
    virtual bool readKey(string& key, string& value);

    /// Converts a file's bytes in place to the UTF-16LE code units the buffer
    /// constructor takes: UTF-8 after its byte-order mark, UTF-16LE after its
    /// mark, else the ANSI code page. The mark itself is dropped. For text
    /// that did not come from a file, such as an unscrambled buffer.
    static bool decodeFileBytes(binaryBuffer& bytes);

protected:
    /// The next line that is not empty once its comment is cut, without its
    /// line end, and the offset (in characters of the text) at which this
    /// call began reading. False at the end of the text.
    bool readLine(string& line, long& position);
    /// Moves the cursor to `position`, an offset that `readLine` gave; a
    /// position outside the text puts it at the end.
    void rewind(long position);

    /// The key-value separator.
    const string& separator() const { return m_separator; }
    /// The comment marker (empty: no comments).
    const string& commentMarker() const { return m_commentMarker; }
    /// The continuation marker (empty: no continued values).
    const string& continuationMarker() const { return m_continuationMarker; }

private:
    void takeText(const binaryBuffer& units);

    file m_file;
    string m_separator;
    string m_commentMarker;
    string m_continuationMarker;
    string m_text; // the whole text
    std::size_t m_cursor = 0;
    bool m_loaded = false; // m_text holds the text (possibly none)
};

/// Reads the cfg dialect: "**name" opens a section, "**END" (any line whose
/// name starts with "end", in any case) closes it; a key is separated from
/// its value by the first blank or tab. The separator is not used.
class ZV_API cfgFileReader : public keyValueFileReader {
public:
    /// The constructors of `keyValueFileReader`.
    using keyValueFileReader::keyValueFileReader;

    bool readSection(string& name) override;
    bool readKey(string& key, string& value) override;
};

/// Writes the bracket dialect with aligned columns:
/// `key <padding> <separator> value <padding> <marker>comment`.
class ZV_API keyValueFileWriter {
public:
    /// A writer of `f`; nothing is opened yet.
    keyValueFileWriter(const file& f, const string& separator, const string& commentMarker);
    keyValueFileWriter(const keyValueFileWriter&) = delete;
    keyValueFileWriter& operator=(const keyValueFileWriter&) = delete;
    /// Closes, keeping what was written (a failure is dropped silently).
    virtual ~keyValueFileWriter();

    /// Closes (keeping what was written) and takes `f`.
    void setFile(const file& f);
    /// The file written.
    const file& getFile() const { return m_file; }
    /// Closes, then starts a new content for the file: empty with
    /// `overwrite`, else the file's present bytes (nothing when it is
    /// missing), to which the lines are appended. False when the file
    /// cannot be written (read-only, a folder, no such folder) or, for
    /// appending, read.
    bool open(bool overwrite);
    /// True between `open` and `close` (or `discard`).
    bool isOpen() const { return m_out != nullptr; }

    /// The line "[name]", with the comment when given.
    virtual bool writeSection(const string& name, const string& comment);
    /// The line of `key` and `value`, aligned, with the comment when given.
    virtual bool writeKey(const string& key, const string& value, const string& comment);
    /// The line `commentMarker + text`.
    virtual bool writeCommentLine(const string& text);
    /// Replaces the file by what was written, in one step. False when a
    /// write failed before (the file is then left as it was) or the
    /// replacement fails; true when nothing was open.
    virtual bool close();
    /// Drops what was written since `open`; the file stays as it was.
    void discard();

    /// Keys are padded with blanks to this many characters (initially 0).
    void setKeyWidth(unsigned width) { m_keyWidth = width; }
    /// The key width.
    unsigned keyWidth() const { return m_keyWidth; }
    /// Values followed by a comment are padded to this many characters.
    void setValueWidth(unsigned width) { m_valueWidth = width; }
    /// The value width.
    unsigned valueWidth() const { return m_valueWidth; }
    /// When not empty, a line written before every section that does not
    /// start the file.
    void setLineBeforeSection(const string& line) { m_lineBeforeSection = line; }
    /// The same before every key.
    void setLineBeforeKey(const string& line) { m_lineBeforeKey = line; }

protected:
    /// Writes `line` and CR LF; false when no file is open, the line holds
    /// CR or LF, or the write fails.
    bool writeLine(const string& line);
    /// The key-value separator.
    const string& separator() const { return m_separator; }
    /// The comment marker.
    const string& commentMarker() const { return m_commentMarker; }
    /// Bytes in the new content so far.
    std::uint64_t position() const { return m_position; }

private:
    bool closeStream();

    file m_file;
    string m_separator;
    string m_commentMarker;
    string m_lineBeforeSection;
    string m_lineBeforeKey;
    unsigned m_keyWidth = 0;
    unsigned m_valueWidth = 0;
    std::unique_ptr<atomicFileWriter> m_out;
    std::uint64_t m_position = 0;
    bool m_failed = false;
};

/// The bracket dialect with "=" and ";": Windows INI files.
class ZV_API iniFileWriter : public keyValueFileWriter {
public:
    /// An INI writer of `f`.
    explicit iniFileWriter(const file& f) : keyValueFileWriter(f, L"=", L";") {}
};

/// Writes the cfg dialect: "**name <marker>comment" lines, each section
/// closed by "**END name" before the next one and by `close`.
class ZV_API cfgFileWriter : public keyValueFileWriter {
public:
    using keyValueFileWriter::keyValueFileWriter;
    ~cfgFileWriter() override;

    /// The line "**name", closing the open section first.
    bool writeSection(const string& name, const string& comment) override;
    bool close() override;

private:
    string m_section;
};

/// Writes keys and values in double quotes (those already starting with one
/// are kept as they are; empty ones stay empty).
class ZV_API pcfFileWriter : public keyValueFileWriter {
public:
    using keyValueFileWriter::keyValueFileWriter;

    /// Both in double quotes (see above).
    bool writeKey(const string& key, const string& value, const string& comment) override;
    /// Writes `path` with every backslash turned into "/".
    virtual bool writeDirOrFile(const string& key, const string& path, const string& comment);
};

/// The library's fixed scrambling key: 26 bytes and a NUL. Files scrambled
/// with it stay readable only as long as it never changes.
ZV_API const char* versionKey();

/// Appends the unscrambled bytes of `f` to `buffer` (what it held before is
/// kept as it was). False, buffer unchanged, when the file is missing or
/// cannot be read. Give the result to `keyValueFileReader::decodeFileBytes`
/// and then to a reader.
ZV_API bool decryptWithVersionKey(const file& f, binaryBuffer& buffer);
/// Replaces `f`, in one step, by the bytes of `buffer` scrambled with the
/// version key; `buffer` is left as it was. False on any failure.
ZV_API bool encryptWithVersionKey(binaryBuffer& buffer, const file& f);

} // namespace zv
