#pragma once

// What the manager keeps per Aculab channel handle for the Prosody code of the hardware layer:
// the stream, time slot and module of the channel, the card it is switched on and that card's
// serial, the echo canceller's three channels and the VMP and TDM contexts. All of it sits
// under one lock, the Aculab table lock, so that a channel's values are read and changed as
// one. The lock is re-entrant: the handle allocation of the command handlers holds it across
// several of these calls.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "foundation/node_services.h"

namespace ruzd::node {

class AculabHandleTables {
public:
    // Each getter returns the stored value, -1 when the handle has none; each setter inserts or
    // replaces.
    int32_t GetProsodyStream(int32_t handle) const;
    int32_t GetProsodyTimeslot(int32_t handle) const;
    int32_t GetProsodyModule(int32_t handle) const;
    int32_t GetAculabCardIndex(int32_t handle) const;
    void SetProsodyStream(int32_t handle, int32_t value);
    void SetProsodyTimeslot(int32_t handle, int32_t value);
    void SetProsodyModule(int32_t handle, int32_t value);
    // Recorded when the handle is allocated on a card.
    void SetAculabCardIndex(int32_t handle, int32_t card);

    // The card serial; empty when none is stored.
    std::string GetAculabCardSerial(int32_t handle) const;
    void SetAculabCardSerial(int32_t handle, const std::string& serial);

    // Null when none is stored; storing null clears the entry.
    tSMChannelId_struct* GetEchoCancelIn(int32_t handle) const;
    tSMChannelId_struct* GetEchoCancelRef(int32_t handle) const;
    tSMChannelId_struct* GetEchoCancelOut(int32_t handle) const;
    void SetEchoCancelIn(int32_t handle, tSMChannelId_struct* channel);
    void SetEchoCancelRef(int32_t handle, tSMChannelId_struct* channel);
    void SetEchoCancelOut(int32_t handle, tSMChannelId_struct* channel);

    tSMVMPrxId_struct* GetVMPrxId(int32_t handle) const;
    tSMVMPtxId_struct* GetVMPtxId(int32_t handle) const;
    tSMTDMrxId_struct* GetTDMrxId(int32_t handle) const;
    tSMTDMtxId_struct* GetTDMtxId(int32_t handle) const;
    void SetVMPrxId(int32_t handle, tSMVMPrxId_struct* id);
    void SetVMPtxId(int32_t handle, tSMVMPtxId_struct* id);
    void SetTDMrxId(int32_t handle, tSMTDMrxId_struct* id);
    void SetTDMtxId(int32_t handle, tSMTDMtxId_struct* id);

    // The Aculab table lock, for a caller that must change several entries as one.
    std::recursive_mutex& Lock() const { return lock_; }

private:
    template <typename Value>
    Value Find(const std::map<int32_t, Value>& map, int32_t handle, Value none) const;
    template <typename Value>
    void Store(std::map<int32_t, Value>& map, int32_t handle, Value value);
    template <typename Pointer>
    void StoreOrClear(std::map<int32_t, Pointer*>& map, int32_t handle, Pointer* value);

    mutable std::recursive_mutex lock_;
    std::map<int32_t, int32_t> stream_;
    std::map<int32_t, int32_t> timeslot_;
    std::map<int32_t, int32_t> module_;
    std::map<int32_t, int32_t> cardIndex_;
    std::map<int32_t, std::string> cardSerial_;
    std::map<int32_t, tSMChannelId_struct*> echoIn_;
    std::map<int32_t, tSMChannelId_struct*> echoRef_;
    std::map<int32_t, tSMChannelId_struct*> echoOut_;
    std::map<int32_t, tSMVMPrxId_struct*> vmpRx_;
    std::map<int32_t, tSMVMPtxId_struct*> vmpTx_;
    std::map<int32_t, tSMTDMrxId_struct*> tdmRx_;
    std::map<int32_t, tSMTDMtxId_struct*> tdmTx_;
};

}  // namespace ruzd::node
