#pragma once

// The facade over the simulated boards, loaded from the build's vendor folder exactly as the
// node loads the vendors' libraries, with the simulator's control socket and journal in a
// temporary folder. The control socket plays the far end of calls.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "boardsim/control/control_client.h"
#include "telephony/tests/facade_fixture.h"
#include "testing/temp_root.h"

namespace ruzd::telephony {

class FacadeBoardsimTest : public FacadeTest {
protected:
    FacadeBoardsimTest() : control_((dir_.path() / "control").string()) {
        Set("BOARDSIM_CONTROL", (dir_.path() / "control").string());
        Set("BOARDSIM_JOURNAL", (dir_.path() / "journal").string());
        Set("RUZD_VENDOR_DIR", BOARDSIM_VENDOR_DIR);
        Remember("BOARDSIM_CONFIG");
        unsetenv("BOARDSIM_CONFIG");
    }
    ~FacadeBoardsimTest() override {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }

    // The board configuration the next load of the simulator reads.
    void WriteConfig(const std::string& text) {
        const std::filesystem::path path = dir_.path() / "boards.conf";
        std::ofstream(path) << text;
        Set("BOARDSIM_CONFIG", path.string());
    }

    std::string Control(const std::string& command) { return control_.Send(command); }

    // The simulator's journal, one vendor call a line, without the sequence numbers.
    std::vector<std::string> Journal() const {
        std::vector<std::string> lines;
        std::ifstream in(dir_.path() / "journal");
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(line.find(' ') + 1));
        return lines;
    }

private:
    void Set(const std::string& name, const std::string& value) {
        Remember(name);
        setenv(name.c_str(), value.c_str(), 1);
    }
    void Remember(const std::string& name) {
        for (const auto& saved : saved_) {
            if (saved.first == name)
                return;
        }
        const char* value = getenv(name.c_str());
        saved_.emplace_back(name,
                            value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }

    ::ruzd::testing::TempDir dir_;
    boardsim::ControlClient control_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace ruzd::telephony
