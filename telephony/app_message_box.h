#pragma once

// A message box of the application, with the text alone, for the hardware layer's reports.

#include <string>

namespace ruzd::telephony {

void ShowAppMessageBox(const std::string& text);

}  // namespace ruzd::telephony
