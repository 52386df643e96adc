#include "telephony/app_message_box.h"

#include "foundation/app_hooks.h"
#include "platform/message_box.h"

namespace ruzd::telephony {

void ShowAppMessageBox(const std::string& text) {
    platform::ShowMessageBox(text, foundation::CurrentApp().ApplicationName(), platform::kMbOk);
}

}  // namespace ruzd::telephony
