#include "node/call_reference_tables.h"

#include <atomic>

#include "node/port_type.h"

namespace ruzd::node {

CallReferenceTables::Table& CallReferenceTables::TableOf(int32_t type) {
    return type == kPortTypeNetwork ? network_ : other_;
}

const CallReferenceTables::Table& CallReferenceTables::TableOf(int32_t type) const {
    return type == kPortTypeNetwork ? network_ : other_;
}

bool CallReferenceTables::GetCallRef(int32_t ldev, int32_t type, CRN* crn) const {
    if (!HasEntry(ldev)) {
        return false;
    }
    // The slots are only ever touched atomically; the const_cast serves atomic_ref, which
    // takes a non-const object even for a load.
    Entry& entry = const_cast<Entry&>(TableOf(type)[ldev]);
    if (std::atomic_ref<uint8_t>(entry.valid).load(std::memory_order_acquire) == 0) {
        return false;
    }
    *crn = std::atomic_ref<CRN>(entry.crn).load(std::memory_order_acquire);
    return true;
}

void CallReferenceTables::SetCallRef(int32_t ldev, int32_t type, CRN crn, bool valid) {
    if (!HasEntry(ldev)) {
        return;
    }
    Entry& entry = TableOf(type)[ldev];
    // A reader that sees the flag set also sees the CRN stored with it.
    std::atomic_ref<CRN>(entry.crn).store(crn, std::memory_order_release);
    std::atomic_ref<uint8_t>(entry.valid).store(valid ? 1 : 0, std::memory_order_release);
}

void CallReferenceTables::SetCallRefValid(int32_t ldev, int32_t type, bool valid) {
    if (!HasEntry(ldev)) {
        return;
    }
    std::atomic_ref<uint8_t>(TableOf(type)[ldev].valid)
        .store(valid ? 1 : 0, std::memory_order_release);
}

CRN* CallReferenceTables::GetCallRefSlot(int32_t ldev, int32_t type) {
    if (!HasEntry(ldev)) {
        return nullptr;
    }
    return &TableOf(type)[ldev].crn;
}

}  // namespace ruzd::node
