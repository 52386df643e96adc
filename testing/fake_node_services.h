#pragma once

// A node manager for tests of the layers below it: the per-handle tables behave as the
// manager's do, device handles come from tables the test fills, and the file-cache calls are
// recorded. Publish() makes it the process-wide manager for the life of the returned guard.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "foundation/node_services.h"

namespace ruzd::testing {

class FakeNodeServices : public foundation::NodeServices {
public:
    // Publishes the fake while the guard lives and withdraws it afterwards.
    class Publication {
    public:
        explicit Publication(const std::shared_ptr<FakeNodeServices>& fake) {
            foundation::PublishNodeServices(fake);
        }
        ~Publication() { foundation::PublishNodeServices({}); }
        Publication(const Publication&) = delete;
        Publication& operator=(const Publication&) = delete;
    };

    // --- What the test sets up ---

    void SetDeviceHandle(int32_t ldev, int32_t device_type, int32_t handle) {
        std::lock_guard<std::mutex> hold(mutex_);
        devices_[{device_type, ldev}] = handle;
    }
    void SetIPDeviceHandle(int32_t ldev, int32_t handle) {
        std::lock_guard<std::mutex> hold(mutex_);
        ip_devices_[ldev] = handle;
    }
    void SetAculabCardIndex(int32_t handle, int32_t card) { Store(card_index_, handle, card); }

    // --- What the test reads back ---

    std::vector<std::string> RemovedFiles() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return removed_files_;
    }
    int SocketCloseCount() const {
        std::lock_guard<std::mutex> hold(mutex_);
        return socket_closes_;
    }
    std::string AculabCardSerial(int32_t handle) const {
        std::lock_guard<std::mutex> hold(mutex_);
        auto it = card_serial_.find(handle);
        return it == card_serial_.end() ? std::string() : it->second;
    }

    // --- NodeServices ---

    void RemoveFileFromCache(const std::string& name) override {
        std::lock_guard<std::mutex> hold(mutex_);
        removed_files_.push_back(name);
    }
    void OnOrvanthellaFileSocketClose() override {
        std::lock_guard<std::mutex> hold(mutex_);
        ++socket_closes_;
    }

    int32_t GetDeviceHandle(int32_t ldev, int32_t device_type, bool* found) override {
        std::lock_guard<std::mutex> hold(mutex_);
        auto it = devices_.find({device_type, ldev});
        if (found != nullptr)
            *found = it != devices_.end();
        return it == devices_.end() ? 0 : it->second;
    }
    bool GetIPDeviceHandle(int32_t ldev, int32_t* handle) override {
        std::lock_guard<std::mutex> hold(mutex_);
        auto it = ip_devices_.find(ldev);
        if (handle != nullptr)
            *handle = it == ip_devices_.end() ? -1 : it->second;
        return it != ip_devices_.end();
    }

    int32_t GetProsodyStream(int32_t handle) override { return Find(stream_, handle, -1); }
    int32_t GetProsodyTimeslot(int32_t handle) override { return Find(timeslot_, handle, -1); }
    int32_t GetProsodyModule(int32_t handle) override { return Find(module_, handle, -1); }
    int32_t GetAculabCardIndex(int32_t handle) override { return Find(card_index_, handle, -1); }
    void SetProsodyStream(int32_t handle, int32_t value) override { Store(stream_, handle, value); }
    void SetProsodyTimeslot(int32_t handle, int32_t value) override {
        Store(timeslot_, handle, value);
    }
    void SetProsodyModule(int32_t handle, int32_t value) override { Store(module_, handle, value); }
    void SetAculabCardSerial(int32_t handle, const std::string& serial) override {
        Store(card_serial_, handle, serial);
    }

    tSMChannelId_struct* GetEchoCancelIn(int32_t handle) override {
        return Find(echo_in_, handle, nullptr);
    }
    tSMChannelId_struct* GetEchoCancelRef(int32_t handle) override {
        return Find(echo_ref_, handle, nullptr);
    }
    tSMChannelId_struct* GetEchoCancelOut(int32_t handle) override {
        return Find(echo_out_, handle, nullptr);
    }
    void SetEchoCancelIn(int32_t handle, tSMChannelId_struct* channel) override {
        StoreOrClear(echo_in_, handle, channel);
    }
    void SetEchoCancelRef(int32_t handle, tSMChannelId_struct* channel) override {
        StoreOrClear(echo_ref_, handle, channel);
    }
    void SetEchoCancelOut(int32_t handle, tSMChannelId_struct* channel) override {
        StoreOrClear(echo_out_, handle, channel);
    }

    tSMVMPrxId_struct* GetVMPrxId(int32_t handle) override {
        return Find(vmp_rx_, handle, nullptr);
    }
    tSMVMPtxId_struct* GetVMPtxId(int32_t handle) override {
        return Find(vmp_tx_, handle, nullptr);
    }
    tSMTDMrxId_struct* GetTDMrxId(int32_t handle) override {
        return Find(tdm_rx_, handle, nullptr);
    }
    tSMTDMtxId_struct* GetTDMtxId(int32_t handle) override {
        return Find(tdm_tx_, handle, nullptr);
    }
    void SetVMPrxId(int32_t handle, tSMVMPrxId_struct* id) override {
        StoreOrClear(vmp_rx_, handle, id);
    }
    void SetVMPtxId(int32_t handle, tSMVMPtxId_struct* id) override {
        StoreOrClear(vmp_tx_, handle, id);
    }
    void SetTDMrxId(int32_t handle, tSMTDMrxId_struct* id) override {
        StoreOrClear(tdm_rx_, handle, id);
    }
    void SetTDMtxId(int32_t handle, tSMTDMtxId_struct* id) override {
        StoreOrClear(tdm_tx_, handle, id);
    }

private:
    template <typename Value>
    Value Find(const std::map<int32_t, Value>& map, int32_t handle,
               std::type_identity_t<Value> none) const {
        std::lock_guard<std::mutex> hold(mutex_);
        auto it = map.find(handle);
        return it == map.end() ? none : it->second;
    }
    template <typename Value>
    void Store(std::map<int32_t, Value>& map, int32_t handle, std::type_identity_t<Value> value) {
        std::lock_guard<std::mutex> hold(mutex_);
        map[handle] = std::move(value);
    }
    template <typename Pointer>
    void StoreOrClear(std::map<int32_t, Pointer*>& map, int32_t handle, Pointer* value) {
        std::lock_guard<std::mutex> hold(mutex_);
        if (value == nullptr) {
            map.erase(handle);
        } else {
            map[handle] = value;
        }
    }

    mutable std::mutex mutex_;
    std::map<std::pair<int32_t, int32_t>, int32_t> devices_;
    std::map<int32_t, int32_t> ip_devices_;
    std::vector<std::string> removed_files_;
    int socket_closes_ = 0;
    std::map<int32_t, int32_t> stream_, timeslot_, module_, card_index_;
    std::map<int32_t, std::string> card_serial_;
    std::map<int32_t, tSMChannelId_struct*> echo_in_, echo_ref_, echo_out_;
    std::map<int32_t, tSMVMPrxId_struct*> vmp_rx_;
    std::map<int32_t, tSMVMPtxId_struct*> vmp_tx_;
    std::map<int32_t, tSMTDMrxId_struct*> tdm_rx_;
    std::map<int32_t, tSMTDMtxId_struct*> tdm_tx_;
};

}  // namespace ruzd::testing
