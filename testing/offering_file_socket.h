#pragma once

// The node's file-transfer listener with connections that offer the central server the settings
// a test or benchmark chooses: the node's own offer compression only as its registry says, and
// encryption never, yet the receiving side must be measured and checked under both.

#include <memory>
#include <mutex>
#include <vector>

#include "net/orvanthella_file_socket_thread.h"

namespace ruzd::testing {

// Makes sockets that offer encryption and compression as asked; keeps each connection it made
// (the listener's socket comes first) for the test to look at.
class OfferingFileSockets {
public:
    OfferingFileSockets(bool encrypt, bool compress) : encrypt_(encrypt), compress_(compress) {}

    // The factory for the listener; the object must outlive it.
    net::COrvanthellaFileSocketThread::SocketFactory Factory();
    // The socket made last: the newest connection once a peer connected.
    std::shared_ptr<net::COrvanthellaFileSocket> Newest() const;

private:
    const bool encrypt_;
    const bool compress_;
    mutable std::mutex lock_;
    std::vector<std::weak_ptr<net::COrvanthellaFileSocket>> made_;
};

}  // namespace ruzd::testing
