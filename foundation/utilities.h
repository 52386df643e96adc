#pragma once

// The static helpers the rest of the code calls by one name: the program runner and its
// wrappers, thread names, the message-pumping waits, the account of a process, the launching of
// programs and files for the user, files and folders, small system queries, the clipboard, a byte
// run-length coder and the zip of one buffer. Each operation lives in a small file of its own;
// this class only gathers them.
//
// Paths are Windows paths (UTF-8), mapped to the file system only where a file is touched.

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/display_provider.h"
#include "foundation/program_on_thread.h"
#include "foundation/program_runner.h"
#include "foundation/pumping_wait.h"
#include "platform/waitable.h"

namespace ruzd::foundation {

class CUtilities {
public:
    CUtilities() = delete;

    // See ProgramRunner::Run: the exit code (0 to 255) or a RunFailure.
    static int RunProgramAndCaptureOutput(const std::string& command_line,
                                          const std::string& working_folder, std::string& output,
                                          uint32_t timeout_ms);
    // Runs this program's own executable with `arguments` in the current folder.
    static int RunSelfAndCaptureOutput(const std::string& arguments, std::string& output,
                                       uint32_t timeout_ms);
    // See foundation/program_on_thread.h.
    static uint32_t RunProgramOnThread(const std::string& command_line,
                                       const std::string& working_folder, uint32_t notify_thread,
                                       uint32_t message, uintptr_t wparam);

    // printf-style; an empty text removes the thread's name, as RemoveThreadName does (which
    // spares callers an empty format string).
    static void SetThreadName(uint32_t thread_id, const char* format, ...)
        __attribute__((format(printf, 2, 3)));
    static void RemoveThreadName(uint32_t thread_id);
    static std::string GetThreadDisplayName(uint32_t thread_id);
    static void ClearThreadNames();

    static bool WaitForSingleObjectPumping(platform::Waitable& object, uint32_t seconds);
    // The wait of a modal loop that shows nothing: the same wait as WaitForSingleObjectPumping
    // (a limit of kWaitNoLimitSeconds is none).
    static bool WaitForSingleObjectUsingDialog(platform::Waitable& object, uint32_t seconds);

    static bool GetProcessUserName(uint32_t process_id, std::string& user, std::string& domain);

    // Files and folders (foundation/utilities_files.cpp).

    // Copies the source into a target created (or emptied) for it; both paths must be given and
    // must not name the same file.
    static bool CopyFileStream(const std::string& source, const std::string& target);
    // Removes everything in the folder and then the folder itself: whether the folder is gone.
    static bool DeleteFolder(const std::string& folder);
    // Makes every missing level of the folder: whether the folder is there now.
    static bool CreateFolderTree(const std::string& folder);
    // A folder that did not exist: `folder` itself, made with its tree, or, when that exists,
    // `folder` followed by `suffix_format` printed with the first number from 1 to 99 whose
    // folder could be made. Empty on failure, and for a suffix format without exactly one
    // integer conversion ("(%d)", "_%03u").
    static std::string CreateUniqueFolder(const std::string& folder,
                                          const std::string& suffix_format);
    // Copies everything in the source folder into the target folder, made when missing, files
    // there overwritten; symbolic links are copied as links.
    static bool CopyFolder(const std::string& source, const std::string& target);
    // An existing "a.txt" becomes the first free "a (N).txt" after the run of taken numbers
    // that starts at 1 (found by doubling, then halving); a free path stays as it is.
    static void MakeUniqueFileName(std::string& path);
    static bool FileExists(const std::string& path);
    static bool IsFolder(const std::string& path);

    // The system (foundation/utilities_system.cpp).

    // A new UUID in lower case without braces; empty when none can be made.
    static std::string NewUuidString();
    // A Linux host belongs to no Windows domain and has no policy domain: `name` is emptied,
    // `is_workgroup_of_own_name` left as it is, and the result is 0 (success).
    static uint32_t GetPrimaryDomain(std::string& name, bool* is_workgroup_of_own_name);
    // The process that listens on the local IPv4 TCP port given in network byte order in the
    // low 16 bits, as the system's TCP table holds it; 0 when none.
    static uint32_t GetListenerProcessId(uint32_t port_in_network_order);
    // The host path of the process's executable; empty for process 0 or when it cannot be read.
    static std::string GetProcessImagePath(uint32_t process_id);

    // Monitors and the clipboard, through the installed display provider
    // (foundation/display_provider.h).

    // The count of monitors, or -1 when they cannot be listed (no provider).
    static int32_t EnumMonitors(std::vector<MonitorHandle>& monitors);
    static bool GetMonitorRects(MonitorHandle monitor, DisplayRect* work, DisplayRect* area);
    // The rectangles of the last listed monitor whose work area holds the point; false, and
    // the rectangles untouched, when there is none.
    static bool GetMonitorRectsAtPoint(DisplayPoint point, DisplayRect* work, DisplayRect* area);
    static void SetClipboardText(const std::string& text);
    static std::string GetClipboardText();

    // Buffers (foundation/utilities_buffers.cpp). Each replaces `*buffer` and `*length` by its
    // result; the old buffer is freed when `free_old` is set. The run-length coder's buffers
    // are arrays of new[]; the zip's are malloc blocks with `use_malloc`, else arrays of new[].

    // Runs of 2 to 255 equal bytes become the byte twice and the count; longer runs are cut.
    static void RunLengthEncode(uint8_t** buffer, uint32_t* length, bool free_old);
    // Any two equal bytes in a row are a pair followed by its count (a count below 2 adds no
    // copies); a pair without its count ends the data.
    static void RunLengthDecode(uint8_t** buffer, uint32_t* length, bool free_old);
    // The most a zipped buffer holds: ZipBuffer takes no more, and UnzipBuffer gives no more
    // back, whatever an archive claims or inflates to (a few hundred kilobytes can inflate to
    // gigabytes).
    static constexpr uint32_t kMaxUnzippedBuffer = 256u * 1024 * 1024;

    // The buffer (at most kMaxUnzippedBuffer bytes) becomes a zip archive holding it as the one
    // entry "data".
    static bool ZipBuffer(uint8_t** buffer, uint32_t* length, bool free_old, bool use_malloc);
    // The archive becomes the data of its first entry, checked against its size and CRC-32;
    // false for data beyond kMaxUnzippedBuffer. Memory is taken as the data arrives, never for
    // the size the archive claims.
    static bool UnzipBuffer(uint8_t** buffer, uint32_t* length, bool free_old, bool use_malloc);

    // Launching programs and files for the user.

    // See foundation/edit_file.h; the first form is not limited to the "edit" command.
    static uint32_t EditFile(const std::string& path, uint32_t notify_thread, uint32_t message,
                             uintptr_t wparam);
    static uint32_t EditFile(const std::string& path, bool edit_verb_only, uint32_t notify_thread,
                             uint32_t message, uintptr_t wparam);
    static bool EndStartedProgram(uint32_t worker_thread, bool force, uint32_t limit_ms);
    // See foundation/program_launch.h.
    static bool LaunchWithTemplate(const std::string& command_template,
                                   const std::string& argument);
    static bool ShowInExplorer(const std::string& path);
    static bool RunDetachedInJob(const std::string& command_line,
                                 const std::string& working_folder);
    // See foundation/process_windows.h.
    static bool CloseProcessWindows(uint32_t process_id, bool force, uint32_t limit_ms);
    // Whether the thread (a kernel thread id, of any process) exists and has not ended.
    static bool IsThreadRunning(uint32_t thread_id);
};

}  // namespace ruzd::foundation
