// Helper program for the GUI link tests: a window of another process (and, run under setpriv, of
// another user) that tries everything a window may do.
//   gui_window_child PORT [PATH]
// connects to the link on 127.0.0.1:PORT and writes "connected"; then asks for everything, sends
// debug settings of its own (logging off, trace level 0, "C:\Elsewhere\", 1 file to keep, file
// type 5) and, with PATH, asks for that file. From then on it writes one line for each message
// the node sends: "message ID", for a file answer "file SUCCESS TEXT"; it answers a message box
// with 77 ("answered REQUEST"). It ends after a file answer or a box, and when the node closes
// the connection ("closed") or nothing came for a minute ("silent"); "failed" when it cannot
// connect.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/gui_link/gui_link_protocol.h"
#include "net/input_stream_socket.h"
#include "testing/gui_peer.h"

namespace {

using ruzd::testing::GuiFrame;
using ruzd::testing::GuiPeer;

void Say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace ruzd::app;
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s PORT [PATH]\n", argv[0]);
        return 2;
    }
    GuiPeer window = GuiPeer::Connect(static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)));
    if (!window.valid()) {
        Say("failed");
        return 1;
    }
    Say("connected");
    window.SendMessage(kGuiRequestEverything);
    window.SendMessage(kGuiSetDebugSettings, [](ruzd::net::COutputStreamSocket& writer) {
        writer.WriteInt(0).WriteInt(0).WriteString("C:\\Elsewhere\\").WriteInt(1).WriteInt(5);
    });
    if (argc == 3) {
        const std::string path = argv[2];
        window.SendMessage(kGuiFileRequest, [&path](ruzd::net::COutputStreamSocket& writer) {
            writer.WriteInt(1).WriteString(path);
        });
    }
    for (;;) {
        const std::optional<GuiFrame> frame = window.Next();
        if (!frame) {
            Say(window.connection().ClosedWithin(std::chrono::milliseconds(100)) ? "closed"
                                                                                 : "silent");
            return 0;
        }
        const ruzd::testing::Payload payload = frame->payload();
        ruzd::net::CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
        int32_t id = 0;
        reader.ReadInt(id);
        switch (id) {
            case kGuiFileAnswer: {
                int32_t request = 0;
                int32_t success = 0;
                std::string text;
                reader.ReadInt(request).ReadInt(success).ReadString(text);
                Say("file " + std::to_string(success) + " " + text);
                return 0;
            }
            case kGuiShowMessageBox: {
                int32_t request = 0;
                reader.ReadInt(request);
                window.SendMessage(kGuiAnswer, [request](ruzd::net::COutputStreamSocket& writer) {
                    writer.WriteInt(request).WriteInt(77).WriteString("").WriteInt(1);
                });
                Say("answered " + std::to_string(request));
                return 0;
            }
            default:
                Say("message " + std::to_string(id));
                break;
        }
    }
}
