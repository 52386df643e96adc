#pragma once

// The buffers the voice library reads while a play, record or tone runs: a transfer list, a
// termination table, a format block and the data of memory entries. The library reads them after
// the starting command has returned, so every transfer command gets a set of its own, and a
// running function never loses the set it was started with.
//
// A channel runs one function at a time, so it needs at most two sets: the running function's
// and the one a command is filling. A set the library did not take (the command failed before
// or at the start) is freed when its command ends; a set the library took frees the channel's
// older ones, whose functions must have ended for the library to take it. The rest go when a
// later command finds the channel idle, or at the end of the session. A channel that stays busy
// therefore never piles sets up, however many commands reach it.

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
    class Hold;

    // A fresh set for the channel's next transfer command. `channel_idle`: the channel runs no
    // function, so its older sets are freed first.
    Hold NewSet(int32_t handle, bool channel_idle);
    // Frees every set of every channel.
    void FreeAll();
    size_t Size() const;

private:
    void Started(int32_t handle, const TransferSet* set);
    void Abandon(int32_t handle, const TransferSet* set);

    mutable std::recursive_mutex lock_;
    std::map<int32_t, std::vector<std::unique_ptr<TransferSet>>> sets_;
};

// A command's set while the command runs: freed when the hold ends unless the library took it.
class TransferBuffers::Hold {
public:
    Hold(Hold&& other) noexcept;
    Hold& operator=(Hold&&) = delete;
    ~Hold();

    TransferSet& operator*() const { return *set_; }
    TransferSet* operator->() const { return set_; }
    // The library runs a function on the set: it stays, and the channel's older sets go.
    void Started();

private:
    friend class TransferBuffers;
    Hold(TransferBuffers* owner, int32_t handle, TransferSet* set)
        : owner_(owner), handle_(handle), set_(set) {}

    TransferBuffers* owner_;
    int32_t handle_;
    TransferSet* set_;
};

}  // namespace ruzd::node
