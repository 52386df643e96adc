#pragma once

// The connection class lives in the socket core now. This forward stays only until
// node/vesmarin_manager.h includes "net/socket_core/client_socket.h" itself.

#include "net/socket_core/client_socket.h"
