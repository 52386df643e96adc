#include "node/virtual_file_tables.h"

#include <utility>

#include "platform/text.h"

namespace ruzd::node {

void VirtualFileTables::Add(Files& files, uint32_t virtualHandle, int32_t fileHandle,
                            const std::string& name) {
    std::lock_guard hold(lock_);
    files.byVirtualHandle[virtualHandle] = fileHandle;
    files.names[fileHandle] = name;
}

bool VirtualFileTables::GetHandle(const Files& files, uint32_t virtualHandle,
                                  int32_t* fileHandle) const {
    std::lock_guard hold(lock_);
    const auto it = files.byVirtualHandle.find(virtualHandle);
    if (it == files.byVirtualHandle.end()) {
        return false;
    }
    *fileHandle = it->second;
    return true;
}

bool VirtualFileTables::GetName(const Files& files, int32_t fileHandle, std::string* name) const {
    std::lock_guard hold(lock_);
    const auto it = files.names.find(fileHandle);
    if (it == files.names.end()) {
        return false;
    }
    *name = it->second;
    return true;
}

bool VirtualFileTables::Take(Files& files, uint32_t virtualHandle, OpenFile* file) {
    std::lock_guard hold(lock_);
    const auto it = files.byVirtualHandle.find(virtualHandle);
    if (it == files.byVirtualHandle.end()) {
        return false;
    }
    OpenFile taken;
    taken.handle = it->second;
    files.byVirtualHandle.erase(it);
    const auto name = files.names.find(taken.handle);
    if (name != files.names.end()) {
        taken.name = std::move(name->second);
        files.names.erase(name);
    }
    if (file != nullptr) {
        *file = std::move(taken);
    }
    return true;
}

std::vector<std::pair<uint32_t, VirtualFileTables::OpenFile>> VirtualFileTables::TakeAll(
    Files& files) {
    std::lock_guard hold(lock_);
    std::vector<std::pair<uint32_t, OpenFile>> taken;
    while (!files.byVirtualHandle.empty()) {
        const uint32_t virtualHandle = files.byVirtualHandle.begin()->first;
        OpenFile file;
        Take(files, virtualHandle, &file);
        taken.emplace_back(virtualHandle, std::move(file));
    }
    return taken;
}

void VirtualFileTables::AddVoiceFile(uint32_t virtualHandle, int32_t fileHandle,
                                     const std::string& name) {
    Add(voice_, virtualHandle, fileHandle, name);
}
void VirtualFileTables::AddRecordFile(uint32_t virtualHandle, int32_t fileHandle,
                                      const std::string& name) {
    Add(record_, virtualHandle, fileHandle, name);
}
bool VirtualFileTables::GetVoiceFileHandle(uint32_t virtualHandle, int32_t* fileHandle) const {
    return GetHandle(voice_, virtualHandle, fileHandle);
}
bool VirtualFileTables::GetRecordFileHandle(uint32_t virtualHandle, int32_t* fileHandle) const {
    return GetHandle(record_, virtualHandle, fileHandle);
}
bool VirtualFileTables::GetVoiceFileName(int32_t fileHandle, std::string* name) const {
    return GetName(voice_, fileHandle, name);
}
bool VirtualFileTables::GetRecordFileName(int32_t fileHandle, std::string* name) const {
    return GetName(record_, fileHandle, name);
}
bool VirtualFileTables::TakeVoiceFile(uint32_t virtualHandle, OpenFile* file) {
    return Take(voice_, virtualHandle, file);
}
bool VirtualFileTables::TakeRecordFile(uint32_t virtualHandle, OpenFile* file) {
    return Take(record_, virtualHandle, file);
}

std::vector<std::pair<uint32_t, VirtualFileTables::OpenFile>>
VirtualFileTables::TakeAllVoiceFiles() {
    return TakeAll(voice_);
}
std::vector<std::pair<uint32_t, VirtualFileTables::OpenFile>>
VirtualFileTables::TakeAllRecordFiles() {
    return TakeAll(record_);
}

std::set<std::string> VirtualFileTables::OpenFileNamesUpper() const {
    std::lock_guard hold(lock_);
    std::set<std::string> names;
    for (const Files* files : {&voice_, &record_}) {
        for (const auto& [handle, name] : files->names) {
            names.insert(platform::AsciiUpper(name));
        }
    }
    return names;
}

void VirtualFileTables::ForgetAll() {
    std::lock_guard hold(lock_);
    voice_ = Files{};
    record_ = Files{};
}

}  // namespace ruzd::node
