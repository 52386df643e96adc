#include <string>

#include "foundation/registry.h"
#include "platform/win_path.h"
