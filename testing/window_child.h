#pragma once

// The body of the helper programs that play another process's window (a watchdog's, say).
//
// The program creates a window of the class with the title and writes "ready". From then on it
// writes one line for every message its window takes: "sent 0x160F 0 0" or "posted 0x10 1 -2"
// (id in hexadecimal, then wParam and lParam). A sent message is answered with the reply value
// given; with "none" it is left unanswered (which answers 0). In "hang" mode the program takes
// no message at all, like a hung window.
//
// Lines on stdin: "title TEXT" sets the title and is acknowledged with "titled". The end of
// stdin ends the program.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "platform/event.h"
#include "platform/message_queue.h"
#include "platform/message_window.h"
#include "platform/thread.h"

namespace ruzd::testing {

inline int RunWindowChild(const std::string& class_name, const std::string& title,
                          const std::string& reply, bool hang) {
    static std::mutex output_lock;
    const auto say = [](const std::string& line) {
        std::lock_guard lock(output_lock);
        std::fputs((line + "\n").c_str(), stdout);
        std::fflush(stdout);
    };

    platform::MessageWindow window;
    if (!window.Create(class_name, title)) {
        say("failed");
        return 2;
    }
    const uint32_t main_thread = platform::CurrentThreadId();
    platform::Event input_ended(true);
    std::thread input([&] {
        std::string line;
        char c;
        while (::read(STDIN_FILENO, &c, 1) == 1) {
            if (c != '\n') {
                line += c;
                continue;
            }
            if (line.rfind("title ", 0) == 0) {
                window.SetTitle(line.substr(6));
                say("titled");
            }
            line.clear();
        }
        input_ended.Set();
        platform::PostThreadMessage(main_thread, platform::kWmQuit);
    });
    say("ready");

    if (hang) {
        input_ended.Wait(platform::kInfinite);
    } else {
        platform::Message message;
        while (platform::GetMessage(message)) {
            char line[128];
            std::snprintf(line, sizeof line, "%s 0x%X %llu %lld",
                          platform::IsSentMessage(message) ? "sent" : "posted", message.id,
                          static_cast<unsigned long long>(message.wparam),
                          static_cast<long long>(message.lparam));
            say(line);
            if (reply != "none") {
                platform::ReplyMessage(message, std::strtoll(reply.c_str(), nullptr, 10));
            }
            // Letting go of a message answers it, when nothing else did.
            message = platform::Message{};
        }
    }
    input.join();
    window.Destroy();
    return 0;
}

}  // namespace ruzd::testing
