#pragma once

// The node's own file I/O for recordings: the voice library writes a recording's files
// through the three callbacks below (installed with dx_setuio), which collect its small
// writes in the buffers of each file (telephony/record_file_buffers.h). A recording registers
// every file of its transfer list first; the files stay registered until they are closed.
//
// The maps are process-wide and locked: several channels may start recordings while the
// library's callbacks of others run.

#include <cstdint>

#include "telephony/vendorapi/voice.h"

namespace ruzd::telephony {

// The start of a recording on `channel`: every file entry of the transfer list is registered
// for the channel with fresh buffers, the first one as the channel's record file.
void RegisterRecordFiles(int32_t channel, const DX_IOTT* transfer_list);

// Flushes the file's buffers and forgets it, then closes the handle (registered or not): the
// close's result, or -1 (after the close) when the buffered data could not be written.
int32_t CloseRecordFile(int32_t handle);

// The callbacks, with the C run time's _read, _write and _lseek semantics. A handle that is
// not registered: the write fails (-1), read and seek act on the file directly.
int32_t VoiceFileRead(int32_t handle, char* buffer, uint32_t count);
int32_t VoiceFileWrite(int32_t handle, char* buffer, uint32_t count);
int32_t VoiceFileSeek(int32_t handle, int32_t offset, int32_t whence);

// The record file last registered as the first of a recording on `channel`; -1 for none.
int32_t RecordFileOfChannel(int32_t channel);

}  // namespace ruzd::telephony
