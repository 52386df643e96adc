#include "platform/uuid_text.h"

#include <uuid/uuid.h>

namespace ruzd::platform {

std::string NewUuidText() {
    uuid_t uuid;
    uuid_generate(uuid);
    char text[37];
    uuid_unparse_lower(uuid, text);
    return text;
}

}  // namespace ruzd::platform
