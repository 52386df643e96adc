#pragma once

// The buffers the voice library reads while a play, record or tone runs: a transfer list, a
// termination table, a format block and the data of memory entries. The library reads them after
// the starting command has returned, so every transfer command gets a set of its own, and a
// running function never loses the set it was started with: a channel's older sets are freed
// only when a later command finds the channel idle, or at the end of the session.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "telephony/vendorapi/voice.h"

namespace ruzd::node {

// The entries the central server may send; one more of each is the end guard.
inline constexpr int kTransferEntries = 51;
inline constexpr int kTerminationEntries = 31;

struct TransferSet {
    TransferSet();

    // Entry 52 and entry 32 carry the end bit, so that the library always meets an end mark.
    std::array<DX_IOTT, kTransferEntries + 1> list{};
    std::array<DV_TPT, kTerminationEntries + 1> terminations{};
    DX_XPB format{};
    std::vector<std::unique_ptr<char[]>> blocks;  // the data of memory entries
};

class TransferBuffers {
public:
    // A fresh set for the channel's next transfer command. `channel_idle`: the channel runs no
    // function, so its older sets are freed first.
    TransferSet& NewSet(int32_t handle, bool channel_idle);
    // Frees every set of every channel.
    void FreeAll();
    size_t Size() const;

private:
    mutable std::recursive_mutex lock_;
    std::map<int32_t, std::vector<std::unique_ptr<TransferSet>>> sets_;
};

}  // namespace ruzd::node
