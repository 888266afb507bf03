// Named pipes on Windows: overlapped I/O on byte-mode pipes, so that every
// wait is a wait on the handle (and on the connection's wake-up event) with a
// time-out, and a broken pipe ends it at once.
#include "../zvOsPipe.h"
#include "../zvOs.h"

#include <windows.h>

namespace zv::os {

namespace {

// One end with its own overlapped operation; a server end also remembers
// whether its client has connected.
struct pipeEnd {
    HANDLE handle = INVALID_HANDLE_VALUE;
    OVERLAPPED io{};
    OVERLAPPED connect{};
    bool connectPending = false;
    bool connected = false;
    bool gone = false;
};

bool isBroken(DWORD error) {
    return error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA || error == ERROR_PIPE_NOT_CONNECTED;
}

bool initEnd(pipeEnd& end) {
    end.io.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    end.connect.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return end.io.hEvent != nullptr && end.connect.hEvent != nullptr;
}

void closeEnd(pipeEnd& end) {
    if (end.handle != INVALID_HANDLE_VALUE) {
        ::CancelIoEx(end.handle, nullptr);
        DWORD ignored = 0;
        if (end.connectPending)
            ::GetOverlappedResult(end.handle, &end.connect, &ignored, TRUE);
        ::CloseHandle(end.handle);
        end.handle = INVALID_HANDLE_VALUE;
    }
    if (end.io.hEvent != nullptr)
        ::CloseHandle(end.io.hEvent);
    if (end.connect.hEvent != nullptr)
        ::CloseHandle(end.connect.hEvent);
    end.io.hEvent = end.connect.hEvent = nullptr;
}

// Starts waiting for the client of a server end.
bool startConnect(pipeEnd& end) {
    if (::ConnectNamedPipe(end.handle, &end.connect))
        return false; // overlapped connects never complete at once
    const DWORD error = ::GetLastError();
    if (error == ERROR_PIPE_CONNECTED) {
        end.connected = true;
        return true;
    }
    if (error == ERROR_IO_PENDING) {
        end.connectPending = true;
        return true;
    }
    return false;
}

// Whether the client has connected to a server end, waiting at most
// `timeoutMs` (or until `wake` is set).
pipeIo awaitConnect(pipeEnd& end, HANDLE wake, unsigned int timeoutMs) {
    if (end.connected)
        return pipeIo::done;
    if (!end.connectPending)
        return pipeIo::failed;
    HANDLE events[2] = {end.connect.hEvent, wake};
    const DWORD w = ::WaitForMultipleObjects(wake != nullptr ? 2 : 1, events, FALSE, timeoutMs);
    if (w == WAIT_OBJECT_0 + 1)
        return pipeIo::woken;
    if (w != WAIT_OBJECT_0)
        return w == WAIT_TIMEOUT ? pipeIo::timedOut : pipeIo::failed;
    DWORD ignored = 0;
    end.connectPending = false;
    if (!::GetOverlappedResult(end.handle, &end.connect, &ignored, FALSE) &&
        ::GetLastError() != ERROR_PIPE_CONNECTED)
        return pipeIo::failed;
    end.connected = true;
    return pipeIo::done;
}

// Runs one overlapped read or write to its end: completed, timed out (the
// operation is cancelled, and what it moved meanwhile still counts), woken or
// broken.
pipeIo runIo(pipeEnd& end, bool reading, void* buffer, DWORD size, HANDLE wake, DWORD timeoutMs,
             DWORD& moved) {
    moved = 0;
    ::ResetEvent(end.io.hEvent);
    const BOOL started = reading ? ::ReadFile(end.handle, buffer, size, nullptr, &end.io)
                                 : ::WriteFile(end.handle, buffer, size, nullptr, &end.io);
    if (!started) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_PENDING) {
            if (isBroken(error)) {
                end.gone = true;
                return pipeIo::peerGone;
            }
            return pipeIo::failed;
        }
        HANDLE events[2] = {end.io.hEvent, wake};
        const DWORD w = ::WaitForMultipleObjects(wake != nullptr ? 2 : 1, events, FALSE, timeoutMs);
        if (w != WAIT_OBJECT_0) {
            ::CancelIoEx(end.handle, &end.io);
            ::GetOverlappedResult(end.handle, &end.io, &moved, TRUE);
            if (moved > 0)
                return pipeIo::done;
            if (w == WAIT_OBJECT_0 + 1)
                return pipeIo::woken;
            return w == WAIT_TIMEOUT ? pipeIo::timedOut : pipeIo::failed;
        }
    }
    if (!::GetOverlappedResult(end.handle, &end.io, &moved, FALSE)) {
        const DWORD error = ::GetLastError();
        if (moved > 0)
            return pipeIo::done;
        if (isBroken(error)) {
            end.gone = true;
            return pipeIo::peerGone;
        }
        return pipeIo::failed;
    }
    return pipeIo::done;
}

DWORD remainingMs(bool forever, ULONGLONG deadline) {
    if (forever)
        return INFINITE;
    const ULONGLONG now = ::GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

} // namespace

struct pipeConnection {
    bool server = false;
    pipeEnd readEnd;
    pipeEnd writeEnd;
    HANDLE wake = nullptr;
};

namespace {

bool initConnection(pipeConnection& c) {
    c.wake = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return c.wake != nullptr && initEnd(c.readEnd) && initEnd(c.writeEnd);
}

void closeConnection(pipeConnection* c) {
    closeEnd(c->readEnd);
    closeEnd(c->writeEnd);
    if (c->wake != nullptr)
        ::CloseHandle(c->wake);
    delete c;
}

HANDLE createServerEnd(const std::wstring& name, DWORD access) {
    // One instance only; FILE_FLAG_FIRST_PIPE_INSTANCE refuses a second server.
    return ::CreateNamedPipeW(name.c_str(), access | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                              PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                              131072, 131072, 120000, nullptr);
}

} // namespace

pipeConnection* createPipeServer(const std::wstring& readName, const std::wstring& writeName) {
    auto* c = new pipeConnection;
    c->server = true;
    if (initConnection(*c)) {
        c->readEnd.handle = createServerEnd(readName, PIPE_ACCESS_INBOUND);
        c->writeEnd.handle = createServerEnd(writeName, PIPE_ACCESS_OUTBOUND);
        if (c->readEnd.handle != INVALID_HANDLE_VALUE && c->writeEnd.handle != INVALID_HANDLE_VALUE &&
            startConnect(c->readEnd) && startConnect(c->writeEnd))
            return c;
    }
    closeConnection(c);
    return nullptr;
}

pipeConnection* openPipeClient(const std::wstring& readName, const std::wstring& writeName) {
    auto* c = new pipeConnection;
    if (initConnection(*c)) {
        c->readEnd.handle = ::CreateFileW(readName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_OVERLAPPED, nullptr);
        if (c->readEnd.handle != INVALID_HANDLE_VALUE)
            c->writeEnd.handle = ::CreateFileW(writeName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                               FILE_FLAG_OVERLAPPED, nullptr);
        if (c->readEnd.handle != INVALID_HANDLE_VALUE && c->writeEnd.handle != INVALID_HANDLE_VALUE) {
            c->readEnd.connected = c->writeEnd.connected = true;
            return c;
        }
    }
    closeConnection(c);
    return nullptr;
}

void closePipe(pipeConnection* connection) {
    if (connection != nullptr)
        closeConnection(connection);
}

pipeIo readPipe(pipeConnection* c, void* buffer, std::size_t capacity, unsigned int timeoutMs,
                std::size_t& got) {
    got = 0;
    if (c == nullptr || buffer == nullptr || capacity == 0)
        return pipeIo::failed;
    if (c->readEnd.gone)
        return pipeIo::peerGone;
    const bool forever = timeoutMs == waitForever;
    const ULONGLONG deadline = ::GetTickCount64() + (forever ? 0 : timeoutMs);
    const pipeIo connected = awaitConnect(c->readEnd, c->wake, remainingMs(forever, deadline));
    if (connected != pipeIo::done)
        return connected;
    const DWORD size = capacity > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(capacity);
    DWORD moved = 0;
    const pipeIo r = runIo(c->readEnd, true, buffer, size, c->wake, remainingMs(forever, deadline), moved);
    got = moved;
    return r;
}

pipeIo writePipe(pipeConnection* c, const void* data, std::size_t size, unsigned int timeoutMs,
                 std::size_t& written) {
    written = 0;
    if (c == nullptr || (data == nullptr && size > 0))
        return pipeIo::failed;
    if (c->writeEnd.gone)
        return pipeIo::peerGone;
    if (awaitConnect(c->writeEnd, nullptr, 0) != pipeIo::done)
        return pipeIo::failed; // no client reads yet
    const bool forever = timeoutMs == waitForever;
    const ULONGLONG deadline = ::GetTickCount64() + (forever ? 0 : timeoutMs);
    const char* p = static_cast<const char*>(data);
    while (written < size) {
        const std::size_t left = size - written;
        const DWORD chunk = left > 0x100000 ? 0x100000 : static_cast<DWORD>(left);
        DWORD moved = 0;
        const pipeIo r = runIo(c->writeEnd, false, const_cast<char*>(p + written), chunk, nullptr,
                               remainingMs(forever, deadline), moved);
        written += moved;
        if (r != pipeIo::done)
            return r;
        if (moved == 0 && remainingMs(forever, deadline) == 0)
            return pipeIo::timedOut;
    }
    return pipeIo::done;
}

void wakePipe(pipeConnection* c) {
    if (c != nullptr && c->wake != nullptr)
        ::SetEvent(c->wake);
}

void clearWake(pipeConnection* c) {
    if (c != nullptr && c->wake != nullptr)
        ::ResetEvent(c->wake);
}

} // namespace zv::os
