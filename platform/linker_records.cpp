#include "platform/linker_records.h"

#include <elf.h>
#include <link.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <set>
#include <string>

namespace ruzd::platform {
namespace {

// Bounds against a list that runs in circles or memory that holds garbage.
constexpr size_t kMostNamespaces = 16;
constexpr size_t kMostObjects = 1024;
constexpr size_t kMostDynamicEntries = 1024;
constexpr size_t kMostProgramHeaders = 256;
constexpr uint64_t kMostNameBytes = 4096;
constexpr uint64_t kMostLinkerData = 1 << 20;

// An entry of the list is larger inside the linker; a debugger reads its public head only.
constexpr uint64_t kLinkMapSize = offsetof(link_map, l_prev) + sizeof(uint64_t);

uint64_t AuxValue(std::string_view auxv, uint64_t type) {
    for (size_t at = 0; at + 2 * sizeof(uint64_t) <= auxv.size(); at += 2 * sizeof(uint64_t)) {
        uint64_t entry[2];
        std::memcpy(entry, auxv.data() + at, sizeof entry);
        if (entry[0] == type) {
            return entry[1];
        }
        if (entry[0] == AT_NULL) {
            break;
        }
    }
    return 0;
}

// Keeps the dynamic section at `address` up to its end; the value of its debug entry, or 0.
uint64_t KeepDynamicSection(const ProcessMemory& memory, uint64_t address,
                            std::vector<MemoryRange>& keep) {
    if (address == 0) {
        return 0;
    }
    const std::string bytes = memory.Read(address, kMostDynamicEntries * sizeof(Elf64_Dyn));
    uint64_t value = 0;
    size_t count = 0;
    while (count < kMostDynamicEntries) {
        Elf64_Dyn entry;
        std::memcpy(&entry, bytes.data() + count * sizeof entry, sizeof entry);
        ++count;
        if (entry.d_tag == DT_NULL) {
            break;
        }
        if (entry.d_tag == DT_DEBUG) {
            value = entry.d_un.d_ptr;
        }
    }
    keep.push_back({address, address + count * sizeof(Elf64_Dyn)});
    return value;
}

// The address of the program's dynamic section, from its program headers in memory.
uint64_t ProgramDynamicSection(const ProcessMemory& memory, std::string_view auxv) {
    const uint64_t headers = AuxValue(auxv, AT_PHDR);
    const uint64_t count = std::min<uint64_t>(AuxValue(auxv, AT_PHNUM), kMostProgramHeaders);
    if (headers == 0) {
        return 0;
    }
    const std::string bytes = memory.Read(headers, count * sizeof(Elf64_Phdr));
    // Where the program was loaded: its headers' address less the one its file gives them.
    uint64_t bias = 0;
    uint64_t dynamic = 0;
    for (uint64_t i = 0; i < count; ++i) {
        Elf64_Phdr header;
        std::memcpy(&header, bytes.data() + i * sizeof header, sizeof header);
        if (header.p_type == PT_PHDR) {
            bias = headers - header.p_vaddr;
        } else if (header.p_type == PT_DYNAMIC) {
            dynamic = header.p_vaddr;
        }
    }
    return dynamic == 0 ? 0 : bias + dynamic;
}

// Keeps the dynamic linker's writable segments: its global record holds the lists of threads
// that thread debugging walks.
void KeepLinkerData(const ProcessMemory& memory, std::string_view auxv,
                    std::vector<MemoryRange>& keep) {
    const uint64_t base = AuxValue(auxv, AT_BASE);
    if (base == 0) {
        return;
    }
    const std::string bytes = memory.Read(base, sizeof(Elf64_Ehdr));
    Elf64_Ehdr header;
    std::memcpy(&header, bytes.data(), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_phentsize != sizeof(Elf64_Phdr)) {
        return;
    }
    const uint64_t count = std::min<uint64_t>(header.e_phnum, kMostProgramHeaders);
    const std::string headers = memory.Read(base + header.e_phoff, count * sizeof(Elf64_Phdr));
    for (uint64_t i = 0; i < count; ++i) {
        Elf64_Phdr segment;
        std::memcpy(&segment, headers.data() + i * sizeof segment, sizeof segment);
        if (segment.p_type == PT_LOAD && (segment.p_flags & PF_W) != 0 &&
            segment.p_memsz <= kMostLinkerData) {
            keep.push_back({base + segment.p_vaddr, base + segment.p_vaddr + segment.p_memsz});
        }
    }
}

// Keeps the objects of one namespace's list, each entry with its name and dynamic section.
void KeepObjectList(const ProcessMemory& memory, uint64_t first, std::set<uint64_t>& seen,
                    std::vector<MemoryRange>& keep) {
    for (uint64_t entry = first; entry != 0 && seen.size() < kMostObjects;
         entry = memory.ReadWord(entry + offsetof(link_map, l_next))) {
        if (!seen.insert(entry).second) {
            return;
        }
        keep.push_back({entry, entry + kLinkMapSize});
        if (const uint64_t name = memory.ReadWord(entry + offsetof(link_map, l_name)); name != 0) {
            const std::string bytes = memory.Read(name, kMostNameBytes);
            const size_t end = bytes.find('\0');
            keep.push_back({name, name + (end == std::string::npos ? bytes.size() : end + 1)});
        }
        KeepDynamicSection(memory, memory.ReadWord(entry + offsetof(link_map, l_ld)), keep);
    }
}

}  // namespace

std::vector<MemoryRange> LinkerRecordRanges(const ProcessMemory& memory, std::string_view auxv) {
    std::vector<MemoryRange> keep;
    KeepLinkerData(memory, auxv, keep);
    uint64_t record = KeepDynamicSection(memory, ProgramDynamicSection(memory, auxv), keep);
    std::set<uint64_t> seen;
    for (size_t space = 0; record != 0 && space < kMostNamespaces; ++space) {
        keep.push_back({record, record + sizeof(r_debug_extended)});
        KeepObjectList(memory, memory.ReadWord(record + offsetof(r_debug, r_map)), seen, keep);
        // From version 2 on a record leads to the next namespace's.
        const bool has_next =
            static_cast<uint32_t>(memory.ReadWord(record + offsetof(r_debug, r_version))) >= 2;
        record = has_next ? memory.ReadWord(record + offsetof(r_debug_extended, r_next)) : 0;
    }
    return keep;
}

}  // namespace ruzd::platform
