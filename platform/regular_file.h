#pragma once

// Opening the program's own files by name without waiting on them. A FIFO, a device or a
// socket where a file of ours should be would block a plain open(2) (a FIFO until a writer
// comes) or a read, with no word said and deaf to a stop: such a path is refused instead.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace ruzd::platform {

// What errno says after a path was refused for not naming a regular file (a folder says
// EISDIR). open(2) itself gives it for a FIFO opened to write with no reader, and a socket.
inline constexpr int kNotARegularFileError = 6;  // ENXIO
// What errno says for a path that names nothing, where a missing file is no failure.
inline constexpr int kNoSuchFileError = 2;  // ENOENT
// What errno says for a path that names a folder where a file is wanted.
inline constexpr int kIsAFolderError = 21;  // EISDIR

// Opens `path` with the open(2) `flags` (O_CLOEXEC and O_NOCTTY are added) and, when it
// creates it, `mode`. Only a regular file is kept: its descriptor comes back in blocking
// mode. Anything else gives -1 with errno as open(2) left it, or kNotARegularFileError /
// EISDIR for a path that names no regular file.
int OpenRegularFile(const std::filesystem::path& path, int flags, mode_t mode = 0);

// The reason for an errno of OpenRegularFile or ReadRegularFile, as a log line says it
// ("not a regular file", "No such file or directory", ...).
std::string OpenErrorText(int error);

// Reads the whole regular file at `path` into `content` (emptied first): 0, or the errno of
// the failure (ENOENT for a missing file, kNotARegularFileError for a FIFO, EIO or what
// read(2) said for a failed read).
int ReadRegularFile(const std::filesystem::path& path, std::string& content);
// Reads what is left of the file open as `fd` into `content` (emptied first): 0, or the errno
// of a failed read (`content` emptied then).
int ReadToEnd(int fd, std::string& content);

// Creates the regular file at `path` (with `mode`), or empties the one there, and writes all of
// `content` into it: 0, or the errno of the failure (kNotARegularFileError for a FIFO, EISDIR
// for a folder; a failed close counts, as a file system may report a lost write only there).
int WriteRegularFile(const std::filesystem::path& path, std::string_view content,
                     mode_t mode = 0644);

// Whether `path` names a regular file (through symbolic links): 0, or the errno that
// OpenRegularFile would give for it. Only for a name handed to a call that opens it by itself
// and takes no descriptor (the dynamic loader): what it opens a moment later is the folder
// owner's to change, no stranger's.
int CheckRegularFile(const std::filesystem::path& path);

// Opens the regular file at `path` to read, as OpenRegularFile does: its descriptor, to be
// checked and read through from then on, or -1 with the errno of the failure in `error`.
int OpenRegularFileToRead(const std::filesystem::path& path, int& error);

// The size of the file open as `fd`: 0, or the errno of the failure.
int RegularFileSize(int fd, uint64_t& size);

// Reads up to `size` bytes from `offset` of the file open as `fd`, going on after
// interruptions and short reads until `size` bytes are read or the file ends: 0 with the
// count in `read`, or the errno of the failure (EIO for a failing disk).
int ReadRegularFileAt(int fd, uint64_t offset, void* buffer, size_t size, size_t& read);

}  // namespace ruzd::platform
