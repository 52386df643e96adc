#pragma once

// A test that runs the node's application object in the test process over the simulated
// boards: a platform root and a current folder of its own, with free ports in the registry.

#include <cstdint>

#include "testing/node_ports.h"
#include "testing/simulated_boards.h"
#include "testing/temp_root.h"

namespace ruzd::testing {

class NodeAppTest : public BoardsimTest {
protected:
    TempRoot root_;
    TempWorkFolder folder_;
    const uint32_t command_port_ = WriteCommandPort();
    const uint32_t file_port_ = WriteFilePort();
    const uint32_t gui_port_ = WriteGuiPort();
};

}  // namespace ruzd::testing
