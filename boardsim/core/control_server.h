#pragma once

// A Unix stream socket that takes one command a line and answers each with one line. It runs
// on a thread of its own from construction to destruction.

#include <functional>
#include <string>
#include <thread>

namespace ruzd::boardsim {

class ControlServer {
public:
    using Handler = std::function<std::string(const std::string& line)>;

    // Listens at path (an old socket file there is replaced). ok() tells whether it could.
    ControlServer(std::string path, Handler handler);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    bool ok() const { return listen_fd_ >= 0; }

private:
    void Run();

    std::string path_;
    Handler handler_;
    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

}  // namespace ruzd::boardsim
