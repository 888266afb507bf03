// The formatting of one log line, shared by the public formatter (wide text)
// and the writer (UTF-8 straight into its reused buffer).
#pragma once

#include "zvCodePageDetail.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace zvlog::detail {

/// The values of one line, by the placeholder that inserts them.
struct lineFields {
    std::wstring_view s; ///< `%s` timestamp
    std::wstring_view p; ///< `%p` process id
    std::wstring_view t; ///< `%t` thread id
    std::wstring_view l; ///< `%l` level
    std::wstring_view f; ///< `%f` source file
    std::wstring_view r; ///< `%r` line number
    std::wstring_view c; ///< `%c` function
    std::wstring_view o; ///< `%o` log object
    std::wstring_view m; ///< `%m` message
};

/// Writes `format` with its placeholders replaced to `out`, which offers
/// `text(const wchar_t*, std::size_t)` and `spaces(std::size_t)`. Each value
/// is inserted once and never read as format again; fixed-width fields are
/// cut (keeping the start, or the end for file and function) or padded.
template <typename Out>
void formatLine(std::wstring_view format, const lineFields& v, Out& out) {
    const auto put = [&out](std::wstring_view value, std::size_t width, bool keepEnd) {
        if (value.size() >= width) {
            out.text(value.data() + (keepEnd ? value.size() - width : 0), width);
        } else {
            out.text(value.data(), value.size());
            out.spaces(width - value.size());
        }
    };
    const std::size_t size = format.size();
    std::size_t literal = 0; // start of the literal text not yet written
    for (std::size_t i = 0; i + 1 < size; ++i) {
        if (format[i] != L'%')
            continue;
        const wchar_t key = format[i + 1];
        if (std::wstring_view(L"sptlfrcom").find(key) == std::wstring_view::npos)
            continue; // a lone '%' stays, and so does what follows it
        out.text(format.data() + literal, i - literal);
        switch (key) {
        case L's':
            put(v.s, 25, false);
            break;
        case L'p':
            put(v.p, 6, false);
            break;
        case L't':
            put(v.t, 6, false);
            break;
        case L'l':
            put(v.l, 5, false);
            break;
        case L'f':
            put(v.f, 38, true);
            break;
        case L'r':
            put(v.r, 5, false);
            break;
        case L'c':
            put(v.c, 50, true);
            break;
        case L'o':
            out.text(v.o.data(), v.o.size());
            break;
        default: // 'm'
            out.text(v.m.data(), v.m.size());
            break;
        }
        ++i;
        literal = i + 1;
    }
    out.text(format.data() + literal, size - literal);
}

/// Collects a line as wide text.
struct wideLine {
    std::wstring& line;
    void text(const wchar_t* p, std::size_t n) { line.append(p, n); }
    void spaces(std::size_t n) { line.append(n, L' '); }
};

/// Encodes a line as UTF-8 piece by piece, exactly as encoding it whole: a
/// surrogate pair split between two pieces is still joined. Call `finish`
/// after the last piece.
class utf8Line {
public:
    explicit utf8Line(std::string& out) : m_out(out) {}
    void text(const wchar_t* p, std::size_t n) {
        if (n == 0)
            return;
        if constexpr (sizeof(wchar_t) == 2) {
            if (m_high != 0) {
                const wchar_t pair[2] = {m_high, p[0]};
                const bool joined = p[0] >= 0xDC00 && p[0] <= 0xDFFF;
                zv::detail::wideToUtf8(pair, joined ? 2 : 1, m_out);
                m_high = 0;
                if (joined) {
                    ++p;
                    --n;
                }
            }
            if (n > 0 && p[n - 1] >= 0xD800 && p[n - 1] <= 0xDBFF) {
                m_high = p[n - 1]; // may pair with the next piece
                --n;
            }
        }
        zv::detail::wideToUtf8(p, n, m_out);
    }
    void spaces(std::size_t n) {
        finish();
        m_out.append(n, ' ');
    }
    void finish() {
        if (m_high != 0)
            zv::detail::wideToUtf8(&m_high, 1, m_out);
        m_high = 0;
    }

private:
    std::string& m_out;
    wchar_t m_high = 0; // a high surrogate that ended the last piece
};

} // namespace zvlog::detail
