#pragma once

// What the node keeps per Aculab channel handle for the Prosody code of the hardware layer: the
// stream, time slot and module of the channel, the card it is switched on, the echo canceller's
// three channels and the VMP and TDM contexts. The node publishes its store while it lives (see
// foundation/published.h); the hardware layer locks it for the length of one call.

#include <cstdint>
#include <string>

#include "foundation/published.h"
#include "telephony/vendorapi/prosody.h"

namespace ruzd::telephony {

class AculabChannelStore {
public:
    virtual ~AculabChannelStore() = default;

    // Each getter returns the stored value, -1 when the handle has none; each setter inserts or
    // replaces.
    virtual int32_t GetProsodyStream(int32_t handle) const = 0;
    virtual int32_t GetProsodyTimeslot(int32_t handle) const = 0;
    virtual int32_t GetProsodyModule(int32_t handle) const = 0;
    // The card id under which the Aculab switch of the handle's channel is addressed.
    virtual int32_t GetAculabCardIndex(int32_t handle) const = 0;
    virtual void SetProsodyStream(int32_t handle, int32_t value) = 0;
    virtual void SetProsodyTimeslot(int32_t handle, int32_t value) = 0;
    virtual void SetProsodyModule(int32_t handle, int32_t value) = 0;
    virtual void SetAculabCardSerial(int32_t handle, const std::string& serial) = 0;

    // The echo canceller's channels, the VMP and the TDM contexts: null when none is stored;
    // storing null clears the entry.
    virtual tSMChannelId_struct* GetEchoCancelIn(int32_t handle) const = 0;
    virtual tSMChannelId_struct* GetEchoCancelRef(int32_t handle) const = 0;
    virtual tSMChannelId_struct* GetEchoCancelOut(int32_t handle) const = 0;
    virtual void SetEchoCancelIn(int32_t handle, tSMChannelId_struct* channel) = 0;
    virtual void SetEchoCancelRef(int32_t handle, tSMChannelId_struct* channel) = 0;
    virtual void SetEchoCancelOut(int32_t handle, tSMChannelId_struct* channel) = 0;

    virtual tSMVMPrxId_struct* GetVMPrxId(int32_t handle) const = 0;
    virtual tSMVMPtxId_struct* GetVMPtxId(int32_t handle) const = 0;
    virtual tSMTDMrxId_struct* GetTDMrxId(int32_t handle) const = 0;
    virtual tSMTDMtxId_struct* GetTDMtxId(int32_t handle) const = 0;
    virtual void SetVMPrxId(int32_t handle, tSMVMPrxId_struct* id) = 0;
    virtual void SetVMPtxId(int32_t handle, tSMVMPtxId_struct* id) = 0;
    virtual void SetTDMrxId(int32_t handle, tSMTDMrxId_struct* id) = 0;
    virtual void SetTDMtxId(int32_t handle, tSMTDMtxId_struct* id) = 0;
};

// The node's published store.
foundation::Published<AculabChannelStore>& PublishedAculabChannels();

}  // namespace ruzd::telephony
