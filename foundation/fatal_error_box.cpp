#include "foundation/fatal_error_box.h"

#include "foundation/app_hooks.h"
#include "platform/message_box.h"
#include "platform/text.h"

namespace ruzd::foundation {

void FatalErrorBox(int code) {
    AppHooks& app = CurrentApp();
    platform::ShowMessageBox(platform::Format("Error %i", code), app.ApplicationName(),
                             platform::kMbOk);
    app.RequestMainWindowClose();
}

}  // namespace ruzd::foundation
