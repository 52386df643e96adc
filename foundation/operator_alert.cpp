#include "foundation/operator_alert.h"

#include <string>
#include <vector>

#include "platform/error_output.h"
#include "platform/event_log.h"
#include "platform/syslog_sender.h"

namespace ruzd::foundation {

void AlertOperator(std::string_view text) {
    platform::WriteErrorLine(text);
    // A store that cannot be used is named by Open; the report still goes to syslog.
    platform::EventLogWriter writer;
    writer.Open(platform::ProgramSyslogIdent());
    writer.Report(platform::kEventTypeError, 0, kAlertEventId, {std::string(text)});
}

}  // namespace ruzd::foundation
