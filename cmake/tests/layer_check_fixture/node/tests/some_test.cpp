#include <csignal>

#include "boardsim/control/control_client.h"
#include "testing/temp_root.h"
