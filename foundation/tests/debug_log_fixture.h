#pragma once

// A debug folder in a fresh platform root, a manual clock at a known time in UTC, and helpers
// that read the debug files back as the node wrote them.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/debug_log.h"
#include "foundation/time_tools.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {

// 2026-12-08 14:07:09.042 UTC.
inline const platform::WallTime kLogStart =
    platform::WallTime(std::chrono::seconds(1796738829) + std::chrono::milliseconds(42));

class DebugLogTest : public ::testing::Test {
protected:
    static constexpr const char* kPrefix = "C:\\Ruzd\\Debug\\Tav";

    DebugLogTest() : use_clock_(clock_) {
        if (const char* tz = getenv("TZ"))
            saved_tz_ = tz;
        setenv("TZ", "UTC0", 1);
        TimeTools::ResetServerTimeShift();
        std::filesystem::create_directories(folder());
    }
    ~DebugLogTest() override {
        StopDebugLog();
        if (saved_tz_) {
            setenv("TZ", saved_tz_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        TimeTools::ResetServerTimeShift();
    }

    std::filesystem::path folder() const {
        return root_.path() / "drives" / "c" / "Ruzd" / "Debug";
    }

    std::string ReadBytes(const std::string& name) const {
        std::ifstream in(folder() / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The file's lines (split at CRLF), as UTF-8.
    std::vector<std::string> ReadLines(const std::string& name) const {
        const std::string bytes = ReadBytes(name);
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(platform::Cp1252ToUtf8(bytes.substr(start, end - start)));
        EXPECT_EQ(start, bytes.size()) << "the file does not end with a line end";
        return lines;
    }

    // The lines that are not part of a banner.
    std::vector<std::string> LogLines(const std::string& name) const {
        std::vector<std::string> out;
        bool in_banner = false;
        for (const std::string& line : ReadLines(name)) {
            if (line == std::string(100, '-')) {
                in_banner = !in_banner;
                continue;
            }
            if (!in_banner)
                out.push_back(line);
        }
        return out;
    }

    int CountBanners(const std::string& name) const {
        int rules = 0;
        for (const std::string& line : ReadLines(name))
            rules += line == std::string(100, '-') ? 1 : 0;
        return rules / 2;
    }

    std::vector<std::string> FileNames() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // The part of a line after the time stamp and thread id: "---------:Lo     1 --- text".
    static std::string AfterThread(const std::string& line) {
        return line.size() > 16 ? line.substr(16) : line;
    }

    static std::string ThreadField() {
        return platform::Format("%03x", platform::CurrentThreadId() & 0xFFF);
    }

    testing::TempRoot root_;
    platform::ManualClock clock_{kLogStart};
    platform::ScopedClockOverride use_clock_;
    std::optional<std::string> saved_tz_;
};

}  // namespace ruzd::foundation
