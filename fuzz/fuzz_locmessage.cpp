// Message texts with placeholders and printf conversions, as translators
// write them, filled with values of every kind: nothing crashes, the text
// only changes when an insertion reports a place, and no conversion makes it
// grow beyond the capped widths, also when several values go in at once.
#include "zvLocMessage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

// Bytes map to an alphabet rich in what placeholders and conversions are made of.
std::wstring decode(const std::uint8_t* data, std::size_t size) {
    static const wchar_t alphabet[] = L"[]$%:\\0123456789.-+ #*hlLIqjztwdiouxXeEfFgGaAcCsSnpXN";
    std::wstring text;
    for (std::size_t i = 0; i < size; ++i)
        text.push_back(data[i] >= 0xC0 ? static_cast<wchar_t>(data[i] * 3)
                                       : alphabet[data[i] % (sizeof alphabet / sizeof alphabet[0] - 1)]);
    return text;
}

template <typename T>
void insert(zv::locMessage& message, T value, const wchar_t* name, std::size_t valueLength) {
    const std::wstring before = message;
    if (!message.insertParameter(value, name)) {
        check(static_cast<const std::wstring&>(message) == before);
        return;
    }
    // One place replaced by at most a capped field (or the value's own text).
    check(message.size() <= before.size() + 1100 + valueLength);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096)
        return 0;
    std::size_t split = 0;
    while (split < size && data[split] != 0)
        ++split;
    const std::wstring text = decode(data, split);
    const std::wstring value = split < size ? decode(data + split + 1, size - split - 1) : std::wstring();
    const long number = value.empty() ? 0 : static_cast<long>(value.size() * 2654435761u) - 1000000;

    for (const wchar_t* name : {static_cast<const wchar_t*>(L"X"), static_cast<const wchar_t*>(nullptr)}) {
        zv::locMessage message(text.c_str());
        insert(message, value.c_str(), name, value.size());
        insert(message, value.empty() ? L'\0' : value[0], name, 0);
        insert(message, !value.empty(), name, 0);
        insert(message, static_cast<short>(number), name, 0);
        insert(message, static_cast<int>(number), name, 0);
        insert(message, number, name, 0);
        insert(message, static_cast<double>(number) * 1e-3, name, 0);
        insert(message, value.empty() ? 1e308 : -1e-308, name, 0);
        const zv::locMessage other(value.c_str());
        insert(message, other, name, other.size());
        insert(message, message, name, message.size());
    }

    // All at once: each value takes at most one place and is never searched.
    zv::locMessage batch(text.c_str());
    const std::wstring unfilled = batch; // as the message keeps it: leading blanks and a kind prefix go
    const zv::locParameter values[] = {{value.c_str(), L"X"},
                                       {value.c_str(), L"["},
                                       {static_cast<int>(number), nullptr},
                                       {value.c_str(), nullptr},
                                       {static_cast<double>(number) * 1e-3, L"N"}};
    const std::size_t placed = batch.insertParameters(values);
    check(placed <= std::size(values));
    check(batch.size() <= text.size() + placed * (1100 + value.size()));
    check(placed != 0 || static_cast<const std::wstring&>(batch) == unfilled);
    return 0;
}
