#include "zvConfigSet.h"

#include "zvDtConvert.h"
#include "zvException.h"
#include "zvKeyValueFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <unordered_map>

namespace zv {

namespace {

// Below this many pairs a backward scan is cheaper than keeping hash tables.
constexpr std::size_t kIndexFrom = 32;

/// The form in which two texts are compared: as they are, or lower case.
string folded(const string& text, bool caseSensitive) {
    return caseSensitive ? text : text.lower();
}

bool sameText(const string& a, const string& foldedB, bool caseSensitive) {
    return caseSensitive ? a == foldedB : a.size() == foldedB.size() && a.lower() == foldedB;
}

} // namespace

iConfigSet::~iConfigSet() = default;

// ---- configSet ----------------------------------------------------------------

/// The keys by their hash, as written and in lower case: per hash the
/// newest pair, per pair the previous one with the same hash. A look-up
/// walks that chain from the newest pair, so it stops at the first match
/// and passes only pairs of other keys with the same hash. No key is
/// copied.
struct configSet::keyIndex {
    std::unordered_map<std::size_t, unsigned> exactNewest;
    std::unordered_map<std::size_t, unsigned> lowerNewest;
    std::vector<unsigned> exactPrevious;
    std::vector<unsigned> lowerPrevious;

    static std::size_t hashOf(const std::wstring& text) { return std::hash<std::wstring>{}(text); }

    static void link(std::unordered_map<std::size_t, unsigned>& newest, std::vector<unsigned>& previous,
                     std::size_t hash, unsigned i) {
        const auto [it, added] = newest.try_emplace(hash, i);
        previous.push_back(added ? npos : it->second);
        it->second = i;
    }

    void add(const string& key, unsigned i) {
        link(exactNewest, exactPrevious, hashOf(key), i);
        link(lowerNewest, lowerPrevious, hashOf(key.lower()), i);
    }
};

configSet::configSet() = default;

configSet::configSet(const configSet& other) : iConfigSet(), m_pairs(other.m_pairs) {
    reindex();
}

configSet::configSet(configSet&& other) noexcept
    : m_pairs(std::move(other.m_pairs)), m_index(std::move(other.m_index)) {
    other.m_pairs.clear();
}

configSet& configSet::operator=(const configSet& other) {
    if (this != &other) {
        m_pairs = other.m_pairs;
        reindex();
    }
    return *this;
}

configSet& configSet::operator=(configSet&& other) noexcept {
    if (this != &other) {
        m_pairs = std::move(other.m_pairs);
        m_index = std::move(other.m_index);
        other.m_pairs.clear();
    }
    return *this;
}

configSet::~configSet() = default;

void configSet::reindex() {
    m_index.reset();
    if (m_pairs.size() < kIndexFrom)
        return;
    auto index = std::make_unique<keyIndex>();
    for (auto* newest : {&index->exactNewest, &index->lowerNewest})
        newest->reserve(m_pairs.size());
    for (auto* previous : {&index->exactPrevious, &index->lowerPrevious})
        previous->reserve(m_pairs.size());
    for (std::size_t i = 0; i < m_pairs.size(); ++i)
        index->add(m_pairs[i].first, static_cast<unsigned>(i));
    m_index = std::move(index);
}

void configSet::append(const string& key, const string& value) {
    ZV_ASSERT(m_pairs.size() < npos);
    m_pairs.emplace_back(key, value);
    if (m_index)
        m_index->add(key, static_cast<unsigned>(m_pairs.size() - 1));
    else if (m_pairs.size() >= kIndexFrom)
        reindex();
}

unsigned int configSet::keyCount() const {
    return static_cast<unsigned>(m_pairs.size());
}

unsigned int configSet::keyIdx(const string& key, bool caseSensitive) const {
    const string wanted = folded(key, caseSensitive);
    if (m_index) {
        const auto& newest = caseSensitive ? m_index->exactNewest : m_index->lowerNewest;
        const auto& previous = caseSensitive ? m_index->exactPrevious : m_index->lowerPrevious;
        const auto it = newest.find(keyIndex::hashOf(wanted));
        for (unsigned i = it == newest.end() ? npos : it->second; i != npos; i = previous[i])
            if (sameText(m_pairs[i].first, wanted, caseSensitive))
                return i;
        return npos;
    }
    for (std::size_t i = m_pairs.size(); i-- > 0;)
        if (sameText(m_pairs[i].first, wanted, caseSensitive))
            return static_cast<unsigned>(i);
    return npos;
}

bool configSet::getKeyAndValue(unsigned int i, string& key, string& value) const {
    if (i >= m_pairs.size())
        return false;
    key = m_pairs[i].first;
    value = m_pairs[i].second;
    return true;
}

bool configSet::getValue(const string& key, string& value, bool caseSensitive) const {
    const unsigned i = keyIdx(key, caseSensitive);
    if (i == npos)
        return false;
    value = m_pairs[i].second;
    return true;
}

bool configSet::setValue(const string& key, const string& value, bool caseSensitive, int mode) {
    if (mode & 2) {
        const unsigned i = keyIdx(key, caseSensitive);
        if (i != npos) {
            m_pairs[i].second = value;
            return true;
        }
    }
    if (!(mode & 1))
        return false;
    append(key, value);
    return true;
}

bool configSet::setValue(const string& key, const double& value, bool caseSensitive, int mode) {
    string text;
    dtconvert(text, value);
    double back = 0;
    if (std::isfinite(value) && !(dtconvert(back, text) && back == value)) {
        // Eight decimals lose this number: store the shortest exact text.
        char digits[64];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        text.assign(digits, end);
    }
    return setValue(key, text, caseSensitive, mode);
}

bool configSet::setValue(const string& key, const wchar_t*& value, bool caseSensitive, int mode) {
    return setValue(key, string(value), caseSensitive, mode);
}

bool configSet::setValue(const string& key, const string& value) {
    return setValue(key, value, true, 3);
}

void configSet::removeKey(const string& key, bool caseSensitive, bool onlyFirst) {
    const string wanted = folded(key, caseSensitive);
    if (onlyFirst) {
        const auto it = std::find_if(m_pairs.begin(), m_pairs.end(),
                                     [&](const auto& p) { return sameText(p.first, wanted, caseSensitive); });
        if (it == m_pairs.end())
            return;
        m_pairs.erase(it);
    } else {
        const auto from = std::remove_if(m_pairs.begin(), m_pairs.end(), [&](const auto& p) {
            return sameText(p.first, wanted, caseSensitive);
        });
        if (from == m_pairs.end())
            return;
        m_pairs.erase(from, m_pairs.end());
    }
    reindex();
}

void configSet::removeKey(unsigned int i) {
    ZV_ASSERT(i < m_pairs.size());
    m_pairs.erase(m_pairs.begin() + i);
    reindex();
}

void configSet::clear() {
    m_pairs.clear();
    m_index.reset();
}

configSet& configSet::mergeWith(const configSet& other, bool caseSensitive, bool overwrite) {
    if (&other == this) {
        // Appending to the pairs being walked would move them away underfoot.
        const configSet copy(other);
        return mergeWith(copy, caseSensitive, overwrite);
    }
    for (const auto& [key, value] : other.m_pairs)
        setValue(key, value, caseSensitive, overwrite ? 3 : 1);
    return *this;
}

// ---- configSection ------------------------------------------------------------

configSection& configSection::operator=(const configSection& other) {
    if (this != &other) {
        configSet::operator=(other);
        m_name = other.m_name;
    }
    return *this;
}

configSection::~configSection() = default;

// ---- configStructure ----------------------------------------------------------

configStructure::configStructure() = default;
configStructure::configStructure(const configStructure& other) = default;
configStructure& configStructure::operator=(const configStructure& other) = default;
configStructure::~configStructure() = default;

unsigned int configStructure::sectionCount() const {
    return static_cast<unsigned>(m_sections.size());
}

configSection& configStructure::section(unsigned int i) {
    ZV_ASSERT(i < m_sections.size());
    return m_sections[i];
}

const configSection& configStructure::section(unsigned int i) const {
    ZV_ASSERT(i < m_sections.size());
    return m_sections[i];
}

unsigned int configStructure::sectionIdx(const string& name, bool caseSensitive) const {
    const string wanted = folded(name, caseSensitive);
    for (std::size_t i = m_sections.size(); i-- > 0;)
        if (sameText(m_sections[i].name(), wanted, caseSensitive))
            return static_cast<unsigned>(i);
    return npos;
}

const configSection& configStructure::section(const string& name, bool caseSensitive) const {
    const unsigned i = sectionIdx(name, caseSensitive);
    if (i == npos)
        throw false;
    return m_sections[i];
}

configSection& configStructure::section(const string& name, bool caseSensitive, bool create) {
    const unsigned i = sectionIdx(name, caseSensitive);
    if (i != npos)
        return m_sections[i];
    if (!create)
        throw false;
    return addSection(name);
}

configSection& configStructure::addSection(const string& name) {
    ZV_ASSERT(m_sections.size() < npos);
    m_sections.emplace_back(name);
    return m_sections.back();
}

configSection& configStructure::setSection(const configSection& s, bool caseSensitive, const wchar_t* name) {
    // `s` may live in this structure, which may grow before it is copied.
    const configSection copy(s);
    configSection& target = section(name != nullptr ? string(name) : copy.name(), caseSensitive, true);
    target = copy;
    return target;
}

void configStructure::removeSection(const string& name, bool caseSensitive) {
    const string wanted = folded(name, caseSensitive);
    const auto it = std::find_if(m_sections.begin(), m_sections.end(), [&](const configSection& s) {
        return sameText(s.name(), wanted, caseSensitive);
    });
    if (it != m_sections.end())
        m_sections.erase(it);
}

void configStructure::removeSection(unsigned int i) {
    ZV_ASSERT(i < m_sections.size());
    m_sections.erase(m_sections.begin() + i);
}

void configStructure::clear() {
    m_sections.clear();
}

// ---- writing ----------------------------------------------------------------

bool configStructureFileWriter::write(const file& f, bool overwrite) {
    iniFileWriter writer(f);
    std::size_t longest = 0;
    string key;
    string value;
    for (unsigned s = 0; s < m_structure.sectionCount(); ++s) {
        const configSection& section = m_structure.section(s);
        for (unsigned i = 0; section.getKeyAndValue(i, key, value); ++i)
            longest = std::max(longest, key.size());
    }
    writer.setKeyWidth(static_cast<unsigned>(std::min<std::size_t>(longest + 1, 0xFFFFFFFFu)));
    if (!writer.open(overwrite))
        throw writeFileException(f);
    auto writeKeys = [&](const configSection& section) {
        for (unsigned i = 0; section.getKeyAndValue(i, key, value); ++i) {
            if (key.empty())
                continue;
            if (!writer.writeKey(key, value, L"")) {
                writer.discard();
                throw writeFileException(f);
            }
        }
    };
    // Keys outside sections can only be read back from before the first one.
    for (unsigned s = 0; s < m_structure.sectionCount(); ++s)
        if (m_structure.section(s).name().empty())
            writeKeys(m_structure.section(s));
    for (unsigned s = 0; s < m_structure.sectionCount(); ++s) {
        const configSection& section = m_structure.section(s);
        if (section.name().empty())
            continue;
        if (!writer.writeSection(section.name(), L"")) {
            writer.discard();
            throw writeFileException(f);
        }
        writeKeys(section);
    }
    if (!writer.close())
        throw writeFileException(f);
    return true;
}

// ---- adaptors and drivers ---------------------------------------------------------

bool configStructureAdaptor::load(const string& section, const string& key, const string& value) {
    m_structure.section(section, m_caseSensitive, true).setValue(key, value, m_caseSensitive, 3);
    return true;
}

bool configStructureAdaptor::endsection(const string&) {
    return true;
}

namespace {

string unquoted(const string& text) {
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
        return text.substr(1, text.size() - 2);
    return text;
}

} // namespace

bool pcfConfigSetAdaptor::load(const string& section, const string& key, const string& value) {
    if (!section.empty() || key.empty())
        return true;
    return m_set.setValue(unquoted(key), unquoted(value), m_caseSensitive, 3);
}

bool pcfConfigSetAdaptor::endsection(const string&) {
    return true;
}

bool loadConfigStructure(keyValueFileReader& reader, configStructure& structure, bool caseSensitive) {
    if (!reader.open())
        return false;
    // Sections by name, so that a file of many sections loads in linear time.
    std::unordered_map<std::wstring, unsigned> sections;
    for (unsigned i = 0; i < structure.sectionCount(); ++i)
        sections[folded(structure.section(i).name(), caseSensitive)] = i;
    auto sectionIndex = [&](const string& name) {
        const auto [it, added] = sections.try_emplace(folded(name, caseSensitive), structure.sectionCount());
        if (added)
            structure.addSection(name);
        return it->second;
    };
    string name; // "" for the keys before the first section
    string key;
    string value;
    unsigned current = configStructure::npos;
    for (;;) {
        while (reader.readKey(key, value)) {
            if (current == configStructure::npos)
                current = sectionIndex(name);
            structure.section(current).setValue(key, value, caseSensitive, 3);
        }
        if (!reader.readSection(name))
            return true;
        current = sectionIndex(name);
    }
}

bool loadPcfConfigSet(keyValueFileReader& reader, configSet& set, bool caseSensitive) {
    if (!reader.open())
        return false;
    pcfConfigSetAdaptor adaptor(set, caseSensitive);
    string section;
    string key;
    string value;
    for (;;) {
        while (reader.readKey(key, value))
            adaptor.load(section, key, value);
        adaptor.endsection(section);
        if (!reader.readSection(section))
            return true;
    }
}

} // namespace zv
