// zvConfigSet.h - configuration sets (ordered text keys with text values),
// structures of named sets (sections), their INI form, and the drivers that
// fill them from the key-value readers (zvKeyValueFile.h).
//
//     zv::configStructure settings;
//     zv::keyValueFileReader reader(zv::file(L"C:\\app\\app.ini"), L"=", L";", L"");
//     if (zv::loadConfigStructure(reader, settings, false)) {
//         zv::string speed;
//         settings.section(L"Machine", false, true).getValue(L"Speed", speed, false);
//     }
//     settings.section(L"Machine", false, true).setValue(L"Speed", L"1500", false, 3);
//     zv::configStructureFileWriter(settings).write(zv::file(L"C:\\app\\app.ini"), true);
//
// Keys and section names may repeat: look-ups find the last of equal ones.
// With `caseSensitive` false, texts are compared after `zv::string::lower`.
// Finding a key takes constant time on average, also in large sets; finding
// a section by name walks the sections. No locking: a set or structure is
// used by one thread at a time (reading from several threads at once is
// safe; no const operation changes anything).
#pragma once

#include "zvDefs.h"
#include "zvFile.h"
#include "zvString.h"

#include <memory>
#include <utility>
#include <vector>

namespace zv {

class keyValueFileReader;

/// Text keys with text values, by index and by key.
class ZV_API iConfigSet {
public:
    /// The number of keys.
    virtual unsigned int keyCount() const = 0;
    /// Key and value at index `i`; false when `i` is out of range.
    virtual bool getKeyAndValue(unsigned int i, string& key, string& value) const = 0;
    /// The value of `key`; false when it is absent.
    virtual bool getValue(const string& key, string& value, bool caseSensitive) const = 0;
    /// Sets the value of `key`, appending it when absent.
    virtual bool setValue(const string& key, const string& value) = 0;
    virtual ~iConfigSet();
};

/// An ordered list of (key, value) pairs in insertion order.
class ZV_API configSet : public iConfigSet {
public:
    /// What `keyIdx` answers for an absent key. (An enumerator, not a static
    /// member: the constant must not need an import from the library.)
    enum : unsigned int { npos = 0xFFFFFFFFu };

    configSet();
    /// A copy of the pairs.
    configSet(const configSet& other);
    /// Takes over `other`'s pairs.
    configSet(configSet&& other) noexcept;
    /// Replaces the pairs by a copy of `other`'s.
    configSet& operator=(const configSet& other);
    /// Takes over `other`'s pairs.
    configSet& operator=(configSet&& other) noexcept;
    ~configSet() override;

    /// The number of pairs.
    unsigned int keyCount() const override;
    /// The index of the last pair whose key equals `key`; `npos` when none.
    unsigned int keyIdx(const string& key, bool caseSensitive) const;
    /// False when `i` is not below `keyCount()`; else copies the i-th pair.
    bool getKeyAndValue(unsigned int i, string& key, string& value) const override;
    /// The value of the last pair with that key; false (value untouched) when absent.
    bool getValue(const string& key, string& value, bool caseSensitive) const override;

    /// `mode` bit 2 replaces the value of the last matching pair, bit 1
    /// appends a pair (with bit 1 alone without looking, so an equal key
    /// gets a second pair that shadows the first). 3 replaces or adds, 2
    /// only replaces, 1 only appends. False when nothing was done.
    bool setValue(const string& key, const string& value, bool caseSensitive, int mode);
    /// The value as its 8-decimal text ("1.5", "2"), or, where that would
    /// not read back as the same number, the shortest text that does.
    bool setValue(const string& key, const double& value, bool caseSensitive, int mode);
    /// A NUL-terminated value; null is the empty text.
    bool setValue(const string& key, const wchar_t*& value, bool caseSensitive, int mode);
    /// Replaces the value of the last pair with exactly that key, or appends
    /// the pair; always true.
    bool setValue(const string& key, const string& value) override;

    /// Removes every pair whose key matches, or only the first one.
    void removeKey(const string& key, bool caseSensitive, bool onlyFirst);
    /// Removes the pair at `i`, which must be below `keyCount()`.
    void removeKey(unsigned int i);
    /// Removes every pair.
    void clear();
    /// Every pair of `other`, in order, through `setValue(key, value,
    /// caseSensitive, overwrite ? 3 : 1)`. `other` may be this set.
    configSet& mergeWith(const configSet& other, bool caseSensitive, bool overwrite);

private:
    struct keyIndex;
    void append(const string& key, const string& value);
    void reindex();

    std::vector<std::pair<string, string>> m_pairs;
    std::unique_ptr<keyIndex> m_index; // present once the set is large
};

/// A named set.
class ZV_API configSection : public configSet {
public:
    configSection() = default;
    /// An empty section named `name`.
    explicit configSection(const string& name) : m_name(name) {}
    /// A copy of pairs and name.
    configSection(const configSection&) = default;
    /// Takes over pairs and name.
    configSection(configSection&&) noexcept = default;
    /// Copies the pairs and the name.
    configSection& operator=(const configSection& other);
    /// Takes over pairs and name.
    configSection& operator=(configSection&&) noexcept = default;
    ~configSection() override;

    /// The section's name.
    const string& name() const { return m_name; }
    /// Renames the section.
    void setName(const string& name) { m_name = name; }

private:
    string m_name;
};

/// An ordered list of sections.
class ZV_API configStructure {
public:
    /// What `sectionIdx` answers for an absent section.
    enum : unsigned int { npos = 0xFFFFFFFFu };

    configStructure();
    /// A copy of every section.
    configStructure(const configStructure& other);
    /// Replaces the sections by copies of `other`'s.
    configStructure& operator=(const configStructure& other);
    ~configStructure();

    /// The number of sections.
    unsigned int sectionCount() const;
    /// The i-th section; an index not below `sectionCount()` is an
    /// assertion failure (throws `false`).
    configSection& section(unsigned int i);
    /// The i-th section (read-only); see above.
    const configSection& section(unsigned int i) const;
    /// The index of the last section with that name; `npos` when none.
    unsigned int sectionIdx(const string& name, bool caseSensitive) const;
    /// The last section with that name; throws `false` when there is none.
    const configSection& section(const string& name, bool caseSensitive) const;
    /// The same; an absent section is appended (empty) with `create`, else
    /// `false` is thrown.
    configSection& section(const string& name, bool caseSensitive, bool create);
    /// Finds the section named `name` (s's own name when null), appending
    /// an empty one when absent, and makes it a copy of `s` (pairs and
    /// name). `s` may be a section of this structure.
    configSection& setSection(const configSection& s, bool caseSensitive, const wchar_t* name = nullptr);
    /// Appends an empty section of that name without looking for an equal
    /// one, and returns it.
    configSection& addSection(const string& name);
    /// Removes the first section with that name.
    void removeSection(const string& name, bool caseSensitive);
    /// Removes the section at `i`, which must be below `sectionCount()`.
    void removeSection(unsigned int i);
    /// Removes every section.
    void clear();

private:
    std::vector<configSection> m_sections;
};

/// Writes a structure as INI text ("=" and ";"), keys aligned one column
/// past the longest. Keys of sections with an empty name come first,
/// without a section line (they are read back as the keys before the first
/// section); pairs with an empty key are left out.
class ZV_API configStructureFileWriter {
public:
    /// A writer for `structure`, which must outlive it.
    explicit configStructureFileWriter(const configStructure& structure) : m_structure(structure) {}

    /// Replaces `f` in one step (or, without `overwrite`, appends to it).
    /// Throws `zv::writeFileException` for `f` when it cannot be written or
    /// a key cannot be stored (a text holding CR or LF); the file is then
    /// left as it was. True otherwise.
    bool write(const file& f, bool overwrite);

private:
    const configStructure& m_structure;
};

/// Enters keys handed over with their section's name into a structure.
class ZV_API configStructureAdaptor {
public:
    /// Enters into `structure`, comparing names with `caseSensitive`.
    configStructureAdaptor(configStructure& structure, bool caseSensitive)
        : m_caseSensitive(caseSensitive), m_structure(structure) {}

    /// `section(section, caseSensitive, true).setValue(key, value, caseSensitive, 3)`; true.
    bool load(const string& section, const string& key, const string& value);
    /// Nothing; true.
    bool endsection(const string& section);

private:
    bool m_caseSensitive;
    configStructure& m_structure;
};

/// Enters keys outside any section into one set, taking a pair of double
/// quotes off a key or a non-empty value enclosed in them.
class ZV_API pcfConfigSetAdaptor {
public:
    /// Enters into `set`, comparing keys with `caseSensitive`.
    pcfConfigSetAdaptor(configSet& set, bool caseSensitive) : m_caseSensitive(caseSensitive), m_set(set) {}

    /// Keys with an empty section name and a non-empty key: unquoted and
    /// set with mode 3, the result that of `setValue`. Others: nothing, true.
    bool load(const string& section, const string& key, const string& value);
    /// Nothing; true.
    bool endsection(const string& section);

private:
    bool m_caseSensitive;
    configSet& m_set;
};

/// Opens `reader` and enters every section and key it reads into
/// `structure` (a bracket reader for INI files, a `cfgFileReader` for the
/// cfg dialect). Keys before the first section go to the section "";
/// every section read is created, even without keys; equal keys of one
/// section keep the last value. False when the reader cannot be opened.
ZV_API bool loadConfigStructure(keyValueFileReader& reader, configStructure& structure, bool caseSensitive);

/// Opens `reader` and enters its keys outside any section into `set`
/// through `pcfConfigSetAdaptor` (the pcf dialect: quoted keys and values).
/// False when the reader cannot be opened.
ZV_API bool loadPcfConfigSet(keyValueFileReader& reader, configSet& set, bool caseSensitive);

} // namespace zv
