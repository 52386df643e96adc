#pragma once

// A fresh platform root whose vendor folder the test fills with stub libraries, and the log
// lines the binding wrote meanwhile (with an action of the test's on each as it is written).

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/loaded_modules.h"
#include "platform/root.h"
#include "telephony/vendor_log.h"
#include "testing/scoped_environment.h"
#include "testing/temp_root.h"

namespace ruzd::telephony {

struct LoggedLine {
    int kind;
    int32_t device;
    std::string text;
};

class VendorStubTest : public ::testing::Test {
protected:
    VendorStubTest() {
        environment_.Set("RUZD_VENDOR_DIR", (root_.path() / "vendor").string());
        std::filesystem::create_directories(platform::VendorDir());
        SetVendorLogObserver([this](int kind, int32_t device, const std::string& text) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back({kind, device, text});
            if (on_line_)
                on_line_(text);
        });
    }
    ~VendorStubTest() override { SetVendorLogObserver(nullptr); }

    // Puts the stub library <stub>.so into the vendor folder as <library>.so.
    static void Install(const std::string& stub, const std::string& library) {
        std::filesystem::copy_file(std::filesystem::path(RUZD_VENDOR_STUB_DIR) / (stub + ".so"),
                                   platform::VendorDir() / (library + ".so"),
                                   std::filesystem::copy_options::overwrite_existing);
    }

    // Whether the vendor folder's <library>.so is loaded in the process (the probe loads
    // nothing and keeps no reference).
    static bool LoadedInProcess(const std::string& library) {
        return platform::IsModuleLoaded(platform::VendorDir() / (library + ".so"));
    }

    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> texts;
        for (const LoggedLine& line : lines_)
            texts.push_back(line.text);
        return texts;
    }

    std::vector<LoggedLine> Lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

    // Called with each line as it is written, on the writer's thread: what the world does in
    // answer to what the binding says.
    void OnLine(std::function<void(const std::string&)> action) {
        std::lock_guard<std::mutex> lock(mutex_);
        on_line_ = std::move(action);
    }

private:
    ::ruzd::testing::TempRoot root_;
    ::ruzd::testing::ScopedEnvironment environment_;
    std::mutex mutex_;
    std::vector<LoggedLine> lines_;
    std::function<void(const std::string&)> on_line_;
};

}  // namespace ruzd::telephony
