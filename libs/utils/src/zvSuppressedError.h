// zvSuppressedError.h - how a destructor reports the failure it must not
// throw: one line with the operation and the exception's full text, written
// at level info through the logger of the operation when logging is active
// and that logger writes the level, else on the diagnostic output (standard
// error, and the debugger output on Windows).
#pragma once

#include "log/zvLogDetail.h"
#include "os/zvOs.h"
#include "zvException.h"

namespace zv::detail {

inline void reportSuppressed(const wchar_t* where, const zv::exception& e) noexcept {
    try {
        if (zvlog::detail::logSuppressed(where, e.fullText()))
            return;
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
        if (zvlog::detail::logSuppressed(where, zv::string(what)))
            return;
        zv::string line(where);
        line += L": ";
        line += what;
        os::reportAssertion(line.c_str());
    } catch (...) {
    }
}

} // namespace zv::detail
