#include "telephony/rtp_audio_stream.h"

#include <utility>

#include "telephony/audio_ring_buffer.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {

RTPAudioStream::RTPAudioStream(AudioRingBuffer* buffer, std::string worker_name)
    : AudioStream(buffer), worker_name_(std::move(worker_name)) {}

RTPAudioStream::~RTPAudioStream() {
    RTPAudioStream::Close();
}

int32_t RTPAudioStream::Start() {
    std::unique_ptr<std::thread> ended;
    {
        std::lock_guard hold(queue_lock_);
        if (running_) {
            return 0;
        }
        running_ = true;
        // A worker stopped earlier has left its loop; it is joined before the new one starts.
        ended = std::move(worker_);
    }
    if (ended) {
        ended->join();
    }
    std::lock_guard hold(queue_lock_);
    worker_ = std::make_unique<std::thread>([this] { Work(); });
    return 0;
}

int32_t RTPAudioStream::StartOn(Notice notice) {
    RTPAudioStream::Start();
    if (notice == Notice::kRead) {
        buffer()->SetReadNotify(this);
    } else {
        buffer()->SetWriteNotify(this);
    }
    Queue(this);
    return 0;
}

int32_t RTPAudioStream::Stop() {
    {
        std::lock_guard hold(queue_lock_);
        running_ = false;
    }
    wake_.notify_all();
    return 0;
}

int32_t RTPAudioStream::Close() {
    Stop();
    std::unique_ptr<std::thread> worker;
    {
        std::lock_guard hold(queue_lock_);
        worker = std::move(worker_);
    }
    if (worker && worker->get_id() != std::this_thread::get_id()) {
        worker->join();
    } else if (worker) {
        worker->detach();
    }
    return 0;
}

void RTPAudioStream::Queue(RTPAudioStream* stream) {
    bool was_empty = false;
    {
        std::lock_guard hold(queue_lock_);
        was_empty = queue_.empty();
        queue_.push_back(stream);
    }
    if (was_empty) {
        wake_.notify_one();
    }
}

void RTPAudioStream::OnDataRead(AudioRingBuffer& /*buffer*/) {
    Queue(this);
}

void RTPAudioStream::OnDataWritten(AudioRingBuffer& /*buffer*/) {
    Queue(this);
}

// The wait's predicate looks at the queue and the running flag under the queue's lock, so a
// stream queued between a look at the queue and the wait still wakes the worker.
void RTPAudioStream::Work() {
    VendorTrace(0, 0, "%s started\n", worker_name_.c_str());
    std::unique_lock hold(queue_lock_);
    for (;;) {
        wake_.wait(hold, [this] { return !running_ || !queue_.empty(); });
        if (!running_) {
            break;
        }
        while (running_ && !queue_.empty()) {
            RTPAudioStream* stream = queue_.front();
            queue_.pop_front();
            hold.unlock();
            const bool more = stream->Process();
            hold.lock();
            if (more) {
                queue_.push_back(stream);
            }
        }
    }
    hold.unlock();
    VendorTrace(0, 0, "%s stopped", worker_name_.c_str());
}

}  // namespace ruzd::telephony
