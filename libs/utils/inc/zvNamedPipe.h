// zvNamedPipe.h - length-prefixed messages between two processes over a pair
// of one-way named pipes.
//
//     zv::namedPipe server;                       // in one process
//     server.setPipeName(L"Machine7", L".");
//     server.initialize(true, nullptr, nullptr, 0);
//     char buffer[256];
//     unsigned int size = sizeof buffer;
//     if (server.read(buffer, size, 5000) == 0) { ... }      // one whole message
//
//     zv::namedPipe client;                       // in another
//     client.setPipeName(L"Machine7", L".");
//     if (client.initialize(false, nullptr, nullptr, 0)) client.send("start", 5);
//
// Wire format, both ways: a 4-byte little-endian length, then that many bytes.
// The server reads "<base>_IN" and writes "<base>_OUT"; the client the other
// way round. One server and one client per name.
//
// Messages arrive whole or not at all: bytes of a message that is not yet
// complete are kept for the next `read`, messages of 0 bytes are delivered,
// and messages longer than `maxMessageLength` are read past and dropped
// (counted by `droppedMessages`). Waiting waits on the pipe; a peer that
// closes its end or dies ends a waiting `read` at once and stops the
// listener, and from then on the pipe is broken (`isBroken`): messages that
// arrived before are still delivered, then `read` answers 1 at once and
// `send` false. A server waits for a new client after `deinit` and
// `initialize`.
//
// On Linux the pipes are FIFOs in a folder private to the user
// ($XDG_RUNTIME_DIR/zv-pipes, else /tmp/zv-pipes-<uid>); only the local
// machine (".") can be named, and names ignore case as on Windows.
#pragma once

#include "zvDefs.h"
#include "zvString.h"

#include <cstddef>
#include <vector>

namespace zv {

/// The callback of a listener: a whole message, its length and the user pointer.
using pipeCallback = void (*)(char* data, unsigned int length, void* user);

/// One end of a named pipe pair, as server or client; see the file comment.
class ZV_API namedPipe {
public:
    /// The longest message delivered (16 MiB); longer ones are dropped.
    static constexpr unsigned int maxMessageLength = 16u * 1024u * 1024u;
    /// How long `send` waits by default for the reader to make room.
    static constexpr unsigned int defaultSendTimeout = 120000;

    /// A pipe with the empty name on this machine, not open.
    namedPipe();
    /// Calls `deinit`.
    ~namedPipe();
    namedPipe(const namedPipe&) = delete;
    namedPipe& operator=(const namedPipe&) = delete;

    /// Sets the pipe name and the server name ("." is this machine) and
    /// rebuilds the base path "\\server\PIPE\name".
    void setPipeName(zv::string name, zv::string server);
    /// The base path.
    zv::string getPipeName() const;
    /// The base path followed by "_IN" (true) or "_OUT" (false).
    zv::string getRealPipeName(bool inbound) const;

    /// Opens the pipes as server (creating them) or as client (opening the
    /// server's); with a callback, also starts the listener. False when a
    /// pipe cannot be created or opened (no server, or one of the name
    /// already there); nothing stays open then. An open pipe is closed first.
    bool initialize(bool server, pipeCallback callback, void* user, int interval);
    /// Both ends are open.
    bool isInitialized() const;
    /// The peer has closed its end or died; see the file comment.
    bool isBroken() const;

    /// Sends one message: the length prefix and the data as one unit, never
    /// interleaved with another thread's `send`. Waits up to the send
    /// time-out for room. False when not everything was written (a message
    /// cut short by the time-out breaks the pipe, as the peer could not
    /// find the next message), when longer than `maxMessageLength`, or when
    /// a server's client has not connected yet.
    bool send(const void* data, unsigned int length);
    /// Sets how long `send` may wait for room (milliseconds).
    void setSendTimeout(unsigned int milliseconds);

    /// Reads one message into `buffer`, whose capacity `size` gives. 0: a
    /// message was read and `size` is its length. 1: no message within
    /// `timeout` milliseconds, or reading was stopped, or the pipe is
    /// broken; `size` is 0. 2: the waiting message is longer than the
    /// buffer; `size` is its length and the message stays waiting.
    int read(void* buffer, unsigned int& size, unsigned int timeout);
    /// Ends a `read` that waits (from any thread).
    void stopReading();

    /// Starts a listener thread that calls `callback` with every whole
    /// message, ending a previous listener first. `interval` is accepted
    /// for compatibility; the listener waits on the pipe instead of
    /// pausing. Do not use `read` while a listener runs, nor destroy the
    /// pipe from its callback. False when the pipe is not open or the
    /// thread cannot be started.
    bool startListener(pipeCallback callback, void* user, int interval);
    /// A listener thread runs (it ends by itself when the pipe breaks).
    bool isListening() const;
    /// Stops the listener after the message it is delivering, and waits for
    /// it to end (from its own callback: it ends after the callback).
    void stopListener();
    /// Messages longer than `maxMessageLength` read past and dropped.
    unsigned long long droppedMessages() const;

    /// `stopListener`, then closes both ends.
    void deinit();

private:
    struct impl;
    impl* m_impl;
};

namespace detail {

/// Assembles length-prefixed messages from bytes as they arrive in any
/// pieces. Used by `namedPipe`; public for tests and fuzzing.
class ZV_API messageFramer {
public:
    /// Messages longer than `maxLength` are skipped and counted.
    explicit messageFramer(unsigned int maxLength = namedPipe::maxMessageLength);

    /// Takes the next bytes of the stream.
    void append(const void* data, std::size_t size);
    /// True once the length of the next message is known.
    bool nextLength(unsigned int& length) const;
    /// The next message when it is whole: its bytes stay valid until the
    /// next call of `pop`, `append` or `clear`.
    bool front(char*& data, unsigned int& length);
    /// Forgets the message `front` gave.
    void pop();
    /// Forgets everything, also the count of dropped messages.
    void clear();
    /// Messages skipped for their length.
    unsigned long long dropped() const { return m_dropped; }
    /// Bytes held that belong to messages not yet popped.
    std::size_t buffered() const { return m_data.size() - m_pos; }

    /// The 4-byte little-endian prefix of a message of `length` bytes.
    static void encodeLength(unsigned int length, unsigned char prefix[4]);

private:
    void skipOverlong();

    std::vector<char> m_data;
    std::size_t m_pos = 0;
    unsigned long long m_skip = 0; // bytes of a dropped message still to come
    unsigned long long m_dropped = 0;
    unsigned int m_maxLength;
};

} // namespace detail

} // namespace zv
