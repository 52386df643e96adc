#include "telephony/bus_resource_pool.h"

#include <iterator>
#include <utility>

namespace ruzd::telephony {

void CBusResource::Assign(int32_t device, int32_t device_type, int32_t second_device,
                          int32_t second_device_type) {
    device_ = device;
    device_type_ = device_type;
    second_device_ = second_device;
    second_device_type_ = second_device_type;
    free_ = false;
}

void CBusResource::Release() {
    device_ = 0;
    device_type_ = -1;
    second_device_ = 0;
    second_device_type_ = -1;
    free_ = true;
}

void BusResourcePool::AppendFree(int32_t time_slot, int32_t stream, int32_t slot_in_stream) {
    std::lock_guard hold(lock_);
    free_.push_back(std::make_unique<CBusResource>(time_slot, stream, slot_in_stream));
}

CBusResource* BusResourcePool::FindLent(int32_t device, int32_t device_type) {
    std::lock_guard hold(lock_);
    const auto by_device = lent_.find(device);
    if (by_device == lent_.end())
        return nullptr;
    const auto by_type = by_device->second.find(device_type);
    return by_type == by_device->second.end() ? nullptr : by_type->second.get();
}

std::unique_ptr<CBusResource> BusResourcePool::TakeHead() {
    std::lock_guard hold(lock_);
    if (free_.empty())
        return nullptr;
    std::unique_ptr<CBusResource> head = std::move(free_.front());
    free_.pop_front();
    return head;
}

void BusResourcePool::PutBackAtHead(std::unique_ptr<CBusResource> resource) {
    std::lock_guard hold(lock_);
    free_.push_front(std::move(resource));
}

CBusResource* BusResourcePool::Lend(std::unique_ptr<CBusResource> resource, int32_t device,
                                    int32_t device_type) {
    std::lock_guard hold(lock_);
    resource->Assign(device, device_type, -1, -1);
    CBusResource* lent = resource.get();
    lent_[device][device_type] = std::move(resource);
    return lent;
}

bool BusResourcePool::GiveBack(int32_t device, int32_t device_type) {
    std::lock_guard hold(lock_);
    const auto by_device = lent_.find(device);
    if (by_device == lent_.end())
        return false;
    const auto by_type = by_device->second.find(device_type);
    if (by_type == by_device->second.end())
        return false;
    std::unique_ptr<CBusResource> resource = std::move(by_type->second);
    by_device->second.erase(by_type);
    if (by_device->second.empty())
        lent_.erase(by_device);
    resource->Release();
    free_.push_back(std::move(resource));
    return true;
}

void BusResourcePool::Clear() {
    std::lock_guard hold(lock_);
    free_.clear();
    lent_.clear();
}

size_t BusResourcePool::FreeCount() {
    std::lock_guard hold(lock_);
    return free_.size();
}

size_t BusResourcePool::LentCount() {
    std::lock_guard hold(lock_);
    size_t count = 0;
    for (const auto& [device, by_type] : lent_)
        count += by_type.size();
    return count;
}

std::vector<int32_t> BusResourcePool::FreeTimeSlots() {
    std::lock_guard hold(lock_);
    std::vector<int32_t> slots;
    slots.reserve(free_.size());
    for (const auto& resource : free_)
        slots.push_back(resource->time_slot());
    return slots;
}

const CBusResource* BusResourcePool::FreeAt(size_t index) {
    std::lock_guard hold(lock_);
    if (index >= free_.size())
        return nullptr;
    return std::next(free_.begin(), static_cast<std::ptrdiff_t>(index))->get();
}

BusResourcePool& BusResources() {
    static BusResourcePool pool;
    return pool;
}

}  // namespace ruzd::telephony
