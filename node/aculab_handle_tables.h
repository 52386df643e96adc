#pragma once

// What the manager keeps per Aculab channel handle for the Prosody code of the hardware layer:
// the port and time slot the handle was allocated for, the stream, time slot and module of the
// channel, the card it is switched on and that card's serial, the echo canceller's three
// channels and the VMP and TDM contexts. All of it sits under one lock, the Aculab table lock, so
// that a channel's values are read and changed as one. The lock is re-entrant: the handle
// allocation of the command handlers holds it across several of these calls.
//
// The handles are the manager's own numbers, counting up from 10000 and never reused. The call
// handles of a channel (incoming and outgoing) sit under a second lock, the Aculab call lock;
// the two locks are never held together.
//
// The hardware layer reaches the per-channel values through telephony::AculabChannelStore.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "telephony/aculab_channel_store.h"

namespace ruzd::node {

class AculabHandleTables : public telephony::AculabChannelStore {
public:
    // The first handle a fresh table gives out.
    static constexpr int32_t kFirstAculabHandle = 10000;
    // Directions of a channel's call handles.
    static constexpr uint8_t kIncomingCall = 0;
    static constexpr uint8_t kOutgoingCall = 1;

    // The handle already recorded for (port id, time slot), else a new one recorded with its
    // port id, time slot and card index.
    int32_t AllocateAculabHandle(int32_t card, int32_t portId, int32_t timeslot);
    // Forgets everything recorded for the handle, its call handles included. An unknown handle
    // changes nothing.
    void ReleaseAculabHandle(int32_t handle);
    // The port id and time slot the handle was allocated for; -1 when unknown.
    int32_t GetAculabPortId(int32_t handle) const;
    int32_t GetAculabTimeslot(int32_t handle) const;
    // Moves an allocated handle to another port, its time slot kept; an unknown handle changes
    // nothing.
    void SetAculabPortId(int32_t handle, int32_t portId);

    // The call handle of one direction; false when none is stored.
    bool GetAculabCallHandle(int32_t handle, uint8_t direction, int32_t* callHandle) const;
    void SetAculabCallHandle(int32_t handle, uint8_t direction, int32_t callHandle);

    // Each getter returns the stored value, -1 when the handle has none; each setter inserts or
    // replaces.
    int32_t GetProsodyStream(int32_t handle) const override;
    int32_t GetProsodyTimeslot(int32_t handle) const override;
    int32_t GetProsodyModule(int32_t handle) const override;
    int32_t GetAculabCardIndex(int32_t handle) const override;
    void SetProsodyStream(int32_t handle, int32_t value) override;
    void SetProsodyTimeslot(int32_t handle, int32_t value) override;
    void SetProsodyModule(int32_t handle, int32_t value) override;
    // Recorded when the handle is allocated on a card.
    void SetAculabCardIndex(int32_t handle, int32_t card);

    // The card serial; empty when none is stored.
    std::string GetAculabCardSerial(int32_t handle) const;
    void SetAculabCardSerial(int32_t handle, const std::string& serial) override;

    // Null when none is stored; storing null clears the entry.
    tSMChannelId_struct* GetEchoCancelIn(int32_t handle) const override;
    tSMChannelId_struct* GetEchoCancelRef(int32_t handle) const override;
    tSMChannelId_struct* GetEchoCancelOut(int32_t handle) const override;
    void SetEchoCancelIn(int32_t handle, tSMChannelId_struct* channel) override;
    void SetEchoCancelRef(int32_t handle, tSMChannelId_struct* channel) override;
    void SetEchoCancelOut(int32_t handle, tSMChannelId_struct* channel) override;

    tSMVMPrxId_struct* GetVMPrxId(int32_t handle) const override;
    tSMVMPtxId_struct* GetVMPtxId(int32_t handle) const override;
    tSMTDMrxId_struct* GetTDMrxId(int32_t handle) const override;
    tSMTDMtxId_struct* GetTDMtxId(int32_t handle) const override;
    void SetVMPrxId(int32_t handle, tSMVMPrxId_struct* id) override;
    void SetVMPtxId(int32_t handle, tSMVMPtxId_struct* id) override;
    void SetTDMrxId(int32_t handle, tSMTDMrxId_struct* id) override;
    void SetTDMtxId(int32_t handle, tSMTDMtxId_struct* id) override;

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
    int32_t next_handle_ = kFirstAculabHandle;
    std::map<int32_t, std::map<int32_t, int32_t>>
        handle_by_port_slot_;  // port id -> slot -> handle
    std::map<int32_t, int32_t> port_id_;
    std::map<int32_t, int32_t> aculab_timeslot_;
    std::map<int32_t, int32_t> stream_;
    std::map<int32_t, int32_t> timeslot_;
    std::map<int32_t, int32_t> module_;
    std::map<int32_t, int32_t> card_index_;
    std::map<int32_t, std::string> card_serial_;
    std::map<int32_t, tSMChannelId_struct*> echo_in_;
    std::map<int32_t, tSMChannelId_struct*> echo_ref_;
    std::map<int32_t, tSMChannelId_struct*> echo_out_;
    std::map<int32_t, tSMVMPrxId_struct*> vmp_rx_;
    std::map<int32_t, tSMVMPtxId_struct*> vmp_tx_;
    std::map<int32_t, tSMTDMrxId_struct*> tdm_rx_;
    std::map<int32_t, tSMTDMtxId_struct*> tdm_tx_;

    mutable std::recursive_mutex call_lock_;
    std::map<int32_t, std::map<uint8_t, int32_t>> call_handles_;
};

}  // namespace ruzd::node
