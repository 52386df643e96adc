#include "foundation/node_services.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "foundation/app_hooks.h"
#include "platform/message_box.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

std::mutex& PublishedLock() {
    static std::mutex lock;
    return lock;
}

std::weak_ptr<NodeServices>& Published() {
    static std::weak_ptr<NodeServices> services;
    return services;
}

}  // namespace

void PublishNodeServices(std::weak_ptr<NodeServices> services) {
    std::lock_guard<std::mutex> hold(PublishedLock());
    Published() = std::move(services);
}

void WithdrawNodeServices(const NodeServices* services) {
    // The copy outlives the lock: should it be the last one, the manager's destructor (which
    // withdraws it) runs without the lock held.
    std::shared_ptr<NodeServices> published;
    std::lock_guard<std::mutex> hold(PublishedLock());
    published = Published().lock();
    if (published == nullptr || published.get() == services) {
        Published().reset();
    }
}

std::shared_ptr<NodeServices> LockNodeServices() {
    std::lock_guard<std::mutex> hold(PublishedLock());
    return Published().lock();
}

void FatalErrorBox(int code) {
    AppHooks& app = CurrentApp();
    platform::ShowMessageBox(platform::Format("Error %i", code), app.ApplicationName(),
                             platform::kMbOk);
    app.RequestMainWindowClose();
}

void CopyToCharBuffer(char* buffer, const std::string* text, size_t size) {
    if (buffer == nullptr || size == 0)
        return;
    if (text == nullptr) {
        std::memset(buffer, 0, size);
        return;
    }
    const std::string narrow = platform::Utf8ToCp1252(*text);
    const size_t count = std::min(narrow.size(), size - 1);
    std::memcpy(buffer, narrow.data(), count);
    buffer[count] = '\0';
}

void OpenedStationBoards::Add(int32_t ldev, int32_t board_handle) {
    std::lock_guard<std::mutex> hold(mutex_);
    boards_[ldev] = board_handle;
}

void OpenedStationBoards::Remove(int32_t ldev) {
    std::lock_guard<std::mutex> hold(mutex_);
    boards_.erase(ldev);
}

void OpenedStationBoards::Clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    boards_.clear();
}

std::vector<int32_t> OpenedStationBoards::Handles() const {
    std::lock_guard<std::mutex> hold(mutex_);
    std::vector<int32_t> handles;
    handles.reserve(boards_.size());
    for (const auto& [ldev, handle] : boards_)
        handles.push_back(handle);
    return handles;
}

OpenedStationBoards& StationBoards() {
    static OpenedStationBoards boards;
    return boards;
}

}  // namespace ruzd::foundation
