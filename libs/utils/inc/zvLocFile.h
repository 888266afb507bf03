// zvLocFile.h - a localization file: one "id text" entry per line, with
// includes, aliases, replace commands and an overlay whose entries win.
//
//     zv::locFile loc(L"C:\\app\\Language\\de\\errors.loc");
//     zv::locMessage msg;
//     if (loc.getMessage(L"Msg_EWriteFile", msg)) { ... }
//
// The file is read on the first look-up and again whenever it or its overlay
// changes on disk: when its size, its modification time (to the finest
// resolution the file system keeps, not whole seconds) or the file itself
// (another renamed over it) differs from what was read. A missing or
// unreadable file is simply empty; nothing is thrown. A byte-order mark
// selects UTF-8 or UTF-16LE; without one the file is read as UTF-16LE (an
// odd last byte is ignored, ill-formed UTF-8 becomes U+FFFD). Lines end at
// CR LF, LF or CR and are read whole, however long (there is no
// 1023-character bound). Files above 64 MiB count as unreadable.
//
// File format, one line each, blanks and tabs around a line ignored:
//
//     ; a comment
//     #include common.loc                  ; relative to this file's folder
//     ;;cmd(replace:::Colour:::Color)
//     Msg_EWriteFile  "Error writing [File]"  ; quoted: up to the last quote
//     Msg_Two         first line\nsecond   ; "\n" is a line feed
//     Msg_Alias       $$Msg_EWriteFile      ; the text of another id
//
// The command replaces "Colour" by "Color" in every text once the file is
// loaded. A line ending in a backslash continues: the backslash goes and
// the next line's text (quoted or not) is appended.
//
// An id that occurs twice keeps its first text. Overlay entries replace
// the main file's; the main file's commands run before the merge, the
// overlay's on the merged entries. Includes are scanned once, when the
// object is made; a file already met while scanning (a cycle, or a second
// path to it) is not included again. Includes nest at most
// `maxIncludeDepth()` levels below the main file; deeper ones are ignored.
//
// Not thread-safe: the localization manager calls it under its own lock.
#pragma once

#include "zvDefs.h"
#include "zvFile.h"
#include "zvLocMessage.h"
#include "zvString.h"

#include <map>
#include <vector>

namespace zv {

/// One problem found by `locFile::check`: the file, the line (from 1; 0 for
/// the file as a whole) and what is wrong.
struct locFileIssue {
    /// The file the problem is in.
    zv::file file;
    /// The line, from 1; 0 for the file as a whole.
    unsigned line = 0;
    /// What is wrong.
    zv::string text;
};

/// What `locFile::check` counted over a file and everything it includes.
struct locFileCounts {
    unsigned entries = 0;  ///< distinct ids
    unsigned includes = 0; ///< include directives
    unsigned commands = 0; ///< command lines
    unsigned aliases = 0;  ///< entries whose text is "$$" and an id
};

/// A localization file: message texts by id, with includes, aliases and an overlay.
class ZV_API locFile : public zv::file {
public:
    /// How many levels of includes below the main file are read; an include
    /// directive deeper than that is ignored (and reported by `check`).
    static constexpr unsigned maxIncludeDepth() { return 64; }

    locFile() = default;
    /// The file at `path`; its includes are scanned now.
    explicit locFile(const wchar_t* path);
    /// The main file and its overlay.
    locFile(const wchar_t* path, const wchar_t* overlayPath);
    /// The localization file `file`; its includes are scanned now.
    explicit locFile(const zv::file& file);
    /// A copy.
    locFile(const locFile&) = default;
    /// Moves `other`'s state here.
    locFile(locFile&&) noexcept = default;
    /// Takes a copy of `other`.
    locFile& operator=(const locFile&) = default;
    /// Takes `other`'s state.
    locFile& operator=(locFile&&) noexcept = default;
    /// Makes this a localization file for `file` (includes scanned anew).
    locFile& operator=(const zv::file& file);
    ~locFile();

    /// Sets the overlay and empties the entries, so the next look-up reloads.
    void setOverlay(const zv::file& overlay);

    /// Looks `id` up here, following aliases, then in the included files;
    /// on success sets the message's text and answers true.
    bool getMessage(const wchar_t* id, locMessage& message) const;

    /// The files named by include directives, in file order.
    const std::vector<locFile>& includedFiles() const { return m_included; }
    /// The overlay file (empty when there is none).
    const zv::file& overlay() const { return m_overlay; }

    /// Reads `file` and the files it includes and reports, with line
    /// numbers: a missing or unreadable file, includes of missing files or
    /// that close a cycle, malformed commands, aliases that name an unknown
    /// id or run in a circle. Appends to `issues`; true when none was found.
    static bool check(const zv::file& file, std::vector<locFileIssue>& issues,
                      locFileCounts* counts = nullptr);

private:
    struct includeScan;
    /// What tells that a file changed on disk since it was read.
    struct changeStamp {
        bool exists = false;
        unsigned long long volume = 0;
        unsigned long long index = 0;
        unsigned long long size = 0;
        long long modification = 0;
        long long change = 0;
        bool operator==(const changeStamp&) const = default;
    };
    static changeStamp stampOf(const zv::file& file);

    /// An included file, scanned `depth` levels below the main file.
    locFile(const zv::file& file, includeScan& scan, unsigned depth);
    void scanIncludes(includeScan& scan, unsigned depth);
    bool needsReload() const;
    void reload() const;

    std::vector<locFile> m_included;
    zv::file m_overlay;
    mutable changeStamp m_overlayStamp;
    mutable std::vector<zv::string> m_commands;
    mutable std::map<zv::string, zv::string> m_entries;
    mutable changeStamp m_mainStamp;
};

} // namespace zv
