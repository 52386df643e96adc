#pragma once

// The simulated boards as the node meets them: the tables load the simulated libraries from
// the build's vendor folder by their vendor names. Each test gets its own control socket,
// journal and (when it writes one) board configuration; they are read when the first table
// loads the core library, and the machine goes when the last table is destroyed.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "boardsim/control/control_client.h"
#include "testing/temp_root.h"

namespace ruzd::boardsim {

class BoardsimTest : public ::testing::Test {
protected:
    BoardsimTest() : control_((dir_.path() / "control").string()) {
        Set("RUZD_VENDOR_DIR", BOARDSIM_VENDOR_DIR);
        Set("BOARDSIM_CONTROL", (dir_.path() / "control").string());
        Set("BOARDSIM_JOURNAL", journal_path().string());
        Unset("BOARDSIM_CONFIG");
    }
    ~BoardsimTest() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }

    // Writes the board configuration that the next load of the core reads.
    void WriteConfig(const std::string& text) {
        const std::filesystem::path path = dir_.path() / "boards.conf";
        std::ofstream(path) << text;
        Set("BOARDSIM_CONFIG", path.string());
    }

    std::string Control(const std::string& command) { return control_.Send(command); }

    std::filesystem::path journal_path() const { return dir_.path() / "journal"; }

    // The journal's lines without their sequence numbers.
    std::vector<std::string> Journal() const {
        std::vector<std::string> lines;
        std::ifstream in(journal_path());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(line.find(' ') + 1));
        return lines;
    }

    static bool CoreLoaded() {
        void* handle =
            dlopen((std::filesystem::path(BOARDSIM_VENDOR_DIR) / "libboardsim_core.so").c_str(),
                   RTLD_NOW | RTLD_NOLOAD);
        if (handle != nullptr)
            dlclose(handle);
        return handle != nullptr;
    }

private:
    void Set(const std::string& name, const std::string& value) {
        Remember(name);
        setenv(name.c_str(), value.c_str(), 1);
    }
    void Unset(const std::string& name) {
        Remember(name);
        unsetenv(name.c_str());
    }
    void Remember(const std::string& name) {
        if (saved_.count(name) != 0)
            return;
        const char* value = getenv(name.c_str());
        saved_[name] = value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }

    ::ruzd::testing::TempDir dir_;
    std::map<std::string, std::optional<std::string>> saved_;
    ControlClient control_;
};

}  // namespace ruzd::boardsim
