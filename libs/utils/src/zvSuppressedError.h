// zvSuppressedError.h - how a destructor reports the failure it must not
// throw: one line with the operation and the exception's full text on the
// diagnostic output (standard error, and the debugger output on Windows).
#pragma once

#include "os/zvOs.h"
#include "zvException.h"

namespace zv::detail {

inline void reportSuppressed(const wchar_t* where, const zv::exception& e) noexcept {
    try {
        zv::string line(where);
        line += L": ";
        line += e.fullText();
        os::reportAssertion(line.c_str());
    } catch (...) {
        // Nothing more can be done while unwinding a destructor.
    }
}

inline void reportSuppressed(const wchar_t* where, const wchar_t* what) noexcept {
    try {
        zv::string line(where);
        line += L": ";
        line += what;
        os::reportAssertion(line.c_str());
    } catch (...) {
    }
}

} // namespace zv::detail
