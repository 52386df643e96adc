// The central server's file commands: open (queued to the file-handling worker, which answers
// with message 9), seek and close of voice and record files named by virtual handles.

#include <mutex>
#include <string>

#include "foundation/debug_channel.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"

namespace ruzd::node {

using foundation::kDebugChannelVoice;
using platform::Format;

void CVesmarinManager::SocketCmdDXFOPE(net::CClientStreamSocket* command) {
    QueueFileOpen(command, CFileHandlingParam::kOpenVoiceFile);
}

void CVesmarinManager::SocketCmdRECFOPE(net::CClientStreamSocket* command) {
    QueueFileOpen(command, CFileHandlingParam::kOpenRecordFile);
}

void CVesmarinManager::SocketCmdDXFSEE(net::CClientStreamSocket* command) {
    SeekFile(command, true);
}

void CVesmarinManager::SocketCmdRECFSEE(net::CClientStreamSocket* command) {
    SeekFile(command, false);
}

void CVesmarinManager::SocketCmdDXFCLO(net::CClientStreamSocket* command) {
    QueueFileClose(command, true);
}

void CVesmarinManager::SocketCmdRECFCLO(net::CClientStreamSocket* command) {
    QueueFileClose(command, false);
}

// The open itself may have to fetch the file first: the handler does not wait for it.
void CVesmarinManager::QueueFileOpen(net::CClientStreamSocket* command, int32_t kind) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t virtualHandle = 0;
    std::string name;
    int32_t flags = 0;
    int32_t mode = 0;
    uint32_t size = 0;
    uint32_t crc = 0;
    if (!args.Line(virtualHandle)
             .String(name)
             .Int(flags)
             .Int(mode)
             .UInt(size)
             .UInt(crc)
             .Show(std::to_string(virtualHandle))
             .Enter()) {
        return;
    }
    QueueFileHandlingParam(CFileHandlingParam{static_cast<int32_t>(virtualHandle), kind, name,
                                              flags, mode, static_cast<int32_t>(size),
                                              static_cast<int32_t>(crc), 0});
}

void CVesmarinManager::SeekFile(net::CClientStreamSocket* command, bool voice) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t virtualHandle = 0;
    int32_t offset = 0;
    int32_t origin = 0;
    if (!args.Line(virtualHandle).Long(offset).Int(origin).Enter()) {
        return;
    }
    const char* call = voice ? "dx_fileseek" : "REC fileseek";
    std::lock_guard lock(virtual_files_.Lock());
    int32_t handle = -1;
    const bool found = voice ? virtual_files_.GetVoiceFileHandle(virtualHandle, &handle)
                             : virtual_files_.GetRecordFileHandle(virtualHandle, &handle);
    if (!found) {
        args.TraceLine(Format("%s vhandle=%u handle=UNKNOWN RET=ERROR", call, virtualHandle));
        return;
    }
    const int32_t result = voice ? hardware_->dx_fileseek(handle, offset, origin)
                                 : hardware_->rec_fileseek(handle, offset, origin);
    args.TraceLine(Format("%s offset=%d origin=%d RC=%d", call, offset, origin, result));
}

// The worker closes the file and hands it to the file cache as written, with the channel id,
// which goes on to the move to the central server.
void CVesmarinManager::QueueFileClose(net::CClientStreamSocket* command, bool voice) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t virtualHandle = 0;
    int32_t channelId = 0;
    if (!args.Line(virtualHandle).MayEndHere().Long(channelId).Enter()) {
        return;
    }
    std::lock_guard lock(virtual_files_.Lock());
    VirtualFileTables::OpenFile file;
    const bool found = voice ? virtual_files_.TakeVoiceFile(virtualHandle, &file)
                             : virtual_files_.TakeRecordFile(virtualHandle, &file);
    if (!found) {
        args.TraceLine(Format("%s vhandle=%u handle=UNKNOWN RET=ERROR",
                              voice ? "dx_fileclose" : "REC fileclose", virtualHandle));
        return;
    }
    if (!voice) {
        args.TraceLine(Format("REC fileclose vhandle=%u handle=%d file=%s", virtualHandle,
                              file.handle, file.name.c_str()));
    }
    QueueFileHandlingParam(CFileHandlingParam{
        file.handle,
        voice ? CFileHandlingParam::kCloseVoiceFile : CFileHandlingParam::kCloseRecordFile,
        file.name, 0, 0, 0, 0, channelId});
}

}  // namespace ruzd::node
