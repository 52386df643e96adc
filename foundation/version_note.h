#pragma once

// The project's version as an ELF note in every program that includes this header (its entry
// does): what a version resource is to a Windows executable, readable from the file by others
// (platform/elf_version_note.h). Name "RUZD", type 1, four 16-bit numbers: major, minor, patch,
// tweak.

#include <cstdint>

namespace ruzd::foundation {

struct VersionNote {
    uint32_t name_size;
    uint32_t description_size;
    uint32_t type;
    char name[8];
    uint16_t version[4];
};

extern const VersionNote kProgramVersionNote;

// Including the header is what links the note in: a static library's object file comes into a
// program only when something refers to it.
[[gnu::used]] inline const VersionNote* const kProgramVersionNoteLink = &kProgramVersionNote;

}  // namespace ruzd::foundation
