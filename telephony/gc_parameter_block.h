#pragma once

// A Global Call parameter block built through the facade and deleted with it, whatever path
// the builder leaves by.

#include <cstdint>

#include "telephony/hardware.h"

namespace ruzd::telephony {

class GcParameterBlock {
public:
    explicit GcParameterBlock(CHardware& hardware) : hardware_(hardware) {}
    ~GcParameterBlock() {
        if (block_ != nullptr)
            hardware_.gc_util_delete_parm_blk(&block_);
    }
    GcParameterBlock(const GcParameterBlock&) = delete;
    GcParameterBlock& operator=(const GcParameterBlock&) = delete;

    // The library's result: 0 when the parameter went in.
    int32_t InsertValue(uint16_t set_id, uint16_t parm_id, uint8_t size, uint32_t value) {
        return hardware_.gc_util_insert_parm_val(&block_, set_id, parm_id, size, value);
    }
    // The library copies `size` bytes from `data` into the block.
    int32_t InsertReference(uint16_t set_id, uint16_t parm_id, uint8_t size, void* data) {
        return hardware_.gc_util_insert_parm_ref(&block_, set_id, parm_id, size, data);
    }

    GC_PARM_BLKP get() const { return block_; }

private:
    CHardware& hardware_;
    GC_PARM_BLKP block_ = nullptr;
};

}  // namespace ruzd::telephony
