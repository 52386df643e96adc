#pragma once

// The voice and record files the file-handling worker opened for the central server: the
// server names each file by a virtual handle of its own choosing, the vendor's file calls take
// the file handle, and the file cache wants the name under which the file was opened. The four
// maps sit under one lock, the file-handle lock, so that a file is registered and forgotten
// as one.

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace ruzd::node {

class VirtualFileTables {
public:
    // One open file as registered: its file handle and its (central) name.
    struct OpenFile {
        int32_t handle = -1;
        std::string name;
    };

    // Registers an opened file under its virtual handle; replaces an earlier one of that handle.
    void AddVoiceFile(uint32_t virtualHandle, int32_t fileHandle, const std::string& name);
    void AddRecordFile(uint32_t virtualHandle, int32_t fileHandle, const std::string& name);

    // The file handle of a virtual handle; false (handle untouched) when none is registered.
    bool GetVoiceFileHandle(uint32_t virtualHandle, int32_t* fileHandle) const;
    bool GetRecordFileHandle(uint32_t virtualHandle, int32_t* fileHandle) const;

    // The name of a file handle; false (name untouched) when none is registered.
    bool GetVoiceFileName(int32_t fileHandle, std::string* name) const;
    bool GetRecordFileName(int32_t fileHandle, std::string* name) const;

    // Forgets the virtual handle and its file's name, handing both back; false when the virtual
    // handle has no file. The caller closes the file.
    bool TakeVoiceFile(uint32_t virtualHandle, OpenFile* file);
    bool TakeRecordFile(uint32_t virtualHandle, OpenFile* file);

    // Forgets every file of the kind, handing each back with its virtual handle, in virtual
    // handle order. The caller closes them.
    std::vector<std::pair<uint32_t, OpenFile>> TakeAllVoiceFiles();
    std::vector<std::pair<uint32_t, OpenFile>> TakeAllRecordFiles();

    // The names of every registered voice and record file, upper-cased.
    std::set<std::string> OpenFileNamesUpper() const;

    // Forgets everything, closing nothing.
    void ForgetAll();

    // The file-handle lock, for a caller that must do several operations as one.
    std::recursive_mutex& Lock() const { return lock_; }

private:
    struct Files {
        std::map<uint32_t, int32_t> byVirtualHandle;
        std::map<int32_t, std::string> names;
    };

    void Add(Files& files, uint32_t virtualHandle, int32_t fileHandle, const std::string& name);
    bool GetHandle(const Files& files, uint32_t virtualHandle, int32_t* fileHandle) const;
    bool GetName(const Files& files, int32_t fileHandle, std::string* name) const;
    bool Take(Files& files, uint32_t virtualHandle, OpenFile* file);
    std::vector<std::pair<uint32_t, OpenFile>> TakeAll(Files& files);

    mutable std::recursive_mutex lock_;
    Files voice_;
    Files record_;
};

}  // namespace ruzd::node
