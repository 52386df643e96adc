#pragma once

// A stream with a worker thread of its own and a queue of streams with work to do: a stream
// queues itself when its buffer tells it of a read or write, and the worker calls each queued
// stream's Process until it has nothing more to do. The RTP sender and the file streams are
// built on it.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "telephony/audio_stream.h"

namespace ruzd::telephony {

class RTPAudioStream : public AudioStream {
public:
    // Closes a stream its owner left running.
    ~RTPAudioStream() override;

    // Starts the worker (0 also when it runs already).
    int32_t Start() override;
    // Ends the worker's loop; Close waits for it.
    int32_t Stop() override;
    // Stops a running worker and waits for its end; at once when none was ever started.
    int32_t Close() override;

    // Hands `stream` to the worker, waking it when the queue was empty.
    void Queue(RTPAudioStream* stream);
    void OnDataRead(AudioRingBuffer& buffer) override;
    void OnDataWritten(AudioRingBuffer& buffer) override;

    // One piece of work; true when there is more to do at once.
    virtual bool Process() { return false; }

protected:
    // `worker_name` names the worker's start and stop lines ("<name> started").
    RTPAudioStream(AudioRingBuffer* buffer, std::string worker_name);
    // Starts the worker with this stream told of the buffer's reads (a source that refills it)
    // or writes (a target that drains it), and queued for a first look.
    enum class Notice { kRead, kWrite };
    int32_t StartOn(Notice notice);

private:
    void Work();

    const std::string worker_name_;
    std::mutex queue_lock_;  // the queue, the running flag and the condition's waits
    std::condition_variable wake_;
    std::deque<RTPAudioStream*> queue_;
    bool running_ = false;
    std::unique_ptr<std::thread> worker_;
};

}  // namespace ruzd::telephony
