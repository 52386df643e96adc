#include <sys/socket.h>

#include "platform/wsa_error.h"
