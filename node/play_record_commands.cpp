// The central server's play and record commands: a list of files and memory blocks played on a
// voice channel, a list of record files recorded from it, or from two bus slots mixed. The lists
// travel as transfer entries, termination entries and a format block; the voice library reads
// them while the function runs, so each command fills a transfer set of its own.

#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/debug_channel.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "telephony/tdm_time_slots.h"

namespace ruzd::node {

using foundation::kDebugChannelVoice;
using platform::Format;

namespace {

constexpr uint16_t kVoiceAsyncMode = 0x8000;
constexpr uint16_t kRecordWithTone = 0x0001;
constexpr int32_t kChannelIdle = 1;
// The count of a made-up end of play for a file the node does not know.
constexpr int32_t kUnknownFile = -2;
// A source on an Amtelco cable, named by its position there.
constexpr int32_t kAmtelcoPosition = 999;

uint16_t RecordMode(uint16_t mode) {
    return (mode & kRecordWithTone) != 0 ? kVoiceAsyncMode | kRecordWithTone : kVoiceAsyncMode;
}

}  // namespace

TransferBuffers::Hold CVesmarinManager::NewTransferSet(int32_t handle) {
    return transfer_buffers_.NewSet(handle, hardware_->ATDX_STATE(handle) == kChannelIdle);
}

bool CVesmarinManager::ReadTransferList(CommandArguments& args, TransferSet& set, bool play,
                                        std::string* files) {
    net::CInputStreamSocket& in = args.Stream();
    bool valid = true;
    for (int n = 0; n < kTransferEntries; ++n) {
        DX_IOTT& entry = set.list[static_cast<size_t>(n)];
        uint32_t virtualHandle = 0;
        int32_t handle = 0;
        in.ReadWord(entry.io_type)
            .ReadInt(handle)
            .ReadUInt(entry.io_offset)
            .ReadLong(entry.io_length);
        virtualHandle = static_cast<uint32_t>(handle);
        if (play && (entry.io_type & IO_MEM) != 0) {
            *files += " Memory";
            // A length the frame cannot hold is refused before anything is allocated.
            if (entry.io_length < 0 || entry.io_length > in.Length() - in.Position()) {
                valid = false;
                break;
            }
            std::unique_ptr<char[]> block(new char[static_cast<size_t>(entry.io_length) + 1]());
            if (!in.ReadBytes(reinterpret_cast<uint8_t*>(block.get()), entry.io_length)) {
                std::memset(block.get(), 0, static_cast<size_t>(entry.io_length));
            }
            entry.io_bufp = block.get();
            set.blocks.push_back(std::move(block));
        } else {
            int32_t fileHandle = -1;
            std::lock_guard lock(virtual_files_.Lock());
            const bool found = play
                                   ? virtual_files_.GetVoiceFileHandle(virtualHandle, &fileHandle)
                                   : virtual_files_.GetRecordFileHandle(virtualHandle, &fileHandle);
            if (!found) {
                fileHandle = -1;
                valid = false;
            }
            entry.io_fhandle = fileHandle;
            *files += Format(" %i(%i)", fileHandle, handle);
        }
        if ((entry.io_type & IO_EOT) != 0) {
            break;
        }
    }
    return valid;
}

DV_TPT* CVesmarinManager::ReadTerminations(CommandArguments& args, DV_TPT* table,
                                           bool none_for_lone_zero) {
    net::CInputStreamSocket& in = args.Stream();
    int read = 0;
    for (; read < kTerminationEntries; ++read) {
        DV_TPT& entry = table[read];
        in.ReadWord(entry.tp_type)
            .ReadWord(entry.tp_termno)
            .ReadWord(entry.tp_length)
            .ReadWord(entry.tp_flags)
            .ReadWord(entry.tp_data);
        if ((entry.tp_type & IO_EOT) != 0) {
            ++read;
            break;
        }
    }
    if (none_for_lone_zero && read == 1 && table[0].tp_termno == 0) {
        return nullptr;
    }
    return table;
}

void CVesmarinManager::ReadFormat(CommandArguments& args, DX_XPB* format) {
    args.Stream()
        .ReadWord(format->wFileFormat)
        .ReadWord(format->wDataFormat)
        .ReadUInt(format->nSamplesPerSec)
        .ReadWord(format->wBitsPerSample);
}

bool CVesmarinManager::SourceSlot(int32_t device, int32_t type, int32_t cable, int32_t* slot) {
    if (type == kAmtelcoPosition) {
        *slot = amtelco_.GetAmtelcoBusTimeslot(device, cable);
        return true;
    }
    int32_t handle = -1;
    if (!devices_.GetDeviceHandle(device, type, &handle)) {
        return false;
    }
    *slot = telephony::GetXTimeSlot(handle, type, nullptr);
    return true;
}

// Play is always asynchronous: the mode sent is only logged. A busy channel is stopped first.
void CVesmarinManager::SocketCmdDXPIOT(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t ldev = 0;
    uint16_t mode = 0;
    int32_t handle = -1;
    if (!args.Line(ldev).Word(mode).Enter()) {
        return;
    }
    if (!devices_.Voice().Get(static_cast<int32_t>(ldev), &handle) || handle == -1) {
        args.TraceLine("dx_playiottdata ldev=UNKNOWN RET=ERROR");
        return;
    }
    last_voice_functions_.Set(static_cast<int32_t>(ldev), TDX_PLAY);
    const bool idle = hardware_->ATDX_STATE(handle) == kChannelIdle;
    TransferBuffers::Hold set = transfer_buffers_.NewSet(handle, idle);
    std::string files;
    if (!ReadTransferList(args, *set, true, &files)) {
        messages_.EndOfPlay(*listener_, static_cast<int32_t>(ldev), kMadeUpEndMask, kUnknownFile);
        args.TraceLine(Format("dx_playiottdata dev=%d INVALID FILE HANDLE RET=ERROR", handle));
        return;
    }
    DV_TPT* terminations = ReadTerminations(args, set->terminations.data(), true);
    ReadFormat(args, &set->format);
    args.TraceLine(Format("Play %u", ldev));
    if (!idle) {
        hardware_->dx_stopch(handle, kVoiceAsyncMode);
    }
    const int32_t result = hardware_->dx_playiottdata(handle, set->list.data(), terminations,
                                                      &set->format, kVoiceAsyncMode);
    if (result == 0) {
        set.Started();
    } else {
        messages_.EndOfPlay(*listener_, static_cast<int32_t>(ldev), kMadeUpEndMask,
                            hardware_->ATDV_LASTERR(handle));
        args.TraceLine(std::string("Error playing file: ") + hardware_->ATDV_ERRMSGP(handle));
    }
    args.TraceLine(Format("dx_playiottdata dev=%d mode=%u files=%s RC=%d", handle, mode,
                          files.c_str(), result));
}

// The common start of the two record commands: the channel, then its lists read against the
// record-file table into a fresh transfer set. Nothing, with the line logged, when either is
// wrong.
std::optional<TransferBuffers::Hold> CVesmarinManager::ReadRecordLists(
    CommandArguments& args, uint32_t ldev, const char* call, int32_t* handle, std::string* files,
    DV_TPT** terminations) {
    if (!devices_.Voice().Get(static_cast<int32_t>(ldev), handle) || *handle == -1) {
        args.TraceLine("dx_reciottdata ldev=UNKNOWN RET=ERROR");
        return std::nullopt;
    }
    TransferBuffers::Hold set = NewTransferSet(*handle);
    if (!ReadTransferList(args, *set, false, files)) {
        args.TraceLine(Format("%s dev=%d INVALID FILE HANDLE RET=ERROR", call, *handle));
        return std::nullopt;
    }
    *terminations = ReadTerminations(args, set->terminations.data(), false);
    ReadFormat(args, &set->format);
    return set;
}

void CVesmarinManager::SocketCmdDXRIOT(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t ldev = 0;
    uint16_t mode = 0;
    if (!args.Line(ldev).Word(mode).Enter()) {
        return;
    }
    int32_t handle = -1;
    if (devices_.Voice().Get(static_cast<int32_t>(ldev), &handle) && handle != -1) {
        last_voice_functions_.Set(static_cast<int32_t>(ldev), TDX_RECORD);
    }
    std::string files;
    DV_TPT* terminations = nullptr;
    std::optional<TransferBuffers::Hold> set =
        ReadRecordLists(args, ldev, "dx_reciottdata", &handle, &files, &terminations);
    if (!set) {
        return;
    }
    const int32_t result = hardware_->dx_reciottdata(handle, (*set)->list.data(), terminations,
                                                     &(*set)->format, RecordMode(mode));
    if (result == 0) {
        set->Started();
    }
    args.TraceLine(Format("dx_reciottdata dev=%d mode=%u files=%s RC=%d", handle, mode,
                          files.c_str(), result));
}

// Records what two bus slots carry, mixed: two devices by type, or positions on Amtelco cables.
void CVesmarinManager::SocketCmdDXMRIO(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t ldev = 0;
    uint16_t mode = 0;
    if (!args.Line(ldev).Word(mode).Enter()) {
        return;
    }
    int32_t handle = -1;
    std::string files;
    DV_TPT* terminations = nullptr;
    std::optional<TransferBuffers::Hold> found =
        ReadRecordLists(args, ldev, "dx_mreciottdata", &handle, &files, &terminations);
    if (!found) {
        return;
    }
    TransferBuffers::Hold& set = *found;
    int32_t devices[2] = {0, 0};
    int32_t types[2] = {0, 0};
    int32_t cables[2] = {0, 0};
    args.Stream()
        .ReadLong(devices[0])
        .ReadInt(types[0])
        .ReadLong(devices[1])
        .ReadInt(types[1])
        .ReadInt(cables[0])
        .ReadInt(cables[1]);
    if (devices[0] == -1 || devices[1] == -1) {
        args.TraceLine(Format("dx_mreciottdata dev=%d INVALID TIMESLOTS RET=ERROR", handle));
        return;
    }
    int32_t slots[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        if (!SourceSlot(devices[i], types[i], cables[i], &slots[i])) {
            return;
        }
    }
    SC_TSINFO slotInfo{2, slots};
    const int32_t result = hardware_->dx_mreciottdata(handle, set->list.data(), terminations,
                                                      &set->format, RecordMode(mode), &slotInfo);
    if (result == 0) {
        set.Started();
    }
    args.TraceLine(Format("dx_mreciottdata dev=%d mode=%u files=%s RC=%d", handle, mode,
                          files.c_str(), result));
    if (result != 0) {
        const std::string error = hardware_->ATDV_ERRMSGP(handle);
        args.TraceLine(Format("dx_mreciottdata Error=%d ErrorMsg=%s",
                              hardware_->ATDV_LASTERR(handle), error.c_str()));
        messages_.EndOfRecord(*command, static_cast<int32_t>(ldev), hardware_->ATDX_TERMMSK(handle),
                              hardware_->ATDX_TRCOUNT(handle));
    }
}

}  // namespace ruzd::node
