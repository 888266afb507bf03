#include "zvNamedPipe.h"

#include "os/zvOs.h"
#include "os/zvOsPipe.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace zv {

namespace detail {

messageFramer::messageFramer(unsigned int maxLength) : m_maxLength(maxLength) {}

void messageFramer::encodeLength(unsigned int length, unsigned char prefix[4]) {
    for (int i = 0; i < 4; ++i)
        prefix[i] = static_cast<unsigned char>((length >> (8 * i)) & 0xFFu);
}

void messageFramer::append(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    if (m_skip > 0) {
        const std::size_t take = static_cast<std::size_t>(std::min<unsigned long long>(m_skip, size));
        m_skip -= take;
        p += take;
        size -= take;
    }
    if (size == 0)
        return;
    // Consumed bytes are given back before the buffer grows.
    if (m_pos == m_data.size()) {
        m_data.clear();
        m_pos = 0;
    } else if (m_pos > 65536 && m_pos * 2 > m_data.size()) {
        m_data.erase(m_data.begin(), m_data.begin() + static_cast<std::ptrdiff_t>(m_pos));
        m_pos = 0;
    }
    m_data.insert(m_data.end(), p, p + size);
    skipOverlong();
}

bool messageFramer::nextLength(unsigned int& length) const {
    if (buffered() < 4)
        return false;
    const auto* b = reinterpret_cast<const unsigned char*>(m_data.data() + m_pos);
    length = static_cast<unsigned int>(b[0]) | static_cast<unsigned int>(b[1]) << 8 |
             static_cast<unsigned int>(b[2]) << 16 | static_cast<unsigned int>(b[3]) << 24;
    return true;
}

bool messageFramer::front(char*& data, unsigned int& length) {
    unsigned int n = 0;
    if (!nextLength(n) || buffered() - 4 < n)
        return false;
    data = m_data.data() + m_pos + 4;
    length = n;
    return true;
}

void messageFramer::pop() {
    char* data = nullptr;
    unsigned int length = 0;
    if (!front(data, length))
        return;
    m_pos += 4 + static_cast<std::size_t>(length);
    skipOverlong();
}

void messageFramer::clear() {
    m_data.clear();
    m_pos = 0;
    m_skip = 0;
    m_dropped = 0;
}

// Reads past messages longer than allowed, so that they never need a buffer.
void messageFramer::skipOverlong() {
    unsigned int length = 0;
    while (m_skip == 0 && nextLength(length) && length > m_maxLength) {
        ++m_dropped;
        const std::size_t available = buffered() - 4;
        if (available >= length) {
            m_pos += 4 + static_cast<std::size_t>(length);
        } else {
            m_skip = length - available;
            m_pos = m_data.size();
        }
    }
}

} // namespace detail

namespace {

using clock = std::chrono::steady_clock;

constexpr std::size_t chunkSize = 65536;

unsigned int msUntil(clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now()).count();
    if (left <= 0)
        return 0;
    return left >= static_cast<long long>(os::waitForever) ? os::waitForever - 1
                                                           : static_cast<unsigned int>(left);
}

} // namespace

struct namedPipe::impl {
    zv::string name;
    zv::string server = L".";
    zv::string path = L"\\\\.\\PIPE\\";
    os::pipeConnection* connection = nullptr;
    std::atomic<bool> readGone{false};  // the peer's end we read from has closed
    std::atomic<bool> writeGone{false}; // nothing more can be sent
    std::atomic<bool> stopRead{false};
    std::atomic<bool> stopListen{false};
    std::atomic<bool> listening{false};
    std::atomic<unsigned int> sendTimeout{namedPipe::defaultSendTimeout};
    std::atomic<unsigned long long> dropped{0}; // the framer's count, for other threads
    std::thread listener;
    std::mutex sendLock;
    detail::messageFramer framer;
    std::vector<char> chunk;

    // Reads more bytes into the framer. False when the caller should stop:
    // `result` then says why.
    bool fill(unsigned int timeoutMs, os::pipeIo& result) {
        if (chunk.empty())
            chunk.resize(chunkSize);
        std::size_t got = 0;
        result = os::readPipe(connection, chunk.data(), chunk.size(), timeoutMs, got);
        if (result == os::pipeIo::done) {
            framer.append(chunk.data(), got);
            dropped = framer.dropped();
            return true;
        }
        if (result == os::pipeIo::peerGone) {
            readGone = true;
            return true; // what arrived before is still delivered
        }
        return false;
    }

    void listen(pipeCallback callback, void* user) {
        while (!stopListen) {
            char* data = nullptr;
            unsigned int length = 0;
            if (framer.front(data, length)) {
                callback(data, length, user);
                framer.pop();
                continue;
            }
            if (readGone)
                break;
            os::pipeIo result{};
            if (!fill(os::waitForever, result)) {
                if (result == os::pipeIo::woken) {
                    if (!stopListen)
                        os::clearWake(connection); // a stray `stopReading`
                    continue;
                }
                break; // the system refused: do not spin on it
            }
        }
        listening = false;
    }
};

namedPipe::namedPipe() : m_impl(new impl) {}

namedPipe::~namedPipe() {
    deinit();
    delete m_impl;
}

void namedPipe::setPipeName(zv::string name, zv::string server) {
    m_impl->name = std::move(name);
    m_impl->server = std::move(server);
    m_impl->path = zv::string(L"\\\\") + m_impl->server + L"\\PIPE\\" + m_impl->name;
}

zv::string namedPipe::getPipeName() const {
    return m_impl->path;
}

zv::string namedPipe::getRealPipeName(bool inbound) const {
    return m_impl->path + (inbound ? L"_IN" : L"_OUT");
}

bool namedPipe::initialize(bool server, pipeCallback callback, void* user, int interval) {
    deinit();
    const std::wstring in = getRealPipeName(true);
    const std::wstring out = getRealPipeName(false);
    m_impl->connection = server ? os::createPipeServer(in, out) : os::openPipeClient(out, in);
    if (m_impl->connection == nullptr)
        return false;
    if (callback != nullptr && !startListener(callback, user, interval)) {
        deinit();
        return false;
    }
    return true;
}

bool namedPipe::isInitialized() const {
    return m_impl->connection != nullptr;
}

bool namedPipe::isBroken() const {
    return m_impl->connection != nullptr && (m_impl->readGone || m_impl->writeGone);
}

bool namedPipe::send(const void* data, unsigned int length) {
    impl& m = *m_impl;
    if (m.connection == nullptr || m.writeGone || length > maxMessageLength ||
        (data == nullptr && length > 0))
        return false;
    std::lock_guard<std::mutex> lock(m.sendLock);
    const auto deadline = clock::now() + std::chrono::milliseconds(m.sendTimeout.load());
    unsigned char prefix[4];
    detail::messageFramer::encodeLength(length, prefix);
    std::size_t written = 0;
    os::pipeIo r = os::writePipe(m.connection, prefix, 4, msUntil(deadline), written);
    if (r == os::pipeIo::done && length > 0) {
        r = os::writePipe(m.connection, data, length, msUntil(deadline), written);
        written += 4;
    }
    if (r == os::pipeIo::done)
        return true;
    // A message cut short leaves the peer unable to find the next one.
    if (r == os::pipeIo::peerGone || written > 0)
        m.writeGone = true;
    return false;
}

void namedPipe::setSendTimeout(unsigned int milliseconds) {
    m_impl->sendTimeout = milliseconds;
}

int namedPipe::read(void* buffer, unsigned int& size, unsigned int timeout) {
    impl& m = *m_impl;
    const unsigned int capacity = size;
    size = 0;
    ZV_ASSERT(buffer != nullptr || capacity == 0);
    m.stopRead = false;
    if (m.connection == nullptr)
        return 1;
    os::clearWake(m.connection);
    const auto deadline = clock::now() + std::chrono::milliseconds(timeout);
    for (;;) {
        unsigned int length = 0;
        if (m.framer.nextLength(length)) {
            if (length > capacity) {
                size = length;
                return 2;
            }
            char* data = nullptr;
            if (m.framer.front(data, length)) {
                if (length > 0)
                    std::memcpy(buffer, data, length);
                m.framer.pop();
                size = length;
                return 0;
            }
        }
        if (m.readGone || m.stopRead)
            return 1;
        os::pipeIo result{};
        if (!m.fill(msUntil(deadline), result)) {
            if (result == os::pipeIo::woken && !m.stopRead) {
                os::clearWake(m.connection);
                continue;
            }
            return 1;
        }
    }
}

void namedPipe::stopReading() {
    m_impl->stopRead = true;
    if (m_impl->connection != nullptr)
        os::wakePipe(m_impl->connection);
}

bool namedPipe::startListener(pipeCallback callback, void* user, int interval) {
    (void)interval;
    impl& m = *m_impl;
    if (m.listener.joinable() && m.listener.get_id() == std::this_thread::get_id())
        return false; // a listener cannot replace itself
    stopListener();
    if (m.connection == nullptr || callback == nullptr)
        return false;
    m.stopListen = false;
    os::clearWake(m.connection);
    m.listening = true;
    try {
        m.listener = std::thread([&m, callback, user] { m.listen(callback, user); });
    } catch (const std::system_error&) {
        m.listening = false;
        return false;
    }
    return true;
}

bool namedPipe::isListening() const {
    return m_impl->listening;
}

void namedPipe::stopListener() {
    impl& m = *m_impl;
    if (!m.listener.joinable())
        return;
    m.stopListen = true;
    if (m.connection != nullptr)
        os::wakePipe(m.connection);
    if (m.listener.get_id() == std::this_thread::get_id())
        return; // from the callback: it ends when the callback returns
    m.listener.join();
    m.stopListen = false;
    if (m.connection != nullptr)
        os::clearWake(m.connection);
}

unsigned long long namedPipe::droppedMessages() const {
    return m_impl->dropped;
}

void namedPipe::deinit() {
    impl& m = *m_impl;
    stopListener();
    if (m.listener.joinable() && m.listener.get_id() == std::this_thread::get_id())
        return; // the listener still runs on this thread; closing waits for the owner
    os::closePipe(m.connection);
    m.connection = nullptr;
    m.framer.clear();
    m.dropped = 0;
    m.readGone = false;
    m.writeGone = false;
    m.stopRead = false;
}

} // namespace zv
