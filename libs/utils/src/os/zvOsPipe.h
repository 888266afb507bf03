// zvOsPipe.h - the part of the OS layer behind named pipes: one connection is
// a pair of one-way byte pipes, one read and one written, between a server
// and one client.
//
// Names are the Windows pipe names ("\\.\PIPE\name_IN"). On Windows they are
// the system's named pipes; on Linux each is a FIFO in a private folder
// ($XDG_RUNTIME_DIR/zv-pipes, else /tmp/zv-pipes-<uid>, mode 0700, FIFOs 0600),
// the name's last part lower-cased (pipe names ignore case on Windows) with
// every byte outside [a-z0-9._-] written as %XX. Only the local machine (".")
// can be reached there. The server holds a lock beside the FIFOs for as long
// as it lives, so that a second server is refused; a client holds another, so
// that a second client is refused as a second instance is on Windows.
//
// Waiting never spins: reads and writes wait on the system's handles and on a
// wake-up object of the connection. SIGPIPE is never delivered for a pipe
// whose reader went away: the write reports `peerGone` instead.
#pragma once

#include <cstddef>
#include <string>

namespace zv::os {

struct pipeConnection;

/// How a pipe operation ended.
enum class pipeIo {
    done,     ///< bytes were moved
    timedOut, ///< nothing could be moved in time
    woken,    ///< `wakePipe` ended the wait (reads only)
    peerGone, ///< the other side has closed its end, or died
    failed    ///< the system refused (also: a server's client is not there yet)
};

/// The server's ends: creates the pipe `readName` to read from and the pipe
/// `writeName` to write to, one instance each. Null when they cannot be
/// created, also when another server holds them.
pipeConnection* createPipeServer(const std::wstring& readName, const std::wstring& writeName);
/// The client's ends of the existing pipes of a server. Null when there is
/// no server or another client is connected.
pipeConnection* openPipeClient(const std::wstring& readName, const std::wstring& writeName);
/// Closes both ends (a server also removes what it created); null is ignored.
void closePipe(pipeConnection* connection);

/// Reads what has arrived, at most `capacity` bytes, waiting at most
/// `timeoutMs` (`waitForever`: no limit, 0: only looks) for the first byte.
/// `got` is set on `done`. Bytes that arrived before the peer went away are
/// delivered before `peerGone`. One thread reads at a time.
pipeIo readPipe(pipeConnection* connection, void* buffer, std::size_t capacity, unsigned int timeoutMs,
                std::size_t& got);
/// Writes all `size` bytes, waiting for room until `timeoutMs` has passed;
/// `written` counts what went out, also when the answer is not `done`. One
/// thread writes at a time; a read may run in another thread meanwhile.
pipeIo writePipe(pipeConnection* connection, const void* data, std::size_t size, unsigned int timeoutMs,
                 std::size_t& written);
/// Ends a waiting `readPipe` with `woken`, or the next one, until `clearWake`.
void wakePipe(pipeConnection* connection);
void clearWake(pipeConnection* connection);

} // namespace zv::os
