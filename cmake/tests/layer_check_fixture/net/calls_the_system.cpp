// Wrong: only the socket core talks to the operating system.
#include <unistd.h>

#include "net/socket_core/async_socket.h"
