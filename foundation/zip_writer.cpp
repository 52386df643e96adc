#include "foundation/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "foundation/zip_deflater.h"
#include "foundation/zip_entry_source.h"
#include "foundation/zip_handle.h"
#include "foundation/zip_name.h"
#include "foundation/zip_result.h"
#include "foundation/zip_times.h"
#include "platform/text.h"
#include "platform/win_path.h"

namespace ruzd::foundation {
namespace {

constexpr size_t kMaxNameCharacters = 259;
constexpr size_t kReadChunk = 16384;
constexpr size_t kTextSample = 16384;
// All ones in a size, an offset or the entry count stands for the 64-bit extension, which this
// writer does not write (and the reader refuses).
constexpr uint64_t kMaxZipValue = 0xFFFFFFFE;
constexpr size_t kMaxEntries = 0xFFFE;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr int32_t kTreeLevel = 8;

// Files whose contents are compressed already are stored as they are.
bool NamesCompressedFile(std::string_view name) {
    static constexpr std::array<std::string_view, 8> kExtensions = {".Z",   ".zip", ".zoo", ".arc",
                                                                    ".lzh", ".arj", ".gz",  ".tgz"};
    const size_t slash = name.rfind('/');
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return false;
    }
    const std::string_view extension = name.substr(dot);
    return std::any_of(kExtensions.begin(), kExtensions.end(), [&](std::string_view listed) {
        return platform::EqualsIgnoreCase(extension, listed);
    });
}

uint16_t LevelFlags(int32_t level) {
    if (level == 1 || level == 2) {
        return 4;
    }
    return level == 8 ? 2 : 0;
}

// Counts bytes over the start of an entry to tell text from binary data.
class TextSample {
public:
    void Add(const uint8_t* data, size_t size) {
        for (size_t i = 0; i < size && seen_ < kTextSample; ++i, ++seen_) {
            const uint8_t byte = data[i];
            if (byte <= 6 || byte >= 128) {
                ++binary_;
            } else {
                ++text_;
            }
        }
    }
    // Text when the bytes outside 7 to 127 are at most a quarter of those inside.
    uint16_t InternalAttributes() const { return binary_ * 4 <= text_ ? 1 : 0; }

private:
    size_t seen_ = 0;
    size_t binary_ = 0;
    size_t text_ = 0;
};

}  // namespace

int32_t ZipWriter::Create(void* target, uint32_t length, int32_t kind) {
    return output_.Create(target, length, kind);
}

int32_t ZipWriter::AddItem(std::string_view name, const void* source, uint32_t length, int32_t kind,
                           int32_t level) {
    if (failed_) {
        return kZipPreviousError;
    }
    if (finished_) {
        return kZipEnded;
    }
    const int32_t result = Add(name, source, length, kind, level);
    failed_ = result != kZipSuccess;
    return result;
}

int32_t ZipWriter::Add(std::string_view name, const void* source, uint32_t length, int32_t kind,
                       int32_t level) {
    std::optional<StoredZipName> stored_name = StoredZipNameOf(name);
    if (!stored_name || stored_name->bytes.empty() ||
        CharacterCount(stored_name->bytes) > kMaxNameCharacters) {
        return kZipFaultyArguments;
    }
    std::string& stored_bytes = stored_name->bytes;
    std::replace(stored_bytes.begin(), stored_bytes.end(), '\\', '/');
    if (kind == kZipKindFolder && stored_bytes.back() != '/') {
        stored_bytes.push_back('/');
    }
    ZipEntrySource source_data;
    const int32_t opened = source_data.Open(source, length, kind);
    if (opened != kZipSuccess) {
        return opened;
    }
    const std::optional<uint64_t> known_size = source_data.size();
    if ((known_size && *known_size > kMaxZipValue) || entries_.size() >= kMaxEntries ||
        output_.position() > kMaxZipValue) {
        return kZipWriteFailed;  // beyond what an archive without its 64-bit extension holds
    }

    ZipEntryHeader header;
    header.name = std::move(stored_bytes);
    header.method = kind == kZipKindFolder || NamesCompressedFile(header.name) ? kMethodStored
                                                                               : kMethodDeflated;
    header.flags = kZipFlagDataDescriptor;
    if (stored_name->utf8) {
        header.flags |= kZipFlagUtf8Name;
    }
    if (header.method == kMethodDeflated) {
        header.flags |= LevelFlags(level);
    }
    const DosDateTime dos = DosDateTimeOf(source_data.modification_time());
    header.dos_date = dos.date;
    header.dos_time = dos.time;
    header.modification_time = ZipUnixTimeOf(source_data.modification_time());
    header.access_time = ZipUnixTimeOf(source_data.access_time());
    header.creation_time = ZipUnixTimeOf(source_data.creation_time());
    header.external_attributes = source_data.external_attributes();
    header.local_header_offset = static_cast<uint32_t>(output_.position());
    const uint32_t predicted = known_size ? static_cast<uint32_t>(*known_size) : kZipUnknownSize;
    header.uncompressed_size = predicted;
    header.compressed_size = header.method == kMethodStored && known_size ? predicted : 0;
    const std::string local = header.LocalHeader();
    if (output_.Write(local.data(), local.size()) != kZipSuccess) {
        return kZipWriteFailed;
    }

    uint64_t count = 0;
    const int32_t written = WriteData(source_data, header, level, &count);
    if (written != kZipSuccess) {
        return written;
    }
    if (known_size && count != *known_size) {
        return kZipSizeMismatch;
    }
    header.uncompressed_size = static_cast<uint32_t>(count);
    if (header.method == kMethodStored) {
        header.compressed_size = static_cast<uint32_t>(count);
    }

    if (output_.can_seek()) {
        header.flags &= static_cast<uint16_t>(~kZipFlagDataDescriptor);
        const std::string rewritten_header = header.LocalHeader();
        const int32_t rewritten = output_.Rewrite(header.local_header_offset,
                                                  rewritten_header.data(), rewritten_header.size());
        if (rewritten != kZipSuccess) {
            return rewritten;
        }
    } else {
        // A stored entry's size stood in its local header: it must have come true.
        if (header.method == kMethodStored && !known_size) {
            return kZipMindChanged;
        }
        const std::string descriptor = header.DataDescriptor();
        if (output_.Write(descriptor.data(), descriptor.size()) != kZipSuccess) {
            return kZipWriteFailed;
        }
    }
    entries_.push_back(std::move(header));
    return kZipSuccess;
}

int32_t ZipWriter::WriteData(ZipEntrySource& source, ZipEntryHeader& header, int32_t level,
                             uint64_t* count) {
    if (source.is_folder()) {
        return kZipSuccess;
    }
    ZipDeflater deflater(output_);
    const bool deflating = header.method == kMethodDeflated;
    if (deflating && !deflater.Start(level)) {
        return kZipWriteFailed;
    }
    TextSample sample;
    std::vector<uint8_t> chunk(kReadChunk);
    uLong crc = crc32(0, nullptr, 0);
    for (;;) {
        const std::optional<size_t> read = source.Read(chunk.data(), chunk.size());
        if (!read) {
            return kZipWriteFailed;
        }
        *count += *read;
        if (*count > kMaxZipValue) {
            return kZipWriteFailed;
        }
        crc = crc32(crc, chunk.data(), static_cast<uInt>(*read));
        if (deflating) {
            sample.Add(chunk.data(), *read);
            const int32_t added = deflater.Add(chunk.data(), *read, *read == 0);
            if (added != kZipSuccess) {
                return kZipWriteFailed;
            }
        } else if (output_.Write(chunk.data(), *read) != kZipSuccess) {
            return kZipWriteFailed;
        }
        if (*read == 0) {
            break;
        }
    }
    header.crc32 = static_cast<uint32_t>(crc);
    if (deflating) {
        if (deflater.compressed_size() > kMaxZipValue) {
            return kZipWriteFailed;
        }
        header.compressed_size = static_cast<uint32_t>(deflater.compressed_size());
        header.internal_attributes = sample.InternalAttributes();
    }
    return kZipSuccess;
}

bool ZipWriter::AddDirectoryTree(std::string_view base, std::string_view relative) {
    if (!relative.empty()) {
        AddItem(relative, nullptr, 0, kZipKindFolder, kTreeLevel);
    }
    struct Item {
        std::string name;
        bool is_folder = false;
        bool is_link = false;
    };
    std::vector<Item> items;
    std::error_code error;
    const std::filesystem::path folder =
        platform::MapWindowsPath(platform::JoinWindowsPath(base, relative));
    std::filesystem::directory_iterator listing(folder, error);
    for (; !error && listing != std::filesystem::directory_iterator(); listing.increment(error)) {
        std::error_code ignored;
        items.push_back(Item{listing->path().filename().string(), listing->is_directory(ignored),
                             listing->is_symlink(ignored)});
    }
    if (error) {
        return false;
    }
    std::sort(items.begin(), items.end(),
              [](const Item& a, const Item& b) { return a.name < b.name; });
    for (const Item& item : items) {
        const std::string item_relative = platform::JoinWindowsPath(relative, item.name);
        if (item.is_folder && item.is_link) {
            // A linked folder is kept as a folder but not entered: a link back up would never end.
            if (AddItem(item_relative, nullptr, 0, kZipKindFolder, kTreeLevel) != kZipSuccess) {
                return false;
            }
        } else if (item.is_folder) {
            if (!AddDirectoryTree(base, item_relative)) {
                return false;
            }
        } else {
            const std::string path = platform::JoinWindowsPath(base, item_relative);
            if (AddItem(item_relative, path.c_str(), 0, kZipKindFileName, kTreeLevel) !=
                kZipSuccess) {
                return false;
            }
        }
    }
    return true;
}

int32_t ZipWriter::Finish() {
    if (!finished_) {
        finished_ = true;
        finish_result_ = WriteDirectory();
    }
    return finish_result_;
}

int32_t ZipWriter::WriteDirectory() {
    const uint64_t directory_offset = output_.position();
    for (const ZipEntryHeader& entry : entries_) {
        const std::string central = entry.CentralHeader();
        if (output_.Write(central.data(), central.size()) != kZipSuccess) {
            return kZipWriteFailed;
        }
    }
    const uint64_t directory_size = output_.position() - directory_offset;
    if (directory_offset > kMaxZipValue || directory_size > kMaxZipValue) {
        return kZipWriteFailed;
    }
    const std::string end =
        ZipEndRecord(static_cast<uint16_t>(entries_.size()), static_cast<uint32_t>(directory_size),
                     static_cast<uint32_t>(directory_offset));
    return output_.Write(end.data(), end.size());
}

int32_t ZipWriter::GetOutputMemory(const uint8_t** memory, uint32_t* length) {
    if (memory == nullptr || length == nullptr) {
        return kZipFaultyArguments;
    }
    if (!output_.is_memory()) {
        return kZipNotMemoryArchive;
    }
    const int32_t finished = Finish();
    if (finished != kZipSuccess) {
        return finished;
    }
    *memory = output_.memory();
    *length = static_cast<uint32_t>(output_.written());
    return kZipSuccess;
}

}  // namespace ruzd::foundation
