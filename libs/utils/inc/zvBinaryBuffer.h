// zvBinaryBuffer.h - a growable byte array: files read whole, gzip
// compression, Base64, code-page conversion and keyed scrambling.
//
//     zv::binaryBuffer buffer;
//     if (buffer.readFromFile(zv::file(L"C:\\data\\a.xml")) && buffer.gzCompress())
//         buffer.writeToFile(zv::file(L"C:\\data\\a.xml.gz"), false);
//
//     void* cursor = nullptr;               // reading from the start
//     char head[4];
//     unsigned got = buffer.read(cursor, head, sizeof head);
//
// Growth is exact: when more room is needed the array is replaced by one of
// exactly the size needed, so callers that know the final size reserve it
// first (`reAllocate`). Lengths are 32-bit: an operation that would need more
// throws std::bad_alloc, like any other memory exhaustion; the file and
// conversion operations answer false instead and leave the content alone.
// File operations never throw for file errors. A buffer has no lock.
#pragma once

#include "zvDefs.h"

namespace zv {

class file;

/// A byte array with a logical length in use, read from and written to files whole.
class ZV_API binaryBuffer {
public:
    /// An array of `size` bytes (none for 0) with nothing in use.
    explicit binaryBuffer(unsigned size = 0);
    /// Adopts `data`, which must come from array new, as a full buffer of
    /// `size` bytes (null only with size 0).
    binaryBuffer(char* data, unsigned size);
    /// A copy of exactly the bytes in use.
    binaryBuffer(const binaryBuffer& other);
    /// Copies exactly the bytes in use of `other`.
    binaryBuffer& operator=(const binaryBuffer& other);
    ~binaryBuffer();

    /// Nothing in use; the array is kept.
    void clear() { m_logicalLength = 0; }
    /// Bytes in use.
    unsigned logicalLength() const { return m_logicalLength; }
    /// Size of the array.
    unsigned physicalLength() const { return m_physicalLength; }
    /// The array (null when there is none).
    char* data() { return m_data; }
    /// The array (null when there is none), read-only.
    const char* data() const { return m_data; }
    /// Sets the bytes in use (for filling the array directly); false when
    /// `length` exceeds the array.
    bool setLogicalLength(unsigned length);
    /// Hands the array to the caller, who must delete[] it; the buffer is
    /// left empty without an array.
    char* unlinkBuffer();

    /// Same bytes in use.
    bool operator==(const binaryBuffer& other) const;
    /// Not `operator==`.
    bool operator!=(const binaryBuffer& other) const { return !(*this == other); }

    /// Appends `size` bytes (which may lie in this buffer).
    void write(const void* data, unsigned size);
    /// Inserts `size` bytes at the front.
    void writeAtStart(const void* data, unsigned size);
    /// Copies up to `size` bytes from `cursor` on (null: from the start),
    /// never past the bytes in use, advances `cursor` and answers the count;
    /// 0 for a cursor outside the bytes in use.
    unsigned read(void*& cursor, void* dest, unsigned size);
    /// Whether `cursor` points at a byte in use.
    bool isValidCursor(const void* cursor) const;
    /// Grows the array to `size` bytes if it is smaller; what is in use stays.
    void reAllocate(unsigned size);
    /// Replaces the array by one of the bytes in use, but of at least 8 bytes.
    void shrink();

    /// Appends the bytes of `source`; false when it cannot be read or the
    /// result would pass 4 GiB (the content is unchanged then).
    bool readFromFile(const file& source);
    /// Writes the bytes in use to `target`, appended or replacing it; true
    /// when all were written.
    bool writeToFile(const file& target, bool append) const;

    /// Starts with the gzip header of the deflate method (1F 8B 08).
    bool isGZCompressed() const;
    /// Replaces the content by its gzip-compressed form, through two
    /// temporary files in the system's temporary folder (always removed
    /// again); false, content unchanged, on failure.
    bool gzCompress();
    /// Replaces gzip-compressed content by the uncompressed one (content in
    /// no gzip format stays as it is); false, content unchanged, on failure.
    bool gzUncompress();

    /// Replaces the content by its Base64 text (false when that would pass 4 GiB).
    bool base64Encode();
    /// Replaces Base64 text by the bytes it stands for (decoding stops at
    /// the first character outside the alphabet).
    bool base64Decode();
    /// Reads the content as text in the ANSI code page and replaces it by the
    /// UTF-16 code units, 2 bytes each, little-endian, without a terminator
    /// (on every platform); false, content unchanged, when that fails.
    bool mbcsToWideChar();

    /// Xors byte i with key byte (i mod key length). Null or empty keys
    /// change nothing; the key length counts modulo 65,536.
    void xor (const char* key);
    /// Like `xor`, but every time the key wraps around each of its bytes is
    /// rotated right by one bit; applying it twice restores the content.
    void xxor(const char* key);
    /// The first form of `xxor`, kept for data scrambled with it: its turn
    /// shifts key bytes of 0x80 and above in with ones.
    void xxorDontUseAnyLonger(const char* key);

private:
    /// Makes room for `needed` bytes, exactly, keeping the array's bytes.
    void growTo(unsigned needed);
    void takeOver(binaryBuffer& other);

    char* m_data;
    unsigned m_logicalLength;
    unsigned m_physicalLength;
};

} // namespace zv
