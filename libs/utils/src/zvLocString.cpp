#include "zvLocString.h"

#include "zvDirectory.h"
#include "zvFile.h"
#include "zvLocFile.h"
#include "zvMutex.h"
#include "zvProcess.h"

#include <atomic>

namespace zv {

namespace {

const wchar_t* const kBlanks = L" \t";

/// Splits at every `separator`, keeping empty fields ("a||b" gives three).
std::vector<zv::string> splitKeep(const zv::string& text, const zv::string& separator) {
    std::vector<zv::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        if (at == zv::string::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, at - start));
        start = at + separator.size();
    }
}

zv::string trimmed(const zv::string& text) {
    zv::string out(text);
    out.deleteLeading(kBlanks).deleteTrailing(kBlanks);
    return out;
}

const wchar_t* orEmpty(const wchar_t* text) {
    return text ? text : L"";
}

/// The fields of a persistent form: id, default text and file names.
struct persistentFields {
    zv::string id;
    zv::string defaultText;
    std::vector<zv::string> files;
};

persistentFields parseFields(const wchar_t* form) {
    persistentFields result;
    const std::vector<zv::string> fields = splitKeep(zv::string(form), L"|");
    result.id = trimmed(fields[0]);
    if (fields.size() > 1)
        result.defaultText = trimmed(fields[1]);
    if (fields.size() > 2)
        for (const zv::string& name : splitKeep(fields[2], L",")) {
            zv::string file = trimmed(name);
            if (!file.empty())
                result.files.push_back(std::move(file));
        }
    return result;
}

template <typename Files, typename NameOf>
void writePersistent(zv::string& out, const wchar_t* id, const wchar_t* defaultText, const Files& files,
                     NameOf nameOf) {
    out.clear();
    if (!id || !*id)
        return;
    out += id;
    out += L'|';
    out += orEmpty(defaultText);
    out += L'|';
    bool first = true;
    for (const auto& entry : files) {
        const wchar_t* name = nameOf(entry);
        if (!name || !*name)
            continue;
        if (!first)
            out += L',';
        out += name;
        first = false;
    }
}

void gatherFiles(const wchar_t* firstFile, const locFileArgs& more, std::vector<const wchar_t*>& files) {
    if (!firstFile)
        return;
    files.push_back(firstFile);
    for (const wchar_t* name : more.files)
        if (name)
            files.push_back(name);
}

/// Produces the text of an identifier with its parameters into `message`.
const wchar_t* produce(const iLocStringId& id, const locStringParams& params, locMessage& message,
                       const wchar_t* language, const searchPath& path) {
    message = locMessage();
    if (!locManager::instance().loadMessage(id, message, language, path))
        message.setMessage(id.defaultString());
    params.insertInto(message, language, path);
    return message.c_str();
}

/// The text a plain "[Name]" placeholder shows for `value`.
zv::string plainText(const genericValue& value) {
    if (const zv::string* text = value.valueIf<zv::string>())
        return *text;
    if (const wchar_t* c = value.valueIf<wchar_t>())
        return zv::string::sformat(L"%d", static_cast<int>(*c));
    if (const bool* b = value.valueIf<bool>())
        return *b ? L"True" : L"False";
    if (const short* s = value.valueIf<short>())
        return zv::string::sformat(L"%hd", *s);
    if (const int* i = value.valueIf<int>())
        return zv::string::sformat(L"%d", *i);
    if (const long* l = value.valueIf<long>())
        return zv::string::sformat(L"%ld", *l);
    if (const double* d = value.valueIf<double>())
        return zv::string::sformat(L"%lf", *d);
    if (const locString* nested = value.valueIf<locString>())
        return locString(*nested).string();
    zv::string text;
    value.get(text);
    return text;
}

/// True when `text`, written as a field of a persistent form, reads back as
/// written: it holds none of `separators` and no blank or tab at either end
/// (fields are trimmed when read).
bool readsBack(const zv::string& text, const wchar_t* separators) {
    if (text.find_first_of(separators) != zv::string::npos)
        return false;
    return text.empty() ||
           (text.front() != L' ' && text.front() != L'\t' && text.back() != L' ' && text.back() != L'\t');
}

/// The id and the default text are split off at "|" only.
bool fieldReadsBack(const zv::string& text) {
    return readsBack(text, L"|");
}

/// File names are further split at ",".
bool fileNameReadsBack(const zv::string& text) {
    return readsBack(text, L"|,");
}

/// Parameters are further split at "/" and then at ":=".
bool parameterReadsBack(const zv::string& text) {
    return readsBack(text, L"|/") && text.find(L":=") == zv::string::npos;
}

} // namespace

locFileArgs locFileArgsFrom(va_list args) {
    locFileArgs result;
    va_list copy;
    va_copy(copy, args);
    while (const wchar_t* name = va_arg(copy, const wchar_t*))
        result.files.push_back(name);
    va_end(copy);
    return result;
}

// ---- locStringId ----------------------------------------------------------

locStringId::locStringId() = default;

locStringId::locStringId(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile, ...)
    : m_id(id), m_default(defaultText) {
    addAlternativeFile(firstFile);
    if (!firstFile)
        return;
    va_list args;
    va_start(args, firstFile);
    const locFileArgs more = locFileArgsFrom(args);
    va_end(args);
    for (const wchar_t* name : more.files)
        addAlternativeFile(name);
}

locStringId::locStringId(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile,
                         const locFileArgs& moreFiles)
    : m_id(id), m_default(defaultText) {
    std::vector<const wchar_t*> files;
    gatherFiles(firstFile, moreFiles, files);
    for (const wchar_t* name : files)
        addAlternativeFile(name);
}

locStringId::locStringId(const wchar_t* id, const wchar_t* defaultText,
                         const std::vector<const wchar_t*>& files)
    : m_id(id), m_default(defaultText) {
    for (const wchar_t* name : files)
        addAlternativeFile(name);
}

locStringId::locStringId(const wchar_t* persistentForm) {
    persistentFields fields = parseFields(orEmpty(persistentForm));
    m_id = std::move(fields.id);
    m_default = std::move(fields.defaultText);
    for (const zv::string& name : fields.files)
        m_files.push_back(scString::createFrom(name));
}

locStringId::~locStringId() = default;

void locStringId::addAlternativeFile(const wchar_t* name) {
    if (name && *name)
        m_files.push_back(scString::createFrom(name));
}

const wchar_t* locStringId::defaultString() const {
    return m_default.c_str();
}

const wchar_t* locStringId::id() const {
    return m_id.c_str();
}

locStringId locStringId::copy() const {
    return *this;
}

void locStringId::getPersistentId(zv::string& out) const {
    writePersistent(out, m_id.c_str(), m_default.c_str(), m_files,
                    [](const scString& s) { return s.c_str(); });
}

// ---- localLocStringId -----------------------------------------------------

localLocStringId::localLocStringId(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile,
                                   ...)
    : m_id(id), m_default(defaultText) {
    if (!firstFile)
        return;
    m_files.push_back(firstFile);
    va_list args;
    va_start(args, firstFile);
    const locFileArgs more = locFileArgsFrom(args);
    va_end(args);
    m_files.insert(m_files.end(), more.files.begin(), more.files.end());
}

localLocStringId::localLocStringId(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile,
                                   const locFileArgs& moreFiles)
    : m_id(id), m_default(defaultText) {
    gatherFiles(firstFile, moreFiles, m_files);
}

localLocStringId::~localLocStringId() = default;

void localLocStringId::addAlternativeFile(const wchar_t* name) {
    if (name)
        m_files.push_back(name);
}

const wchar_t* localLocStringId::defaultString() const {
    return orEmpty(m_default);
}

const wchar_t* localLocStringId::id() const {
    return orEmpty(m_id);
}

locStringId localLocStringId::copy() const {
    return locStringId(m_id, m_default, m_files);
}

void localLocStringId::getPersistentId(zv::string& out) const {
    writePersistent(out, m_id, m_default, m_files, [](const wchar_t* s) { return s; });
}

// ---- locStringParams ------------------------------------------------------

void locStringParams::setValue(const wchar_t* name, genericValue&& value) {
    const zv::string key(name);
    for (entry& e : m_entries)
        if (e.first == key) {
            e.second = std::move(value);
            return;
        }
    m_entries.emplace_back(key, std::move(value));
}

void locStringParams::set(const zv::string& value, const wchar_t* name) {
    setValue(name, genericValue(value));
}
void locStringParams::set(const wchar_t* value, const wchar_t* name) {
    setValue(name, genericValue(zv::string(value)));
}
void locStringParams::set(wchar_t value, const wchar_t* name) {
    setValue(name, genericValue(value));
}
void locStringParams::set(bool value, const wchar_t* name) {
    setValue(name, genericValue(value));
}
void locStringParams::set(short value, const wchar_t* name) {
    setValue(name, genericValue(value));
}
void locStringParams::set(int value, const wchar_t* name) {
    setValue(name, genericValue(value));
}
void locStringParams::set(long value, const wchar_t* name) {
    setValue(name, genericValue(value));
}
void locStringParams::set(double value, const wchar_t* name) {
    setValue(name, genericValue(value));
}
void locStringParams::set(const iLocString* value, const wchar_t* name) {
    if (value)
        setValue(name, genericValue(value->copy()));
}

const genericValue* locStringParams::find(const wchar_t* name) const {
    const zv::string key(name);
    for (const entry& e : m_entries)
        if (e.first == key)
            return &e.second;
    return nullptr;
}

void locStringParams::insertInto(locMessage& message, const wchar_t* language, const searchPath& path) const {
    // Texts made here (nested strings, converted values) live until the
    // insertion is done; the list is sized first, so they never move.
    std::vector<zv::string> made;
    made.reserve(m_entries.size());
    std::vector<locParameter> values;
    values.reserve(m_entries.size());
    for (const entry& e : m_entries) {
        const wchar_t* name = e.first.empty() ? nullptr : e.first.c_str();
        const genericValue& value = e.second;
        if (const zv::string* text = value.valueIf<zv::string>())
            values.emplace_back(*text, name);
        else if (const wchar_t* c = value.valueIf<wchar_t>())
            values.emplace_back(*c, name);
        else if (const bool* b = value.valueIf<bool>())
            values.emplace_back(*b, name);
        else if (const short* s = value.valueIf<short>())
            values.emplace_back(*s, name);
        else if (const int* i = value.valueIf<int>())
            values.emplace_back(*i, name);
        else if (const long* l = value.valueIf<long>())
            values.emplace_back(*l, name);
        else if (const double* d = value.valueIf<double>())
            values.emplace_back(*d, name);
        else if (const locString* nested = value.valueIf<locString>()) {
            // A copy of its own, so that producing it leaves the stored one alone.
            const locString inner(*nested);
            made.emplace_back(inner.string(language, path));
            values.emplace_back(made.back(), name);
        } else {
            zv::string text;
            if (value.get(text)) {
                made.push_back(std::move(text));
                values.emplace_back(made.back(), name);
            }
        }
    }
    // All at once: a value holding another parameter's placeholder stays as given.
    message.insertParameters(values);
}

// ---- locString ------------------------------------------------------------

const wchar_t* iLocString::string(const wchar_t* language) const {
    // A copy, so that another thread may change the default meanwhile.
    const searchPath path = locManager::instance().currentSearchPath();
    return string(language, path);
}

locString::locString() = default;

locString::locString(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile, ...) {
    locFileArgs more;
    if (firstFile) {
        va_list args;
        va_start(args, firstFile);
        more = locFileArgsFrom(args);
        va_end(args);
    }
    m_id = locStringId(id, defaultText, firstFile, more);
}

locString::locString(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile,
                     const locFileArgs& moreFiles)
    : m_id(id, defaultText, firstFile, moreFiles) {}

locString::locString(const iLocStringId& id) : m_id(id.copy()) {}

locString::locString(const wchar_t* persistentForm) : m_id(persistentForm) {
    const std::vector<zv::string> fields = splitKeep(zv::string(persistentForm), L"|");
    if (fields.size() < 4)
        return;
    for (const zv::string& assignment : splitKeep(fields[3], L"/")) {
        const std::vector<zv::string> pieces = splitKeep(assignment, L":=");
        if (pieces.size() != 2)
            continue;
        const zv::string name = trimmed(pieces[0]);
        if (!name.empty())
            m_params.set(trimmed(pieces[1]), name.c_str());
    }
}

// The last produced message is not part of the value.
locString::locString(const locString& other)
    : iLocString(other), m_id(other.m_id), m_params(other.m_params) {}

locString& locString::operator=(const locString& other) {
    if (this != &other) {
        m_id = other.m_id;
        m_params = other.m_params;
    }
    return *this;
}

locString::~locString() = default;

const wchar_t* locString::string(const wchar_t* language, const searchPath& path) const {
    return produce(m_id, m_params, m_message, language, path);
}

bool locString::stringIdExists(const wchar_t* language, const searchPath& path) const {
    locMessage probe;
    return locManager::instance().loadMessage(m_id, probe, language, path);
}

locString locString::copy() const {
    return *this;
}

bool locString::getPersistentString(zv::string& out) const {
    bool complete = fieldReadsBack(m_id.id()) && fieldReadsBack(m_id.defaultString());
    for (const scString& name : m_id.alternativeFiles())
        complete = complete && fileNameReadsBack(name.string());
    if (m_params.empty()) {
        m_id.getPersistentId(out);
        // An empty id writes nothing, so a default text or files are lost.
        return complete &&
               (!out.empty() || (*m_id.defaultString() == L'\0' && m_id.alternativeFiles().empty()));
    }
    // With parameters all four fields are written, even for an empty id.
    out = m_id.id();
    out += L'|';
    out += m_id.defaultString();
    out += L'|';
    bool first = true;
    for (const scString& name : m_id.alternativeFiles()) {
        if (!first)
            out += L',';
        out += name.string();
        first = false;
    }
    out += L'|';
    first = true;
    for (const locStringParams::entry& e : m_params.entries()) {
        const zv::string value = plainText(e.second);
        if (e.first.empty() || !parameterReadsBack(e.first) || !parameterReadsBack(value)) {
            complete = false;
            continue;
        }
        if (!first)
            out += L'/';
        out += e.first;
        out += L":=";
        out += value;
        first = false;
    }
    return complete;
}

// ---- localLocString -------------------------------------------------------

localLocString::localLocString(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile, ...)
    : m_id(id, defaultText, nullptr) {
    if (!firstFile)
        return;
    m_id.addAlternativeFile(firstFile);
    va_list args;
    va_start(args, firstFile);
    const locFileArgs more = locFileArgsFrom(args);
    va_end(args);
    for (const wchar_t* name : more.files)
        m_id.addAlternativeFile(name);
}

localLocString::localLocString(const wchar_t* id, const wchar_t* defaultText, const wchar_t* firstFile,
                               const locFileArgs& moreFiles)
    : m_id(id, defaultText, firstFile, moreFiles) {}

localLocString::~localLocString() = default;

const wchar_t* localLocString::string(const wchar_t* language, const searchPath& path) const {
    return produce(m_id, m_params, m_message, language, path);
}

locString localLocString::copy() const {
    locString result(m_id);
    result.params() = m_params;
    return result;
}

// ---- locManager -----------------------------------------------------------

struct locManager::state {
    mutable mutex lock;
    std::vector<locFile> cache;
    zv::string language;
    searchPath path;
    zv::string locFileName;
    zv::string overlay;
};

namespace {

// The manager object itself is never destroyed, so `instance()` stays valid
// during and after unload; only its state is released then.
constinit std::atomic<locManager*> g_locManager{nullptr};

locManager::state* stateOf(locManager::state* s) {
    if (!s)
        throw false; // used after the library's unload released it
    return s;
}

/// The names to look for, in order. `fileField` is the file list of the
/// persistent form.
std::vector<zv::string> candidateNames(const zv::string& fileField, const wchar_t* language,
                                       const locManager::state& s) {
    std::vector<zv::string> names;
    const zv::string lang(language);
    auto add = [&names](const zv::string& folder, const zv::string& name) {
        if (!folder.empty())
            names.push_back(folder + L"/" + name);
    };
    if (fileField.find(L',') != zv::string::npos) {
        for (const zv::string& part : splitKeep(fileField, L",")) {
            const zv::string name = trimmed(part);
            if (name.empty())
                continue;
            names.push_back(name);
            add(lang, name);
            if (!s.language.isEqualTo(lang, false))
                add(s.language, name);
        }
        return names;
    }
    const zv::string name = fileField.empty() ? s.locFileName : trimmed(fileField);
    if (name.empty())
        return names;
    names.push_back(name);
    add(lang.empty() ? s.language : lang, name);
    return names;
}

bool findCandidate(const iLocStringId& id, const wchar_t* language, const searchPath& path,
                   const locManager::state& s, file& found) {
    zv::string form;
    id.getPersistentId(form);
    // The file list is the last field: a "|" inside a default text must not
    // shift it.
    zv::string fileField;
    const std::size_t first = form.find(L'|');
    const std::size_t last = form.rfind(L'|');
    if (first != zv::string::npos && last != first)
        fileField = trimmed(form.substr(last + 1));
    for (const zv::string& name : candidateNames(fileField, language, s))
        if (path.findFile(name, found, false))
            return true;
    return false;
}

} // namespace

struct locManagerHolder {
    locManagerHolder() { g_locManager.store(new locManager, std::memory_order_release); }
    ~locManagerHolder() {
        locManager* manager = g_locManager.load(std::memory_order_acquire);
        locManager::state* s = manager->m_state;
        manager->m_state = nullptr;
        delete s;
    }
    locManagerHolder(const locManagerHolder&) = delete;
    locManagerHolder& operator=(const locManagerHolder&) = delete;
};

locManager::locManager() : m_state(new state) {
    directory module;
    if (getModulePath(zv::string(), module) && !module.empty()) {
        m_state->path.appendDirectory(module);
        m_state->path.appendDirectory(directory(module, L"../config/Language"));
    }
}

locManager::~locManager() {
    delete m_state;
}

locManager& locManager::instance() {
    static locManagerHolder holder;
    return *g_locManager.load(std::memory_order_acquire);
}

void locManager::setDefaultLanguage(const wchar_t* language) {
    state* s = stateOf(m_state);
    mutexGuard guard(s->lock);
    s->language = language;
}

void locManager::setDefaultLocFile(const wchar_t* name) {
    state* s = stateOf(m_state);
    mutexGuard guard(s->lock);
    s->locFileName = name;
}

void locManager::setOverlayId(const wchar_t* id) {
    state* s = stateOf(m_state);
    mutexGuard guard(s->lock);
    s->overlay = id;
}

void locManager::setDefaultSearchPath(const searchPath& path) {
    state* s = stateOf(m_state);
    mutexGuard guard(s->lock);
    if (&path != &s->path)
        s->path = path;
}

const searchPath& locManager::defaultSearchPath() const {
    return stateOf(m_state)->path;
}

searchPath locManager::currentSearchPath() const {
    state* s = stateOf(m_state);
    mutexGuard guard(s->lock);
    return s->path;
}

zv::string locManager::defaultLanguage() const {
    state* s = stateOf(m_state);
    mutexGuard guard(s->lock);
    return s->language;
}

zv::string locManager::defaultLocFile() const {
    state* s = stateOf(m_state);
    mutexGuard guard(s->lock);
    return s->locFileName;
}

zv::string locManager::overlayId() const {
    state* s = stateOf(m_state);
    mutexGuard guard(s->lock);
    return s->overlay;
}

bool locManager::loadMessage(const iLocStringId& id, locMessage& message, const wchar_t* language) {
    state* s = stateOf(m_state);
    mutexGuard guard(s->lock);
    return loadMessage(id, message, language, s->path);
}

bool locManager::findLocFile(const iLocStringId& id, const wchar_t* language, const searchPath& path,
                             file& found) const {
    state* s = stateOf(m_state);
    mutexGuard guard(s->lock);
    return findCandidate(id, language, path, *s, found);
}

bool locManager::loadMessage(const iLocStringId& id, locMessage& message, const wchar_t* language,
                             const searchPath& path) {
    state* s = stateOf(m_state);
    mutexGuard guard(s->lock);
    file found;
    if (!findCandidate(id, language, path, *s, found))
        return false;
    for (const locFile& cached : s->cache)
        if (cached.isEqualTo(found, false))
            return cached.getMessage(id.id(), message);
    locFile loaded(found);
    if (!s->overlay.empty())
        loaded.setOverlay(file(directory(found.path(0)), s->overlay + L"_" + found.name(0)));
    s->cache.push_back(std::move(loaded));
    return s->cache.back().getMessage(id.id(), message);
}

// ---- conversions ----------------------------------------------------------

bool dtconvert(zv::string& target, const locString& source, int, const dtArgs&) {
    target = locString(source).string();
    return true;
}

bool dtconvert(locString& target, const zv::string& source, int, const dtArgs&) {
    target = locString(source.c_str());
    return true;
}

namespace {
const typeconvert::registerConversion<locString, zv::string> s_locStringToText(&dtconvert);
const typeconvert::registerConversion<zv::string, locString> s_textToLocString(&dtconvert);
} // namespace

} // namespace zv
