#include "testing/offering_file_socket.h"

#include <utility>

namespace ruzd::testing {
namespace {

class OfferingFileSocket : public net::COrvanthellaFileSocket {
public:
    OfferingFileSocket(std::shared_ptr<net::SocketReactor> reactor,
                       net::COrvanthellaFileSocketThread* thread, bool encrypt, bool compress)
        : COrvanthellaFileSocket(std::move(reactor), thread),
          encrypt_(encrypt),
          compress_(compress) {}

protected:
    void GetDefaultConnectionProperties(bool& encrypt, bool& compress) override {
        encrypt = encrypt_;
        compress = compress_;
    }

private:
    const bool encrypt_;
    const bool compress_;
};

}  // namespace

net::COrvanthellaFileSocketThread::SocketFactory OfferingFileSockets::Factory() {
    return [this](std::shared_ptr<net::SocketReactor> reactor,
                  net::COrvanthellaFileSocketThread* thread) {
        auto socket =
            std::make_shared<OfferingFileSocket>(std::move(reactor), thread, encrypt_, compress_);
        std::lock_guard<std::mutex> guard(lock_);
        made_.push_back(socket);
        return socket;
    };
}

std::shared_ptr<net::COrvanthellaFileSocket> OfferingFileSockets::Newest() const {
    std::lock_guard<std::mutex> guard(lock_);
    return made_.empty() ? nullptr : made_.back().lock();
}

}  // namespace ruzd::testing
