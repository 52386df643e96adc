#pragma once

// A connection to the simulated boards' control socket, for tests that act as the outside
// world: one command line out, one answer line back.

#include <string>

namespace ruzd::boardsim {

class ControlClient {
public:
    explicit ControlClient(std::string path);
    ~ControlClient();
    ControlClient(const ControlClient&) = delete;
    ControlClient& operator=(const ControlClient&) = delete;

    // Connects (again); false when nothing listens at the path, with the reason in error().
    bool Connect();
    const std::string& error() const { return error_; }
    // Sends one command and returns its answer without the line end; connects first when
    // needed. An empty text when the socket failed.
    std::string Send(const std::string& command);

private:
    bool Exchange(const std::string& command, std::string* answer);
    void Disconnect();

    std::string path_;
    int fd_ = -1;
    std::string pending_;  // bytes read past the last answer
    std::string error_;    // why the last Connect failed
};

}  // namespace ruzd::boardsim
