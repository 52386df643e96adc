#include "telephony/rtp_channel_streams.h"

#include <map>
#include <mutex>

namespace ruzd::telephony {
namespace {

struct StreamTable {
    std::recursive_mutex lock;
    std::map<int32_t, std::unique_ptr<CRTPStreamV2>> streams;
};

StreamTable& Table() {
    // Never destroyed: a socket thread may still reach it while the process runs its exit
    // handlers.
    static auto* const table = new StreamTable();
    return *table;
}

// Runs `work` on the channel's entry under the table's lock; false when there is none.
template <typename Work>
bool WithStream(int32_t channel, Work work) {
    StreamTable& table = Table();
    std::lock_guard hold(table.lock);
    const auto entry = table.streams.find(channel);
    if (entry == table.streams.end()) {
        return false;
    }
    work(table, entry);
    return true;
}

}  // namespace

CRTPStreamV2::CRTPStreamV2(int32_t channel, const std::string& address_text, int32_t port)
    : buffer_(std::make_unique<AudioRingBuffer>(kBufferCapacity)),
      source_(std::make_unique<CspAudioStreamSource>(channel, buffer_.get())),
      target_(std::make_unique<RTPAudioStreamTarget>(address_text, port, buffer_.get())) {
    source_->Open();
    target_->Open();
    target_->Start();
    source_->Start();
}

CRTPStreamV2::~CRTPStreamV2() {
    if (source_) {
        source_->Stop();
        source_->Close();
        source_.reset();
    }
    if (target_) {
        target_->Stop();
        target_->Close();
        target_.reset();
    }
    buffer_.reset();
}

int32_t CRTPStreamV2::StopSource() {
    return source_ ? source_->Stop() : -1;
}

bool RTPStreamStart(int32_t channel, const std::string& address_text, int32_t port) {
    StreamTable& table = Table();
    std::lock_guard hold(table.lock);
    if (table.streams.count(channel) != 0) {
        return false;
    }
    table.streams[channel] = std::make_unique<CRTPStreamV2>(channel, address_text, port);
    return true;
}

bool RTPStreamStop(int32_t channel) {
    return WithStream(channel, [](StreamTable&, auto entry) { entry->second->StopSource(); });
}

bool RTPStreamRemove(int32_t channel) {
    return WithStream(channel, [](StreamTable& table, auto entry) { table.streams.erase(entry); });
}

void RTPStreamStopAll() {
    StreamTable& table = Table();
    std::lock_guard hold(table.lock);
    for (auto& [channel, stream] : table.streams) {
        stream->StopSource();
    }
}

void RTPStreamRemoveAll() {
    StreamTable& table = Table();
    std::lock_guard hold(table.lock);
    table.streams.clear();
}

size_t RTPStreamCount() {
    StreamTable& table = Table();
    std::lock_guard hold(table.lock);
    return table.streams.size();
}

}  // namespace ruzd::telephony
