#pragma once

// CVesmarinGUISocketThread: the companion of the window side of the local GUI link. Once a
// second it has the link check its connection, and it hands the node the answers of the message
// boxes that the threaded message box shows on the node's behalf.

#include <cstdint>
#include <map>
#include <mutex>

#include "foundation/threaded_message_box.h"
#include "platform/thread.h"

namespace ruzd::app {

class CVesmarinGUISocket;

class CVesmarinGUISocketThread {
public:
    static constexpr uint32_t kCheckPeriodMs = 1000;

    // Starts at once.
    explicit CVesmarinGUISocketThread(CVesmarinGUISocket* socket);
    // Ends the thread and waits for it.
    ~CVesmarinGUISocketThread();
    CVesmarinGUISocketThread(const CVesmarinGUISocketThread&) = delete;
    CVesmarinGUISocketThread& operator=(const CVesmarinGUISocketThread&) = delete;

    // The box of the node's request `id`, whose answer word the threaded message box fills in.
    void AddPendingBox(int32_t id, foundation::MessageBoxAnswer answer);

private:
    void OnTick();

    CVesmarinGUISocket* const socket_;
    std::mutex lock_;
    std::map<int32_t, foundation::MessageBoxAnswer> pending_;
    platform::Thread thread_{"GUISocketThread"};
};

}  // namespace ruzd::app
