// Wrong: the foundation sits below the net layer.
#include "net/socket_core/client_socket.h"
#include "platform/text.h"
