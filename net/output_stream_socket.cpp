#include "net/output_stream_socket.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "net/stream_format.h"
#include "platform/text.h"

namespace ruzd::net {
namespace {

using namespace stream_format;

constexpr int kHeaderRoom = 4;   // free bytes in front of the payload for the length header
constexpr int kTrailerRoom = 3;  // sum (2 bytes) and end byte behind the payload
constexpr int kInitialCapacity = 4096;
constexpr int kGrowthStep = 4096;
// A buffer never reaches this size, so a payload always fits length form 3.
constexpr int kCapacityLimit = 0xFFFFFF;

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string_view UpToNul(std::string_view text) {
    return text.substr(0, std::min(text.find('\0'), text.size()));
}

std::atomic<uint64_t> g_next_writer_number{1};

}  // namespace

thread_local COutputStreamSocket::ThreadCache COutputStreamSocket::thread_cache_;
thread_local std::unique_ptr<COutputStreamSocket::TThreadStructure>
    COutputStreamSocket::spare_buffer_;

COutputStreamSocket::COutputStreamSocket() : number_(g_next_writer_number.fetch_add(1)) {}

// Unsent messages are dropped with their buffers: nothing may be sent from here, the derived
// part that sends is already gone. The destroying thread keeps its own buffer, when it is of
// the usual size, for the next writer it writes on.
COutputStreamSocket::~COutputStreamSocket() {
    std::lock_guard lock(lock_);
    std::unique_ptr<TThreadStructure>* own = FindBufferLocked(std::this_thread::get_id());
    if (own != nullptr && *own && (*own)->capacity() <= kInitialCapacity && !spare_buffer_) {
        spare_buffer_ = std::move(*own);
    }
}

std::unique_ptr<COutputStreamSocket::TThreadStructure>* COutputStreamSocket::FindBufferLocked(
    std::thread::id thread) {
    if (first_buffer_ && first_thread_ == thread) {
        return &first_buffer_;
    }
    const auto found = buffers_.find(thread);
    return found == buffers_.end() ? nullptr : &found->second;
}

void COutputStreamSocket::SetLogger(Logger logger) {
    std::lock_guard lock(lock_);
    logger_ = std::move(logger);
}

// Buffers are kept per thread id for the writer's lifetime and reused for every message of that
// thread. A thread that ends leaves its buffer behind; a later thread given the same id by the
// system takes it over.
COutputStreamSocket::TThreadStructure& COutputStreamSocket::ThreadBuffer() {
    ThreadCache& cache = thread_cache_;
    if (cache.writer == number_) {
        return *cache.buffer;
    }
    std::lock_guard lock(lock_);
    const std::thread::id thread = std::this_thread::get_id();
    std::unique_ptr<TThreadStructure>* found = FindBufferLocked(thread);
    if (found == nullptr) {
        if (!first_buffer_) {
            first_thread_ = thread;
            found = &first_buffer_;
        } else {
            found = &buffers_[thread];
        }
    }
    std::unique_ptr<TThreadStructure>& slot = *found;
    if (!slot) {
        if (spare_buffer_) {
            slot = std::move(spare_buffer_);
            slot->refused = false;
        } else {
            slot = std::make_unique<TThreadStructure>();
            slot->data.resize(kInitialCapacity);
        }
        slot->length = kHeaderRoom;
    }
    cache = ThreadCache{number_, slot.get()};
    return *slot;
}

bool COutputStreamSocket::Reserve(TThreadStructure& buffer, int room) {
    if (buffer.refused) {
        return false;  // the message is lost already; don't let it grow any further
    }
    // Two spare bytes plus the strict comparison keep the trailer's three bytes free.
    if (buffer.length + room + 2 < buffer.capacity()) {
        return true;
    }
    const int growth = ((room + 2) / kGrowthStep) * kGrowthStep + kGrowthStep;
    if (buffer.capacity() + growth >= kCapacityLimit) {
        Refuse(buffer, platform::Format("ERROR: Stream message would grow past %d bytes with a "
                                        "value of %d bytes; the message is dropped",
                                        buffer.capacity(), room));
        return false;
    }
    buffer.data.resize(buffer.capacity() + growth);
    return true;
}

// A message missing one of its values would be read wrongly by the peer, so the whole message is
// given up rather than sent without it.
void COutputStreamSocket::Refuse(TThreadStructure& buffer, const std::string& line) {
    buffer.refused = true;
    std::lock_guard lock(lock_);
    if (logger_) {
        logger_(line);
    }
}

void COutputStreamSocket::PutByte(TThreadStructure& buffer, uint8_t byte) {
    buffer.data[buffer.length++] = byte;
}

void COutputStreamSocket::PutInt(TThreadStructure& buffer, int32_t value) {
    // The magnitude as unsigned, so that -2147483648 needs no special case.
    const uint32_t magnitude =
        value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    if (value >= 0 && value <= kLargestSmallPositive) {
        if (Reserve(buffer, 1)) {
            PutByte(buffer, static_cast<uint8_t>(value));
        }
    } else if (value < 0 && magnitude <= kLargestSmallNegative) {
        if (Reserve(buffer, 1)) {
            PutByte(buffer, static_cast<uint8_t>(kSmallNegativeBase | magnitude));
        }
    } else if (magnitude <= 0xFF) {
        if (Reserve(buffer, 2)) {
            PutByte(buffer, value < 0 ? kNegative8 : kPositive8);
            PutByte(buffer, static_cast<uint8_t>(magnitude));
        }
    } else if (magnitude <= 0xFFFF) {
        if (Reserve(buffer, 3)) {
            PutByte(buffer, value < 0 ? kNegative16 : kPositive16);
            PutByte(buffer, static_cast<uint8_t>(magnitude >> 8));
            PutByte(buffer, static_cast<uint8_t>(magnitude));
        }
    } else if (Reserve(buffer, 5)) {
        PutByte(buffer, value < 0 ? kNegative32 : kPositive32);
        PutByte(buffer, static_cast<uint8_t>(magnitude >> 24));
        PutByte(buffer, static_cast<uint8_t>(magnitude >> 16));
        PutByte(buffer, static_cast<uint8_t>(magnitude >> 8));
        PutByte(buffer, static_cast<uint8_t>(magnitude));
    }
}

void COutputStreamSocket::PutText(TThreadStructure& buffer, std::string_view cp1252) {
    const int n = static_cast<int>(std::min<size_t>(cp1252.size(), kMaxStringLength + 1));
    if (n > kMaxStringLength) {
        Refuse(buffer, platform::Format("ERROR: Stream message text of %zu bytes is longer than "
                                        "%d bytes; the message is dropped",
                                        cp1252.size(), kMaxStringLength));
        return;
    }
    if (n <= kLargestShortText) {
        if (!Reserve(buffer, n + 1)) {
            return;
        }
        PutByte(buffer, static_cast<uint8_t>(kTextShort + n));
    } else if (n <= 0xFF) {
        if (!Reserve(buffer, n + 2)) {
            return;
        }
        PutByte(buffer, kText8);
        PutByte(buffer, static_cast<uint8_t>(n));
    } else {
        if (!Reserve(buffer, n + 3)) {
            return;
        }
        PutByte(buffer, kText16);
        PutByte(buffer, static_cast<uint8_t>(n >> 8));
        PutByte(buffer, static_cast<uint8_t>(n));
    }
    if (n > 0) {
        std::memcpy(buffer.data.data() + buffer.length, cp1252.data(), n);
        buffer.length += n;
    }
}

void COutputStreamSocket::PutBytes(TThreadStructure& buffer, const uint8_t* data, int length) {
    if (length < 0 || length > kMaxStringLength || (data == nullptr && length > 0)) {
        Refuse(buffer, platform::Format("ERROR: Stream message byte string of %d bytes refused "
                                        "(0 to %d bytes with data); the message is dropped",
                                        length, kMaxStringLength));
        return;
    }
    if (!Reserve(buffer, length + 3)) {
        return;
    }
    if (length <= kLargestShortBytes) {
        PutByte(buffer, static_cast<uint8_t>(kBytesShort + length));
    } else if (length <= 0xFF) {
        PutByte(buffer, kBytes8);
        PutByte(buffer, static_cast<uint8_t>(length));
    } else {
        PutByte(buffer, kBytes16);
        PutByte(buffer, static_cast<uint8_t>(length >> 8));
        PutByte(buffer, static_cast<uint8_t>(length));
    }
    if (length > 0) {
        std::memcpy(buffer.data.data() + buffer.length, data, length);
        buffer.length += length;
    }
}

template <typename SendFrame>
bool COutputStreamSocket::CloseMessage(TThreadStructure& buffer, const SendFrame& send) {
    if (buffer.refused) {
        buffer.refused = false;
        buffer.length = kHeaderRoom;
        return false;
    }
    if (buffer.length <= kHeaderRoom) {
        return true;
    }
    uint8_t* data = buffer.data.data();
    uint32_t sum = 0;
    for (int i = kHeaderRoom; i < buffer.length; ++i) {
        sum += data[i];
    }
    PutByte(buffer, static_cast<uint8_t>(sum >> 8));
    PutByte(buffer, static_cast<uint8_t>(sum));
    PutByte(buffer, kFrameEnd);

    const int n = buffer.length - kHeaderRoom - kTrailerRoom;
    int start;
    if (n < 0x100) {
        data[2] = 1;
        data[3] = static_cast<uint8_t>(n);
        start = 2;
    } else if (n < 0x10000) {
        data[1] = 2;
        data[2] = static_cast<uint8_t>(n >> 8);
        data[3] = static_cast<uint8_t>(n);
        start = 1;
    } else {
        // The growth limit keeps every payload below 2^24.
        data[0] = 3;
        data[1] = static_cast<uint8_t>(n >> 16);
        data[2] = static_cast<uint8_t>(n >> 8);
        data[3] = static_cast<uint8_t>(n);
        start = 0;
    }
    send(data + start, buffer.length - start);
    buffer.length = kHeaderRoom;
    return true;
}

COutputStreamSocket& COutputStreamSocket::BeginMessage(int32_t first) {
    TThreadStructure& buffer = ThreadBuffer();
    // Only a message left unsent needs the lock, to go (or be dropped) first.
    if (buffer.length > kHeaderRoom || buffer.refused) {
        Flush();
    }
    PutInt(buffer, first);
    return *this;
}

COutputStreamSocket& COutputStreamSocket::BeginMessageWithValue(int32_t first,
                                                                const int32_t& second) {
    BeginMessage(first);
    PutInt(ThreadBuffer(), second);
    return *this;
}

COutputStreamSocket& COutputStreamSocket::WriteInt(int32_t value) {
    PutInt(ThreadBuffer(), value);
    return *this;
}

COutputStreamSocket& COutputStreamSocket::WriteLong(int32_t value) {
    return WriteInt(value);
}

COutputStreamSocket& COutputStreamSocket::WriteIntRef(const int32_t& value) {
    return WriteInt(value);
}

COutputStreamSocket& COutputStreamSocket::WriteUInt(uint32_t value) {
    if (value <= 0x7FFFFFFF) {
        return WriteInt(static_cast<int32_t>(value));
    }
    TThreadStructure& buffer = ThreadBuffer();
    if (Reserve(buffer, 5)) {
        PutByte(buffer, kPositive32);
        PutByte(buffer, static_cast<uint8_t>(value >> 24));
        PutByte(buffer, static_cast<uint8_t>(value >> 16));
        PutByte(buffer, static_cast<uint8_t>(value >> 8));
        PutByte(buffer, static_cast<uint8_t>(value));
    }
    return *this;
}

COutputStreamSocket& COutputStreamSocket::WriteString(std::string_view text) {
    text = UpToNul(text);
    if (IsAscii(text)) {
        PutText(ThreadBuffer(), text);  // the common case needs no conversion and no allocation
    } else {
        PutText(ThreadBuffer(), platform::Utf8ToCp1252(text));
    }
    return *this;
}

COutputStreamSocket& COutputStreamSocket::WriteStringA(const char* text) {
    return WriteString(text == nullptr ? std::string_view() : std::string_view(text));
}

COutputStreamSocket& COutputStreamSocket::WriteBytes(const uint8_t* data, int length) {
    PutBytes(ThreadBuffer(), data, length);
    return *this;
}

bool COutputStreamSocket::Flush() {
    bool sent = false;
    {
        std::lock_guard lock(lock_);
        sent = CloseMessage(ThreadBuffer(), [this](const uint8_t* frame, int length) {
            SendFromFlush(frame, length);
        });
    }
    AfterSend();
    return sent;
}

bool COutputStreamSocket::FlushTo(const std::string& address, unsigned port) {
    bool sent = false;
    {
        std::lock_guard lock(lock_);
        sent = CloseMessage(ThreadBuffer(), [&](const uint8_t* frame, int length) {
            SendTo(address, port, frame, length);
        });
    }
    AfterSend();
    return sent;
}

bool COutputStreamSocket::SendBytes(const uint8_t* data, int length) {
    std::lock_guard lock(lock_);
    WriteBytes(data, length);
    return Flush();
}

bool COutputStreamSocket::SendBytesTo(const std::string& address, unsigned port,
                                      const uint8_t* data, int length) {
    std::lock_guard lock(lock_);
    WriteBytes(data, length);
    return FlushTo(address, port);
}

bool COutputStreamSocket::IsPendingMessageRefused() {
    if (thread_cache_.writer == number_) {
        return thread_cache_.buffer->refused;
    }
    std::lock_guard lock(lock_);
    std::unique_ptr<TThreadStructure>* found = FindBufferLocked(std::this_thread::get_id());
    return found != nullptr && (*found)->refused;
}

}  // namespace ruzd::net
