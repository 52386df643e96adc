// Global Call's parameter blocks: a 16-bit size, then that many bytes of packed parameters,
// each a set id and a parameter id (16 bits each), a value size (8 bits) and the value. The
// blocks the helpers create live on the C heap, so one helper may grow what another made.

#include <cstdlib>
#include <cstring>

#include "boardsim/core/behaviours.h"
#include "boardsim/core/globalcall_library.h"

namespace ruzd::boardsim {
namespace {

constexpr size_t kSizeField = sizeof(uint16_t);
constexpr size_t kMaxData = 0xFFFF;

int32_t Insert(GC_PARM_BLKP* block, uint16_t set_id, uint16_t parm_id, uint8_t size,
               const void* value) {
    if (block == nullptr || (value == nullptr && size != 0)) {
        SetThreadFault({kGcBadParameter, GC_NO_CCLIB, 0});
        return -1;
    }
    const size_t used = *block != nullptr ? (*block)->parm_data_size : 0;
    const size_t grown = used + GC_PARM_DATA_HEADER + size;
    if (grown > kMaxData) {
        SetThreadFault({kGcBadParameter, GC_NO_CCLIB, 0});
        return -1;
    }
    auto* bytes = static_cast<uint8_t*>(std::realloc(*block, kSizeField + grown));
    if (bytes == nullptr)
        return -1;
    uint8_t* entry = bytes + kSizeField + used;
    std::memcpy(entry, &set_id, sizeof set_id);
    std::memcpy(entry + 2, &parm_id, sizeof parm_id);
    entry[4] = size;
    if (size != 0)
        std::memcpy(entry + GC_PARM_DATA_HEADER, value, size);
    const auto new_size = static_cast<uint16_t>(grown);
    std::memcpy(bytes, &new_size, sizeof new_size);
    *block = reinterpret_cast<GC_PARM_BLKP>(bytes);
    return 0;
}

uint8_t* Data(GC_PARM_BLKP block) {
    return reinterpret_cast<uint8_t*>(block) + kSizeField;
}

// The parameter after current (the first for none); null past the end or for an entry that
// would run past it.
GC_PARM_DATAP Next(GC_PARM_BLKP block, GC_PARM_DATAP current) {
    if (block == nullptr)
        return nullptr;
    uint8_t* const begin = Data(block);
    uint8_t* const end = begin + block->parm_data_size;
    uint8_t* next = begin;
    if (current != nullptr) {
        auto* at = reinterpret_cast<uint8_t*>(current);
        if (at < begin || at + GC_PARM_DATA_HEADER > end)
            return nullptr;
        next = at + GC_PARM_DATA_HEADER + current->value_size;
    }
    if (next + GC_PARM_DATA_HEADER > end || next + GC_PARM_DATA_HEADER + next[4] > end)
        return nullptr;
    return reinterpret_cast<GC_PARM_DATAP>(next);
}

}  // namespace

int32_t Behaviour<tags::gc_util_insert_parm_ref>::Run(GC_PARM_BLKP* block, uint16_t set_id,
                                                      uint16_t parm_id, uint8_t size, void* data) {
    return Insert(block, set_id, parm_id, size, data);
}

// The value goes in with its low byte first, in as many bytes as the size says (at most 4).
int32_t Behaviour<tags::gc_util_insert_parm_val>::Run(GC_PARM_BLKP* block, uint16_t set_id,
                                                      uint16_t parm_id, uint8_t size,
                                                      uint32_t value) {
    if (size == 0 || size > sizeof value) {
        SetThreadFault({kGcBadParameter, GC_NO_CCLIB, 0});
        return -1;
    }
    uint8_t bytes[sizeof value];
    for (size_t i = 0; i < sizeof value; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    return Insert(block, set_id, parm_id, size, bytes);
}

void Behaviour<tags::gc_util_delete_parm_blk>::Run(GC_PARM_BLKP block) {
    std::free(block);
}

GC_PARM_DATAP Behaviour<tags::gc_util_next_parm>::Run(GC_PARM_BLKP block, GC_PARM_DATAP current) {
    return Next(block, current);
}

// The cursor keeps the parameter it stands on; a cleared cursor stands before the first.
int32_t Behaviour<tags::gc_util_next_parm_ex>::Run(GC_PARM_BLKP block, GC_PARM_DATA_EXTP cursor) {
    if (block == nullptr || cursor == nullptr) {
        SetThreadFault({kGcBadParameter, GC_NO_CCLIB, 0});
        return kGcBadParameter;
    }
    GC_PARM_DATAP next = Next(block, static_cast<GC_PARM_DATAP>(cursor->pInternal));
    if (next == nullptr)
        return kGcNoMoreParameters;
    cursor->pInternal = next;
    cursor->set_ID = next->set_ID;
    cursor->parm_ID = next->parm_ID;
    cursor->data_size = next->value_size;
    cursor->pData = next->value_buf;
    return 0;
}

}  // namespace ruzd::boardsim
