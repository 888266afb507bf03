#include "zvDefs.h"

#include "os/zvOs.h"

#include <atomic>
#include <string>

namespace zv {

namespace {

std::atomic<assertHandler> g_handler{nullptr};

// The message buffer of the convention holds 1024 characters, NUL included.
constexpr std::size_t kMessageCapacity = 1024;

void appendNarrow(std::wstring& out, const char* text) {
    // Expressions and file names are ASCII in practice; bytes above 0x7F are
    // taken as Latin-1 so nothing is lost or misread.
    for (const char* p = text ? text : "(null)"; *p; ++p)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
}

} // namespace

const char* libraryVersion() {
    return ZV_VERSION_STRING;
}

void assertMsg(const wchar_t* message) {
    if (!message)
        message = L"";
    if (assertHandler handler = g_handler.load(std::memory_order_acquire)) {
        handler(message);
        return;
    }
    os::reportAssertion(message);
}

assertHandler setAssertHandler(assertHandler handler) {
    return g_handler.exchange(handler, std::memory_order_acq_rel);
}

void assertFailed(const char* expression, const char* file, int line) {
    std::wstring text = L"Assertion failed:\n";
    appendNarrow(text, expression);
    text += L"\n\nFile: ";
    appendNarrow(text, file);
    text += L"\nLine: ";
    text += std::to_wstring(line);
    if (text.size() >= kMessageCapacity)
        text.resize(kMessageCapacity - 1);
    assertMsg(text.c_str());
    throw false;
}

} // namespace zv
