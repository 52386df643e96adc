#pragma once

// The fixed part of a module's version record: thirteen 32-bit fields, 52 bytes, in the order
// in which version blocks have always carried them.

#include <cstdint>

namespace ruzd::foundation {

// A valid record carries this signature.
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

// Bits of FixedFileInfo::fileFlags.
constexpr uint32_t kFileFlagDebug = 0x01;
constexpr uint32_t kFileFlagPrerelease = 0x02;
constexpr uint32_t kFileFlagPatched = 0x04;
constexpr uint32_t kFileFlagPrivateBuild = 0x08;
constexpr uint32_t kFileFlagInfoInferred = 0x10;
constexpr uint32_t kFileFlagSpecialBuild = 0x20;

// FixedFileInfo::fileType of a program.
constexpr uint32_t kFileTypeApplication = 1;

struct FixedFileInfo {
    uint32_t signature;
    uint32_t structVersion;
    uint32_t fileVersionMS;  // major << 16 | minor
    uint32_t fileVersionLS;  // patch << 16 | build
    uint32_t productVersionMS;
    uint32_t productVersionLS;
    uint32_t fileFlagsMask;  // which bits of fileFlags mean anything
    uint32_t fileFlags;
    uint32_t fileOS;
    uint32_t fileType;
    uint32_t fileSubtype;
    uint32_t fileDateMS;
    uint32_t fileDateLS;
};

static_assert(sizeof(FixedFileInfo) == 52, "the fixed record is 52 bytes");

}  // namespace ruzd::foundation
