#pragma once

// The TDM bus time slots that Aculab devices borrow: they have no slot of their own on the bus
// shared with the Dialogic boards, so each takes one from this pool and connects it with the
// Aculab switch. A slot is on the free list or lent to one (device, device type), never both;
// slots are taken from the head of the free list and given back to its tail, so the pool hands
// them out in turn.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace ruzd::telephony {

// On an SCbus the Aculab switch reaches every bus slot through this one stream; on an H.100 bus
// slot n is slot n mod 128 of stream n / 128.
inline constexpr int32_t kScbusStream = 24;
inline constexpr int32_t kH100SlotsPerStream = 128;

class CBusResource {
public:
    CBusResource(int32_t time_slot, int32_t stream, int32_t slot_in_stream)
        : time_slot_(time_slot), stream_(stream), slot_in_stream_(slot_in_stream) {}

    void Assign(int32_t device, int32_t device_type, int32_t second_device,
                int32_t second_device_type);
    void Release();

    int32_t time_slot() const { return time_slot_; }
    int32_t stream() const { return stream_; }
    int32_t slot_in_stream() const { return slot_in_stream_; }
    int32_t device() const { return device_; }
    int32_t device_type() const { return device_type_; }
    int32_t second_device() const { return second_device_; }
    int32_t second_device_type() const { return second_device_type_; }
    bool is_free() const { return free_; }

private:
    int32_t time_slot_;
    int32_t stream_;
    int32_t slot_in_stream_;
    int32_t device_ = 0;
    int32_t device_type_ = -1;
    int32_t second_device_ = 0;
    int32_t second_device_type_ = -1;
    bool free_ = true;
};

class BusResourcePool {
public:
    // Taken by every operation below; callers that need several steps as one take it too.
    std::recursive_mutex& Lock() { return lock_; }

    // Appends a new free slot at the tail.
    void AppendFree(int32_t time_slot, int32_t stream, int32_t slot_in_stream);
    // The slot lent to (device, type), or null.
    CBusResource* FindLent(int32_t device, int32_t device_type);
    // The head of the free list, taken off it; null when the list is empty.
    std::unique_ptr<CBusResource> TakeHead();
    // Puts a slot that could not be lent back where it came from.
    void PutBackAtHead(std::unique_ptr<CBusResource> resource);
    // Lends the slot to (device, type).
    CBusResource* Lend(std::unique_ptr<CBusResource> resource, int32_t device, int32_t device_type);
    // Gives back what (device, type) borrowed, at the tail; false when it held nothing.
    bool GiveBack(int32_t device, int32_t device_type);
    // Deletes every slot, free or lent.
    void Clear();

    size_t FreeCount();
    size_t LentCount();
    // The free slots' bus numbers from head to tail.
    std::vector<int32_t> FreeTimeSlots();
    // The free slot at `index` from the head, or null.
    const CBusResource* FreeAt(size_t index);

    // Whether the Aculab switch runs an H.100 bus: bus slots are then reached as H.100 streams of
    // 128 slots, else through the one SCbus stream. Each pool that is built sets it.
    bool IsH100() const { return h100_; }
    void SetH100(bool h100) { h100_ = h100; }

private:
    std::recursive_mutex lock_;
    std::list<std::unique_ptr<CBusResource>> free_;
    std::map<int32_t, std::map<int32_t, std::unique_ptr<CBusResource>>> lent_;
    std::atomic<bool> h100_{false};
};

// The process-wide pool.
BusResourcePool& BusResources();

}  // namespace ruzd::telephony
