#include <dlfcn.h>

#include "foundation/registry.h"
