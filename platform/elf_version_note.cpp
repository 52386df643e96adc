#include "platform/elf_version_note.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <string_view>
#include <vector>

namespace ruzd::platform {
namespace {

constexpr uint32_t kVersionNoteType = 1;
constexpr std::string_view kVersionNoteName("RUZD\0", 5);

template <typename T>
bool ReadAt(std::ifstream& file, uint64_t offset, T& value) {
    file.seekg(static_cast<std::streamoff>(offset));
    return static_cast<bool>(file.read(reinterpret_cast<char*>(&value), sizeof value));
}

uint64_t Align4(uint64_t value) {
    return (value + 3) & ~uint64_t{3};
}

std::optional<FileVersion> FindInNotes(const std::string& notes) {
    uint64_t at = 0;
    while (at + sizeof(Elf64_Nhdr) <= notes.size()) {
        Elf64_Nhdr header{};
        std::memcpy(&header, notes.data() + at, sizeof header);
        const uint64_t name_at = at + sizeof header;
        const uint64_t description_at = name_at + Align4(header.n_namesz);
        const uint64_t next = description_at + Align4(header.n_descsz);
        if (next > notes.size()) {
            break;
        }
        if (header.n_type == kVersionNoteType && header.n_descsz == sizeof(FileVersion) &&
            std::string_view(notes.data() + name_at, header.n_namesz) == kVersionNoteName) {
            FileVersion version{};
            std::memcpy(version.data(), notes.data() + description_at, sizeof version);
            return version;
        }
        at = next;
    }
    return std::nullopt;
}

}  // namespace

std::optional<FileVersion> ReadVersionNote(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    Elf64_Ehdr header{};
    if (!file || !ReadAt(file, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr)) {
        return std::nullopt;
    }
    for (uint16_t index = 0; index < header.e_shnum; ++index) {
        Elf64_Shdr section{};
        if (!ReadAt(file, header.e_shoff + uint64_t{index} * sizeof section, section)) {
            return std::nullopt;
        }
        if (section.sh_type != SHT_NOTE || section.sh_size > (1u << 20)) {
            continue;
        }
        std::string notes(section.sh_size, '\0');
        file.seekg(static_cast<std::streamoff>(section.sh_offset));
        if (!file.read(notes.data(), static_cast<std::streamsize>(notes.size()))) {
            return std::nullopt;
        }
        if (auto version = FindInNotes(notes)) {
            return version;
        }
    }
    return std::nullopt;
}

}  // namespace ruzd::platform
