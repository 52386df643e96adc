#include "node/aculab_handle_tables.h"

#include <utility>

namespace ruzd::node {

template <typename Value>
Value AculabHandleTables::Find(const std::map<int32_t, Value>& map, int32_t handle,
                               Value none) const {
    std::lock_guard hold(lock_);
    const auto it = map.find(handle);
    return it == map.end() ? none : it->second;
}

template <typename Value>
void AculabHandleTables::Store(std::map<int32_t, Value>& map, int32_t handle, Value value) {
    std::lock_guard hold(lock_);
    map[handle] = std::move(value);
}

template <typename Pointer>
void AculabHandleTables::StoreOrClear(std::map<int32_t, Pointer*>& map, int32_t handle,
                                      Pointer* value) {
    std::lock_guard hold(lock_);
    if (value == nullptr) {
        map.erase(handle);
    } else {
        map[handle] = value;
    }
}

int32_t AculabHandleTables::AllocateAculabHandle(int32_t card, int32_t portId, int32_t timeslot) {
    std::lock_guard hold(lock_);
    std::map<int32_t, int32_t>& slots = handle_by_port_slot_[portId];
    const auto known = slots.find(timeslot);
    if (known != slots.end()) {
        return known->second;
    }
    const int32_t handle = next_handle_++;
    slots[timeslot] = handle;
    port_id_[handle] = portId;
    aculab_timeslot_[handle] = timeslot;
    card_index_[handle] = card;
    return handle;
}

void AculabHandleTables::ReleaseAculabHandle(int32_t handle) {
    {
        std::lock_guard hold(lock_);
        const auto port = port_id_.find(handle);
        const auto slot = aculab_timeslot_.find(handle);
        // Only the handle's own (port id, time slot) entry goes: an unknown handle must not
        // take another channel's entry with it.
        if (port != port_id_.end() && slot != aculab_timeslot_.end()) {
            const auto slots = handle_by_port_slot_.find(port->second);
            if (slots != handle_by_port_slot_.end()) {
                const auto entry = slots->second.find(slot->second);
                if (entry != slots->second.end() && entry->second == handle) {
                    slots->second.erase(entry);
                }
                if (slots->second.empty()) {
                    handle_by_port_slot_.erase(slots);
                }
            }
        }
        port_id_.erase(handle);
        aculab_timeslot_.erase(handle);
        card_index_.erase(handle);
        timeslot_.erase(handle);
        stream_.erase(handle);
        module_.erase(handle);
        card_serial_.erase(handle);
        echo_in_.erase(handle);
        echo_ref_.erase(handle);
        echo_out_.erase(handle);
        vmp_rx_.erase(handle);
        vmp_tx_.erase(handle);
        tdm_rx_.erase(handle);
        tdm_tx_.erase(handle);
    }
    std::lock_guard hold(call_lock_);
    call_handles_.erase(handle);
}

int32_t AculabHandleTables::GetAculabPortId(int32_t handle) const {
    return Find(port_id_, handle, -1);
}
int32_t AculabHandleTables::GetAculabTimeslot(int32_t handle) const {
    return Find(aculab_timeslot_, handle, -1);
}

void AculabHandleTables::SetAculabPortId(int32_t handle, int32_t portId) {
    std::lock_guard hold(lock_);
    const auto port = port_id_.find(handle);
    const auto slot = aculab_timeslot_.find(handle);
    if (port == port_id_.end() || slot == aculab_timeslot_.end()) {
        return;
    }
    // The handle's (port id, time slot) entry moves with it.
    const auto slots = handle_by_port_slot_.find(port->second);
    if (slots != handle_by_port_slot_.end() && slots->second.count(slot->second) != 0 &&
        slots->second[slot->second] == handle) {
        slots->second.erase(slot->second);
        if (slots->second.empty()) {
            handle_by_port_slot_.erase(slots);
        }
    }
    handle_by_port_slot_[portId][slot->second] = handle;
    port->second = portId;
}

bool AculabHandleTables::GetAculabCallHandle(int32_t handle, uint8_t direction,
                                             int32_t* callHandle) const {
    std::lock_guard hold(call_lock_);
    const auto calls = call_handles_.find(handle);
    if (calls == call_handles_.end()) {
        return false;
    }
    const auto call = calls->second.find(direction);
    if (call == calls->second.end()) {
        return false;
    }
    *callHandle = call->second;
    return true;
}

void AculabHandleTables::SetAculabCallHandle(int32_t handle, uint8_t direction,
                                             int32_t callHandle) {
    std::lock_guard hold(call_lock_);
    call_handles_[handle][direction] = callHandle;
}

int32_t AculabHandleTables::GetProsodyStream(int32_t handle) const {
    return Find(stream_, handle, -1);
}
int32_t AculabHandleTables::GetProsodyTimeslot(int32_t handle) const {
    return Find(timeslot_, handle, -1);
}
int32_t AculabHandleTables::GetProsodyModule(int32_t handle) const {
    return Find(module_, handle, -1);
}
int32_t AculabHandleTables::GetAculabCardIndex(int32_t handle) const {
    return Find(card_index_, handle, -1);
}
void AculabHandleTables::SetProsodyStream(int32_t handle, int32_t value) {
    Store(stream_, handle, value);
}
void AculabHandleTables::SetProsodyTimeslot(int32_t handle, int32_t value) {
    Store(timeslot_, handle, value);
}
void AculabHandleTables::SetProsodyModule(int32_t handle, int32_t value) {
    Store(module_, handle, value);
}
void AculabHandleTables::SetAculabCardIndex(int32_t handle, int32_t card) {
    Store(card_index_, handle, card);
}

std::string AculabHandleTables::GetAculabCardSerial(int32_t handle) const {
    return Find(card_serial_, handle, std::string());
}
void AculabHandleTables::SetAculabCardSerial(int32_t handle, const std::string& serial) {
    Store(card_serial_, handle, serial);
}

tSMChannelId_struct* AculabHandleTables::GetEchoCancelIn(int32_t handle) const {
    return Find<tSMChannelId_struct*>(echo_in_, handle, nullptr);
}
tSMChannelId_struct* AculabHandleTables::GetEchoCancelRef(int32_t handle) const {
    return Find<tSMChannelId_struct*>(echo_ref_, handle, nullptr);
}
tSMChannelId_struct* AculabHandleTables::GetEchoCancelOut(int32_t handle) const {
    return Find<tSMChannelId_struct*>(echo_out_, handle, nullptr);
}
void AculabHandleTables::SetEchoCancelIn(int32_t handle, tSMChannelId_struct* channel) {
    StoreOrClear(echo_in_, handle, channel);
}
void AculabHandleTables::SetEchoCancelRef(int32_t handle, tSMChannelId_struct* channel) {
    StoreOrClear(echo_ref_, handle, channel);
}
void AculabHandleTables::SetEchoCancelOut(int32_t handle, tSMChannelId_struct* channel) {
    StoreOrClear(echo_out_, handle, channel);
}

tSMVMPrxId_struct* AculabHandleTables::GetVMPrxId(int32_t handle) const {
    return Find<tSMVMPrxId_struct*>(vmp_rx_, handle, nullptr);
}
tSMVMPtxId_struct* AculabHandleTables::GetVMPtxId(int32_t handle) const {
    return Find<tSMVMPtxId_struct*>(vmp_tx_, handle, nullptr);
}
tSMTDMrxId_struct* AculabHandleTables::GetTDMrxId(int32_t handle) const {
    return Find<tSMTDMrxId_struct*>(tdm_rx_, handle, nullptr);
}
tSMTDMtxId_struct* AculabHandleTables::GetTDMtxId(int32_t handle) const {
    return Find<tSMTDMtxId_struct*>(tdm_tx_, handle, nullptr);
}
void AculabHandleTables::SetVMPrxId(int32_t handle, tSMVMPrxId_struct* id) {
    StoreOrClear(vmp_rx_, handle, id);
}
void AculabHandleTables::SetVMPtxId(int32_t handle, tSMVMPtxId_struct* id) {
    StoreOrClear(vmp_tx_, handle, id);
}
void AculabHandleTables::SetTDMrxId(int32_t handle, tSMTDMrxId_struct* id) {
    StoreOrClear(tdm_rx_, handle, id);
}
void AculabHandleTables::SetTDMtxId(int32_t handle, tSMTDMtxId_struct* id) {
    StoreOrClear(tdm_tx_, handle, id);
}

}  // namespace ruzd::node
