// Helpers shared by the test suites.
#pragma once

#include "zvDefs.h"
#include "zvException.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zvtest {

/// Collects the assertion messages reported while it lives.
class assertCapture {
public:
    assertCapture() {
        std::lock_guard<std::mutex> lock(mutexRef());
        messagesRef().clear();
        m_previous = zv::setAssertHandler(&assertCapture::handler);
    }
    ~assertCapture() { zv::setAssertHandler(m_previous); }
    assertCapture(const assertCapture&) = delete;
    assertCapture& operator=(const assertCapture&) = delete;

    std::vector<std::wstring> messages() const {
        std::lock_guard<std::mutex> lock(mutexRef());
        return messagesRef();
    }

private:
    static void handler(const wchar_t* text) {
        std::lock_guard<std::mutex> lock(mutexRef());
        messagesRef().emplace_back(text);
    }
    static std::mutex& mutexRef() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::wstring>& messagesRef() {
        static std::vector<std::wstring> v;
        return v;
    }
    zv::assertHandler m_previous;
};

/// Waits up to twenty seconds (Wine on a loaded machine is slow) for `condition`.
inline bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

/// The text of the library exception `action` throws, or "no exception".
inline std::wstring errorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const zv::exception& e) {
        return e.text();
    }
    return L"no exception";
}

/// Checks a call that answers a bool and leaves a value behind, for tables of
/// cases: `EXPECT_TRUE(zvtest::gives(zv::dtconvert(n, text), n, true, 42))`.
template <typename T, typename U>
testing::AssertionResult gives(bool result, const T& value, bool wantResult, const U& want) {
    if (result == wantResult && value == want)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "answered " << result << " leaving " << testing::PrintToString(value) << ", expected "
           << wantResult << " leaving " << testing::PrintToString(want);
}

} // namespace zvtest
