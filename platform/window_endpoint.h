#pragma once

// The machinery under the window messages between processes: where a window listens, how its
// endpoint file is named, and the few fixed-size records that cross the socket.
//
// A window is a Unix stream socket in <root>/run named "window.<class>.<pid>.<serial>", the
// class folded to one case and escaped so that the name holds no '.' of its own. Each request
// is one connection: the requester writes a Request and reads a Reply (and, for a title, the
// title's bytes). Both ends run on the same machine, so the records go in host byte order.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::platform::window_endpoint {

using Deadline = std::chrono::steady_clock::time_point;

Deadline DeadlineAfter(uint32_t timeout_ms);

inline constexpr uint32_t kMagic = 0x4D575A52;  // "RZWM"
inline constexpr size_t kMaxTitleBytes = 4096;
// Longer class names would leave no room for the endpoint file's name in a socket address.
inline constexpr size_t kMaxEncodedClassBytes = 48;

enum class RequestKind : uint32_t { kSend = 1, kPost = 2, kTitle = 3 };

struct Request {
    uint32_t magic = kMagic;
    RequestKind kind = RequestKind::kSend;
    uint32_t message = 0;
    uint32_t reserved = 0;
    uint64_t wparam = 0;
    int64_t lparam = 0;
};

enum class ReplyStatus : int32_t {
    kDone = 0,
    kRefused = 1,  // the window's thread can take no more messages
};

// For a title, `value` is the number of the title's bytes that follow the record.
struct Reply {
    uint32_t magic = kMagic;
    ReplyStatus status = ReplyStatus::kDone;
    int64_t value = 0;
};

// The class name as it appears in endpoint names; nullopt for an empty name or one too long.
std::optional<std::string> EncodeClassName(std::string_view class_name);

std::string EndpointName(std::string_view encoded_class, pid_t pid, uint64_t serial);

struct EndpointParts {
    std::string encoded_class;
    pid_t pid = 0;
    uint64_t serial = 0;
};
// The parts of an endpoint file name; nullopt for any other file.
std::optional<EndpointParts> ParseEndpointName(std::string_view file_name);

// The endpoint names in the run folder, in name order.
std::vector<std::string> ListEndpoints();

// A listening socket on the named endpoint, replacing a file of that name; -1 with errno set.
int Listen(const std::string& name);

// Connects to the named endpoint before the deadline. The socket, or -1 with errno set:
// ECONNREFUSED when nobody listens there any more, ENOENT when there is no such file, ETIMEDOUT.
int Connect(const std::string& name, Deadline deadline);

// Removes the endpoint file when its owner has died; a live owner's file stays.
void RemoveIfOwnerDead(const std::string& name);
void Remove(const std::string& name);

// Whole records over a non-blocking socket before the deadline; false on an error, an early
// end or the deadline (errno ETIMEDOUT then).
bool WriteAll(int fd, const void* data, size_t size, Deadline deadline);
bool ReadAll(int fd, void* data, size_t size, Deadline deadline);

// One request and its reply on a fresh connection; the title's bytes, when asked for, go to
// `title`. False with errno set when the endpoint cannot be reached or does not answer in time.
bool Exchange(const std::string& name, const Request& request, Deadline deadline, Reply& reply,
              std::string* title = nullptr);

}  // namespace ruzd::platform::window_endpoint
