#pragma once

// The local GUI link between a node that runs without a window (service or headless) and a
// window attached to it: one TCP connection per window carrying messages of the binary message
// stream, each a frame whose first value is the message id. The node listens, the window
// connects; these are the ids, the limits and the registry values both sides share.

#include <cstdint>
#include <optional>
#include <string>

namespace ruzd::app {

// From the window to the node.
enum GuiRequestMessage : int32_t {
    kGuiRequestEverything = 0,  // none
    kGuiSetDebugSettings = 1,   // enabled, trace level, directory, files to keep, file type
    kGuiFileRequest = 2,        // request id, path
    kGuiAnswer = 3,             // request id, value, text, flag
};

// From the node to the windows.
enum GuiNodeMessage : int32_t {
    kGuiPortStatus = 0,       // device type, line device, text, value
    kGuiConnectionState = 1,  // connected, starting
    kGuiStatusText = 2,       // text
    kGuiDebugSettings = 3,    // as kGuiSetDebugSettings
    kGuiNodeAnswer = 4,       // request id, value, text, flag (the node never sends it)
    kGuiFileAnswer = 5,       // request id, success, text, length, then the contents
    kGuiShowMessageBox = 6,   // request id, raised on the application thread, text, type, help id
    kGuiVersion = 7,          // the protocol version
};

inline constexpr int32_t kGuiLinkVersion = 1;
// The largest file the node hands a window, and the byte strings its contents travel in.
inline constexpr uint32_t kGuiMaxFileBytes = 15728640;
inline constexpr uint32_t kGuiFileChunkBytes = 3072;

inline constexpr const char* kGuiPortValue = "Local GUI TCP port";
inline constexpr uint32_t kDefaultGuiPort = 9072;
// The file port, which an old setting may name by mistake: it counts as no setting.
inline constexpr uint32_t kGuiPortMistakenForFilePort = 9071;
inline constexpr const char* kGuiBindAddressValue = "Local GUI Bind Address";
// The link has no authentication and hands out files: it serves this machine only unless the
// registry says otherwise.
inline constexpr const char* kDefaultGuiBindAddress = "127.0.0.1";
inline constexpr const char* kRemoteAddressValue = "Remote Vesmarin Address";
inline constexpr const char* kDefaultRemoteAddress = "127.0.0.1";

// The link's port from the node's registry section: a missing value or 9071 gives 9072, written
// back, with the log lines both sides share. None for a value that is no TCP port, which is
// logged: the link then takes no port at all rather than another node's.
std::optional<uint32_t> ReadGuiLinkPort();
// Why the registry's port is no TCP port (1 to 65535), as one line naming the value; none when
// it is one, or missing. Reads only: a node that goes on to be refused writes nothing.
std::optional<std::string> GuiLinkPortProblem();
// The address the node listens on for windows: "Local GUI Bind Address" when it is a dotted IPv4
// address ("0.0.0.0": every interface), else 127.0.0.1; never written back.
std::string ReadGuiBindAddress();
// The node's address as a window reaches it: "Remote Vesmarin Address", written back as
// 127.0.0.1 when missing.
std::string ReadRemoteVesmarinAddress();

}  // namespace ruzd::app
