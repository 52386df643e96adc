#include "foundation/unzip_reader.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <vector>

#include "foundation/unzip_input.h"
#include "foundation/unzip_zip64.h"
#include "foundation/zip_extra_fields.h"
#include "foundation/zip_name.h"
#include "foundation/zip_result.h"
#include "foundation/zip_times.h"
#include "platform/file_handle.h"
#include "platform/text.h"
#include "platform/win_path.h"

namespace ruzd::foundation {
namespace {

// Names longer than this are cut, as the entry record holds at most 259 characters and a zero.
constexpr size_t kMaxRecordName = 259;
constexpr size_t kMaxFindCharacters = 255;
constexpr uint32_t kCopyChunk = 16384;
constexpr uint32_t kMaxRead = 1u << 30;

unzFile Archive(void* archive) {
    return static_cast<unzFile>(archive);
}

uint32_t AttributesOf(uint32_t external) {
    uint32_t attributes = kFileAttributeNormal;
    if ((external & 0x40000000) != 0 || (external & 0x10) != 0) {
        attributes |= kFileAttributeDirectory;
    }
    if ((external & 0x20) != 0) {
        attributes |= kFileAttributeArchive;
    }
    if ((external & 0x2) != 0) {
        attributes |= kFileAttributeHidden;
    }
    if ((external & 0x4) != 0) {
        attributes |= kFileAttributeSystem;
    }
    const bool owner_can_write = (external & 0x00800000) != 0;
    if (!owner_can_write || (external & 0x1) != 0) {
        attributes |= kFileAttributeReadOnly;
    }
    return attributes;
}

uint32_t Little32(const uint8_t* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

uint64_t FileTimeOfUnix(uint32_t seconds) {
    return FileTimeOf(platform::WallTime(std::chrono::seconds(seconds)));
}

// The extended time stamp ("UT") of a local extra field replaces the times it holds: flag bit 0
// the modification time, bit 1 the access time, bit 2 the creation time, each as Unix seconds.
void ApplyExtendedTimeStamp(std::string_view extra, ZipEntry* entry) {
    for (const ZipExtraBlock& block : ZipExtraBlocks(extra)) {
        if (block.tag != 0x5455 || !block.whole || block.data.empty()) {
            continue;
        }
        const auto* bytes = reinterpret_cast<const uint8_t*>(block.data.data());
        const uint8_t flags = bytes[0];
        size_t field = 1;
        uint64_t* times[] = {&entry->modification_time, &entry->access_time, &entry->creation_time};
        for (int bit = 0; bit < 3; ++bit) {
            if ((flags & (1 << bit)) == 0) {
                continue;
            }
            if (field + 4 > block.data.size()) {
                break;
            }
            *times[bit] = FileTimeOfUnix(Little32(&bytes[field]));
            field += 4;
        }
    }
}

bool IsFolderEntry(const ZipEntry& entry) {
    return (entry.attributes & kFileAttributeDirectory) != 0 ||
           (!entry.name.empty() && entry.name.back() == '/');
}

bool IsRelativeWithoutClimbing(std::string_view folder) {
    return !folder.empty() && folder[0] != '\\' && folder[0] != '/' &&
           folder.find(':') == std::string_view::npos &&
           folder.find("../") == std::string_view::npos &&
           folder.find("..\\") == std::string_view::npos;
}

// A file that an extraction created and could not fill as the entry holds goes again, so that
// no partial or wrong copy is taken for the entry.
void RemoveCreatedFile(const char* windows_path) {
    const std::filesystem::path host = platform::MapWindowsPath(windows_path);
    std::error_code error;
    const std::filesystem::path written = std::filesystem::canonical(host, error);
    std::filesystem::remove(error ? host : written, error);
}

}  // namespace

struct UnzipReader::Stored {
    unz_file_info64 info{};
    std::string name;   // the stored bytes, whole
    std::string extra;  // the central header's extra field
};

UnzipReader::UnzipReader() = default;

UnzipReader::~UnzipReader() {
    if (archive_ != nullptr) {
        unzClose(Archive(archive_));
    }
}

int32_t UnzipReader::Open(const void* source, uint32_t length, int32_t kind) {
    input_ = std::make_unique<UnzipInput>();
    const int32_t opened = input_->Open(source, length, kind);
    if (opened != kZipSuccess) {
        return opened;
    }
    zlib_filefunc64_def functions = input_->Functions();
    archive_ = unzOpen2_64(input_.get(), &functions);
    if (archive_ == nullptr) {
        return input_->read_failed() ? kUnzipReadError : kUnzipBadArchive;
    }
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(Archive(archive_), &global) != UNZ_OK ||
        global.number_entry > INT32_MAX) {
        return kUnzipBadArchive;
    }
    entry_count_ = static_cast<int32_t>(global.number_entry);
    cursor_ = 0;
    if (HasZip64EndLocator(*input_) || HasZip64Entry()) {
        return kZipUnsupportedZip64;
    }
    std::error_code error;
    root_ = std::filesystem::current_path(error);
    return kZipSuccess;
}

// Sizes of all ones, or the extension's block in the central or the local extra field. An
// entry that cannot be read here is left to the call that reads it to report.
bool UnzipReader::HasZip64Entry() {
    constexpr ZPOS64_T kAllOnes = 0xFFFFFFFF;
    for (int32_t at = 0; at < entry_count_; ++at) {
        const std::optional<Stored> stored = GoTo(at) ? ReadCurrent() : std::nullopt;
        if (!stored) {
            break;
        }
        if (stored->info.compressed_size >= kAllOnes ||
            stored->info.uncompressed_size >= kAllOnes || HasZip64ExtraBlock(stored->extra)) {
            return true;
        }
        std::string local_extra;
        if (ReadLocalExtra(&local_extra) == kZipSuccess && HasZip64ExtraBlock(local_extra)) {
            return true;
        }
    }
    return false;
}

int32_t UnzipReader::ReadLocalExtra(std::string* extra) {
    unzFile archive = Archive(archive_);
    if (unzOpenCurrentFile(archive) != UNZ_OK) {
        return kZipCorrupt;
    }
    const int extra_size = unzGetLocalExtrafield(archive, nullptr, 0);
    extra->assign(extra_size > 0 ? static_cast<size_t>(extra_size) : 0, '\0');
    const bool extra_read =
        extra_size >= 0 &&
        (extra->empty() ||
         unzGetLocalExtrafield(archive, extra->data(), static_cast<unsigned>(extra->size())) ==
             extra_size);
    unzCloseCurrentFile(archive);
    return extra_read ? kZipSuccess : kZipReadFailed;
}

bool UnzipReader::GoTo(int32_t index) {
    unzFile archive = Archive(archive_);
    if (index < cursor_) {
        if (unzGoToFirstFile(archive) != UNZ_OK) {
            return false;
        }
        cursor_ = 0;
    }
    while (cursor_ < index) {
        if (unzGoToNextFile(archive) != UNZ_OK) {
            // The cursor stands nowhere useful now: start again from the first next time.
            unzGoToFirstFile(archive);
            cursor_ = 0;
            return false;
        }
        ++cursor_;
    }
    return true;
}

std::optional<UnzipReader::Stored> UnzipReader::ReadCurrent() {
    Stored stored;
    unzFile archive = Archive(archive_);
    if (unzGetCurrentFileInfo64(archive, &stored.info, nullptr, 0, nullptr, 0, nullptr, 0) !=
        UNZ_OK) {
        return std::nullopt;
    }
    stored.name.resize(stored.info.size_filename);
    stored.extra.resize(stored.info.size_file_extra);
    if (unzGetCurrentFileInfo64(archive, nullptr, stored.name.data(),
                                static_cast<uLong>(stored.name.size()), stored.extra.data(),
                                static_cast<uLong>(stored.extra.size()), nullptr, 0) != UNZ_OK) {
        return std::nullopt;
    }
    return stored;
}

void UnzipReader::CloseOpenEntry() {
    if (open_entry_ >= 0) {
        open_entry_ = -1;
        unzCloseCurrentFile(Archive(archive_));
    }
}

bool UnzipReader::OpenEntry(int32_t index) {
    CloseOpenEntry();
    const std::optional<Stored> stored = GoTo(index) ? ReadCurrent() : std::nullopt;
    if (!stored || unzOpenCurrentFile(Archive(archive_)) != UNZ_OK) {
        return false;
    }
    open_entry_ = index;
    open_size_ = stored->info.uncompressed_size;
    delivered_ = 0;
    return true;
}

int32_t UnzipReader::ReadOpenEntry(void* buffer, uint32_t size) {
    // minizip counts what it delivers in an int.
    const int read = unzReadCurrentFile(Archive(archive_), buffer, std::min(size, kMaxRead));
    if (read > 0) {
        delivered_ += static_cast<uint64_t>(read);
    }
    return read;
}

int32_t UnzipReader::FinishOpenEntry() {
    const bool whole = delivered_ == open_size_;
    open_entry_ = -1;
    const bool crc_matches = unzCloseCurrentFile(Archive(archive_)) != UNZ_CRCERROR;
    return whole && crc_matches ? kZipSuccess : kZipCorrupt;
}

int32_t UnzipReader::GetItem(int32_t index, ZipEntry* entry) {
    if (entry == nullptr || index < -1 || index >= entry_count_) {
        return kZipFaultyArguments;
    }
    CloseOpenEntry();
    if (index == -1) {
        *entry = ZipEntry{};
        entry->index = entry_count_;
        return kZipSuccess;
    }
    if (cached_ && cached_->index == index) {
        *entry = *cached_;
        return kZipSuccess;
    }
    if (!GoTo(index)) {
        return kZipCorrupt;
    }
    const std::optional<Stored> stored = ReadCurrent();
    if (!stored) {
        return kZipCorrupt;
    }
    std::string extra;
    const int32_t extra_read = ReadLocalExtra(&extra);
    if (extra_read != kZipSuccess) {
        return extra_read;
    }
    ZipEntry record;
    record.index = index;
    record.name = FirstCharacters(
        ZipNameText(stored->name, static_cast<uint16_t>(stored->info.flag)), kMaxRecordName);
    record.attributes = AttributesOf(static_cast<uint32_t>(stored->info.external_fa));
    record.compressed_size = static_cast<uint32_t>(stored->info.compressed_size);
    record.uncompressed_size = static_cast<uint32_t>(stored->info.uncompressed_size);
    const uint32_t dos = static_cast<uint32_t>(stored->info.dosDate);
    const uint64_t dos_time = FileTimeOf(WallTimeOfDos(dos >> 16, dos & 0xFFFF));
    record.access_time = record.creation_time = record.modification_time = dos_time;
    ApplyExtendedTimeStamp(extra, &record);
    cached_ = record;
    *entry = record;
    return kZipSuccess;
}

int32_t UnzipReader::FindItem(std::string_view name, bool ignore_case, int32_t* index,
                              ZipEntry* entry) {
    CloseOpenEntry();
    const bool findable = CharacterCount(name) <= kMaxFindCharacters &&
                          platform::FirstIllFormedUtf8(name) == std::string_view::npos;
    // Names without the UTF-8 flag are compared in Windows-1252, where a name with a character
    // the code page lacks names none of them.
    const std::optional<std::string> wanted_cp1252 = StrictCp1252(name);
    const int32_t was = cursor_;
    bool moved = false;
    for (int32_t at = 0; findable && at < entry_count_; ++at) {
        moved = true;
        if (!GoTo(at)) {
            break;
        }
        const std::optional<Stored> stored = ReadCurrent();
        if (!stored) {
            break;
        }
        std::string_view wanted = name;
        if (!ZipNameIsUtf8(stored->name, static_cast<uint16_t>(stored->info.flag))) {
            if (!wanted_cp1252 || wanted_cp1252->size() > kMaxRecordName) {
                continue;
            }
            wanted = *wanted_cp1252;
        }
        const bool same =
            ignore_case ? platform::EqualsIgnoreCase(stored->name, wanted) : stored->name == wanted;
        if (same) {
            if (index != nullptr) {
                *index = at;
            }
            return entry != nullptr ? GetItem(at, entry) : kZipSuccess;
        }
    }
    if (moved) {
        GoTo(was);
    }
    if (index != nullptr) {
        *index = -1;
    }
    if (entry != nullptr) {
        *entry = ZipEntry{};
        entry->index = -1;
    }
    return kZipNotFound;
}

int32_t UnzipReader::ExtractItem(int32_t index, const void* target, uint32_t length, int32_t kind,
                                 uint32_t* delivered) {
    if (delivered != nullptr) {
        *delivered = 0;
    }
    if (kind == kZipKindMemory) {
        return ExtractToMemory(index, const_cast<void*>(target), length, delivered);
    }
    if (kind != kZipKindHandle && kind != kZipKindFileName) {
        return kZipFaultyArguments;
    }
    CloseOpenEntry();
    if (index < 0 || index >= entry_count_) {
        return kZipFaultyArguments;
    }
    return ExtractToFile(index, target, kind);
}

int32_t UnzipReader::ExtractToMemory(int32_t index, void* target, uint32_t length,
                                     uint32_t* delivered) {
    if (target == nullptr && length > 0) {
        return kZipFaultyArguments;
    }
    if (open_entry_ != index) {
        CloseOpenEntry();
        if (index < 0 || index >= entry_count_) {
            return kZipFaultyArguments;
        }
        if (!OpenEntry(index)) {
            return kZipCorrupt;
        }
    }
    if (length == 0 && unzeof(Archive(archive_)) == 0) {
        return kZipFaultyArguments;  // no room for the data that is left
    }
    const int read = length == 0 ? 0 : ReadOpenEntry(target, length);
    if (read < 0) {
        CloseOpenEntry();
        return kZipFlationFailed;
    }
    if (delivered != nullptr) {
        *delivered = static_cast<uint32_t>(read);
    }
    return read > 0 ? kZipMoreData : FinishOpenEntry();
}

int32_t UnzipReader::MakeFolderBelowRoot(std::string_view relative) {
    const std::optional<std::filesystem::path> folder =
        root_.empty() ? std::nullopt : platform::MapWindowsPathWithin(root_, relative);
    if (!folder) {
        return kZipFaultyArguments;
    }
    std::error_code error;
    std::filesystem::create_directories(*folder, error);
    return std::filesystem::is_directory(*folder, error) ? kZipSuccess : kZipCannotOpenFile;
}

int32_t UnzipReader::ExtractToFile(int32_t index, const void* target, int32_t kind) {
    ZipEntry entry;
    const int32_t got = GetItem(index, &entry);
    if (got != kZipSuccess) {
        return got;
    }
    if (IsFolderEntry(entry)) {
        return kind == kZipKindFileName ? MakeFolderBelowRoot(entry.name) : kZipSuccess;
    }
    int32_t handle = ZipHandleFromArgument(target);
    bool created = false;
    if (kind == kZipKindFileName) {
        if (target == nullptr) {
            return kZipFaultyArguments;
        }
        const char* path = static_cast<const char*>(target);
        const std::string folder = platform::WindowsFolder(path);
        if (IsRelativeWithoutClimbing(folder)) {
            MakeFolderBelowRoot(folder);
        }
        handle = platform::CreateFileForWriting(path);
        if (handle < 0) {
            return kZipCannotOpenFile;
        }
        created = true;
    }
    const int32_t copied = CopyEntry(index, handle);
    if (copied == kZipSuccess) {
        const std::optional<platform::FileFacts> facts = platform::FileFactsOf(handle);
        if (facts && facts->is_disk_file) {
            platform::SetFileTimes(handle, WallTimeOfFileTime(entry.access_time),
                                   WallTimeOfFileTime(entry.modification_time));
        }
    }
    if (created) {
        platform::CloseFileHandle(handle);
        if (copied != kZipSuccess) {
            RemoveCreatedFile(static_cast<const char*>(target));
        }
    }
    return copied;
}

int32_t UnzipReader::CopyEntry(int32_t index, int32_t handle) {
    if (!OpenEntry(index)) {
        return kZipCorrupt;
    }
    std::vector<uint8_t> chunk(kCopyChunk);
    for (;;) {
        const int read = ReadOpenEntry(chunk.data(), kCopyChunk);
        if (read == 0) {
            return FinishOpenEntry();
        }
        if (read < 0 ||
            !platform::WriteFileWhole(handle, chunk.data(), static_cast<size_t>(read))) {
            CloseOpenEntry();
            return kZipWriteFailed;
        }
    }
}

}  // namespace ruzd::foundation
