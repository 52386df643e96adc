#pragma once

// The voice library's own file functions (dx_fileopen and the rest): the C run time's file
// functions on real files, named by Windows paths and opened with the run time's flags and
// permission bits, as the node's file layer maps and translates them. Handles are the
// process's file descriptors; a failure returns -1 and keeps the C library's error number for
// dx_fileerrno (per thread).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ruzd::boardsim {

int32_t VoiceFileOpen(const char* windows_path, int32_t crt_flags, int32_t crt_permission);
int32_t VoiceFileSeek(int32_t handle, int32_t offset, int32_t origin);
int32_t VoiceFileRead(int32_t handle, void* buffer, uint32_t count);
int32_t VoiceFileWrite(int32_t handle, const void* buffer, uint32_t count);
int32_t VoiceFileClose(int32_t handle);
// The error number of the calling thread's last failed file function; 0 when none failed.
int32_t VoiceFileErrno();

// Reads at an offset without moving the handle's position, as a playing board reads the file
// the application may seek in meanwhile; -1 on failure.
int32_t VoiceFileReadAt(int32_t handle, int64_t offset, void* buffer, uint32_t count);
// The whole of a file on the host (a source of voice); nullopt when it cannot be read.
std::optional<std::vector<uint8_t>> ReadHostFile(const std::string& host_path);

// Whether VoiceFileOpen handed out the handle and it is not closed yet. The library's file
// functions leave other handles alone, so that a made-up handle never reaches a file of the
// process the library runs in.
bool IsVoiceFileHandle(int32_t handle);
// Whether a recording may write to the handle: one VoiceFileOpen handed out, or a regular file
// the application opened for writing with the C run time, which the library shares with it
// (the node's record files). Anything else, a made-up handle included, is left alone.
bool IsWritableFileHandle(int32_t handle);

}  // namespace ruzd::boardsim
