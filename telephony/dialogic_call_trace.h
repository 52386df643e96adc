#pragma once

// Detailed traces of single Dialogic calls, written only at trace level 4 or more: the call
// with its arguments, its result and, when it failed, the device's or the library's last
// error. Nothing in the node calls them today; they are kept for finding a vendor fault.

#include <cstdint>
#include <string>

namespace ruzd::telephony {

class CHardware;

// A scope around one vendor call on a line device. The constructor logs the call with its
// arguments; the destructor logs the result that `result` then points at and, for a failure
// (negative, or any non-zero result when `force_error` is set), the last error and its text of
// the device that the node manager holds for (ldev, device_type). The record belongs to the
// thread that made it.
class CDialogicCallTrace {
public:
    CDialogicCallTrace(const char* name, int32_t ldev, int32_t device_type, const int32_t* result,
                       bool force_error, const char* format, ...)
        __attribute__((format(printf, 7, 8)));
    ~CDialogicCallTrace();
    CDialogicCallTrace(const CDialogicCallTrace&) = delete;
    CDialogicCallTrace& operator=(const CDialogicCallTrace&) = delete;

    // The text written after the result, in place of the arguments.
    void SetResultText(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    std::string name_;
    int32_t ldev_;
    int32_t device_type_;
    const int32_t* result_;
    bool force_error_;
    std::string text_;  // at most 511 characters
};

// "*** DIALOGIC: tid=0x%03x %s()" for a Global Call function about to be called.
void TraceDialogicCall(const char* name);
// Its result and, when not 0, Global Call's last error and its text, asked of `hardware`.
void TraceDialogicResult(CHardware& hardware, const char* name, int32_t result);

}  // namespace ruzd::telephony
