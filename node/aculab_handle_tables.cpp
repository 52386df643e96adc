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
    return Find(cardIndex_, handle, -1);
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
    Store(cardIndex_, handle, card);
}

std::string AculabHandleTables::GetAculabCardSerial(int32_t handle) const {
    return Find(cardSerial_, handle, std::string());
}
void AculabHandleTables::SetAculabCardSerial(int32_t handle, const std::string& serial) {
    Store(cardSerial_, handle, serial);
}

tSMChannelId_struct* AculabHandleTables::GetEchoCancelIn(int32_t handle) const {
    return Find<tSMChannelId_struct*>(echoIn_, handle, nullptr);
}
tSMChannelId_struct* AculabHandleTables::GetEchoCancelRef(int32_t handle) const {
    return Find<tSMChannelId_struct*>(echoRef_, handle, nullptr);
}
tSMChannelId_struct* AculabHandleTables::GetEchoCancelOut(int32_t handle) const {
    return Find<tSMChannelId_struct*>(echoOut_, handle, nullptr);
}
void AculabHandleTables::SetEchoCancelIn(int32_t handle, tSMChannelId_struct* channel) {
    StoreOrClear(echoIn_, handle, channel);
}
void AculabHandleTables::SetEchoCancelRef(int32_t handle, tSMChannelId_struct* channel) {
    StoreOrClear(echoRef_, handle, channel);
}
void AculabHandleTables::SetEchoCancelOut(int32_t handle, tSMChannelId_struct* channel) {
    StoreOrClear(echoOut_, handle, channel);
}

tSMVMPrxId_struct* AculabHandleTables::GetVMPrxId(int32_t handle) const {
    return Find<tSMVMPrxId_struct*>(vmpRx_, handle, nullptr);
}
tSMVMPtxId_struct* AculabHandleTables::GetVMPtxId(int32_t handle) const {
    return Find<tSMVMPtxId_struct*>(vmpTx_, handle, nullptr);
}
tSMTDMrxId_struct* AculabHandleTables::GetTDMrxId(int32_t handle) const {
    return Find<tSMTDMrxId_struct*>(tdmRx_, handle, nullptr);
}
tSMTDMtxId_struct* AculabHandleTables::GetTDMtxId(int32_t handle) const {
    return Find<tSMTDMtxId_struct*>(tdmTx_, handle, nullptr);
}
void AculabHandleTables::SetVMPrxId(int32_t handle, tSMVMPrxId_struct* id) {
    StoreOrClear(vmpRx_, handle, id);
}
void AculabHandleTables::SetVMPtxId(int32_t handle, tSMVMPtxId_struct* id) {
    StoreOrClear(vmpTx_, handle, id);
}
void AculabHandleTables::SetTDMrxId(int32_t handle, tSMTDMrxId_struct* id) {
    StoreOrClear(tdmRx_, handle, id);
}
void AculabHandleTables::SetTDMtxId(int32_t handle, tSMTDMtxId_struct* id) {
    StoreOrClear(tdmTx_, handle, id);
}

}  // namespace ruzd::node
