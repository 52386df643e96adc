#pragma once

// The writing side of the binary message stream. A message is a sequence of typed values that a
// thread composes in a buffer of its own, without taking a lock, and closes with Flush, which
// frames it and hands the frame to Send under the writer's lock. Derived classes decide where
// frames go (a peer socket, every peer of a listener, or anything else) by implementing Send,
// SendTo and GetPeerName.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace ruzd::net {

class COutputStreamSocket {
public:
    // Receives one line for every value the writer refuses, so that the owner can put it in its
    // log. Called with the writer's lock held.
    using Logger = std::function<void(const std::string& line)>;

    COutputStreamSocket();
    virtual ~COutputStreamSocket();
    COutputStreamSocket(const COutputStreamSocket&) = delete;
    COutputStreamSocket& operator=(const COutputStreamSocket&) = delete;

    // The address and port of the peer that frames go to; false when there is no single peer.
    virtual bool GetPeerName(std::string& address, unsigned& port) = 0;
    // Sends one whole frame. Called with the writer's lock held, so frames never interleave;
    // an implementation must not write on this writer from the same thread. The result is not
    // looked at.
    virtual int Send(const uint8_t* frame, int length) = 0;
    // As Send, to the one peer with that address and port.
    virtual int SendTo(const std::string& address, unsigned port, const uint8_t* frame,
                       int length) = 0;

    void SetLogger(Logger logger);

    // Sends the calling thread's unsent message, if any, then starts a new one whose first value
    // (by convention its message or command code) is written as by WriteInt.
    COutputStreamSocket& BeginMessage(int32_t first);
    COutputStreamSocket& BeginMessageWithValue(int32_t first, const int32_t& second);

    COutputStreamSocket& WriteInt(int32_t value);
    COutputStreamSocket& WriteLong(int32_t value);
    COutputStreamSocket& WriteIntRef(const int32_t& value);
    COutputStreamSocket& WriteUInt(uint32_t value);
    // An enumeration goes as its numeric value, unsigned when its underlying type is.
    template <typename Enum>
    requires std::is_enum_v<Enum> COutputStreamSocket& WriteEnum(Enum value) {
        using Underlying = std::underlying_type_t<Enum>;
        if constexpr (std::is_signed_v<Underlying>) {
            return WriteInt(static_cast<int32_t>(value));
        } else {
            return WriteUInt(static_cast<uint32_t>(value));
        }
    }

    // Narrow text: UTF-8 in, Windows-1252 on the wire, up to the first NUL. Text longer than
    // 65535 bytes on the wire is refused (see IsPendingMessageRefused).
    COutputStreamSocket& WriteString(std::string_view text);
    // The same for NUL-terminated text; a null pointer writes empty text.
    COutputStreamSocket& WriteStringA(const char* text);
    // A byte string of 0 to 65535 bytes; a longer one, a negative length or a null pointer with
    // a length is refused.
    COutputStreamSocket& WriteBytes(const uint8_t* data, int length);

    // Frames the calling thread's pending message and hands it to Send. Nothing is sent when no
    // value was written since the last send. A message that had a value refused is dropped
    // instead of sent, and the result is false; otherwise true.
    bool Flush();
    // As Flush, through SendTo to one peer.
    bool FlushTo(const std::string& address, unsigned port);
    // WriteBytes then Flush (or FlushTo) under one hold of the lock.
    bool SendBytes(const uint8_t* data, int length);
    bool SendBytesTo(const std::string& address, unsigned port, const uint8_t* data, int length);

    // True when a value of the calling thread's pending message was refused: the message is
    // incomplete, and the next Flush or BeginMessage drops it rather than send it.
    bool IsPendingMessageRefused();

protected:
    // Derived classes hold it where their own state must change together with the sends.
    std::recursive_mutex& WriterLock() const { return lock_; }
    // What Flush hands its frame to (with the writer's lock held): Send, unless a derived class
    // leaves part of the work to AfterSend.
    virtual int SendFromFlush(const uint8_t* frame, int length) { return Send(frame, length); }
    // Called after every Flush and FlushTo once the writer's lock is let go (by this call; a
    // thread that holds it around the call still holds it): for sends that SendFromFlush only
    // queued, so that they do not keep every other writer waiting.
    virtual void AfterSend() {}

private:
    // One thread's message under construction. The first four bytes stay free for the frame's
    // length header, so that the whole frame leaves from one array without copying. The size of
    // `data` is the buffer's capacity; the vector's own spare room makes repeated growth cheap.
    struct TThreadStructure {
        std::vector<uint8_t> data;
        int length = 0;
        bool refused = false;

        int capacity() const { return static_cast<int>(data.size()); }
    };

    // The calling thread's buffer for this writer. A thread remembers the last writer it wrote
    // on with its buffer, so that writing a value takes neither the writer's lock nor a search
    // of the buffers: those only when a thread first writes on a writer or comes back to it
    // after writing on another one.
    TThreadStructure& ThreadBuffer();
    // The calling thread's buffer, null when it has none yet; under the lock.
    std::unique_ptr<TThreadStructure>* FindBufferLocked(std::thread::id thread);
    // Makes room for a value of `room` bytes; false (and the message refused) when the buffer
    // would have to reach 16 MB.
    bool Reserve(TThreadStructure& buffer, int room);
    void Refuse(TThreadStructure& buffer, const std::string& line);
    void PutByte(TThreadStructure& buffer, uint8_t byte);
    void PutInt(TThreadStructure& buffer, int32_t value);
    void PutText(TThreadStructure& buffer, std::string_view cp1252);
    void PutBytes(TThreadStructure& buffer, const uint8_t* data, int length);
    // Closes the message and hands it to `send` (which gets the frame's start and length).
    template <typename SendFrame>
    bool CloseMessage(TThreadStructure& buffer, const SendFrame& send);

    // The last writer a thread wrote on, by its number (never reused in the process, so that a
    // writer made where a destroyed one was is never taken for it), and its buffer there.
    struct ThreadCache {
        uint64_t writer = 0;
        TThreadStructure* buffer = nullptr;
    };
    static thread_local ThreadCache thread_cache_;

    const uint64_t number_;
    // A writer made for one message (the reply writer of a received command) is written on by
    // one thread: its buffer is held here, and the table is made only for a second thread. A
    // thread keeps the buffer of such a writer when the writer goes, for its next one.
    static thread_local std::unique_ptr<TThreadStructure> spare_buffer_;

    // Guards the buffers, the logger and the sends; each buffer is its thread's alone.
    mutable std::recursive_mutex lock_;
    std::thread::id first_thread_;
    std::unique_ptr<TThreadStructure> first_buffer_;
    std::unordered_map<std::thread::id, std::unique_ptr<TThreadStructure>> buffers_;
    Logger logger_;
};

}  // namespace ruzd::net
