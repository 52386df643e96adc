#pragma once

// CVesmarinManager: the heart of the node. It holds the single-instance lock, listens for the
// central server's command connection, decides which connection is the active one and whether a
// command runs at all, and runs each accepted command through its handler. It is only ever held
// by shared pointers: the application object's (or the view's) and, later, one per running
// worker thread. While it runs it publishes its file cache to the file-transfer listener and its
// device and Aculab handle tables to the hardware layer.
//
// Commands arrive on the command listener's thread, one after another. The connection lock
// guards only the connection state and the start-up delay; handlers take the locks of what they
// touch.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "foundation/debug_channel.h"
#include "foundation/debug_function.h"
#include "net/client_stream_socket.h"
#include "net/file_cache_owner.h"
#include "net/orvanthella_file_socket_thread.h"
#include "net/server_stream_socket_thread.h"
#include "net/socket_core/client_socket.h"
#include "net/stream_socket_callback.h"
#include "node/aculab_handle_tables.h"
#include "node/amtelco_tables.h"
#include "node/call_reference_tables.h"
#include "node/central_messages.h"
#include "node/command_arguments.h"
#include "node/conference_calls.h"
#include "node/conference_tables.h"
#include "node/device_handle_tables.h"
#include "node/digit_buffers.h"
#include "node/event_wait_wake.h"
#include "node/file_cache_record.h"
#include "node/file_map.h"
#include "node/isdn_event_names.h"
#include "node/locked_table.h"
#include "node/manager_settings.h"
#include "node/manager_worker_texts.h"
#include "node/move_file_queue.h"
#include "node/refusal_replies.h"
#include "node/tormbel_notifier.h"
#include "node/transfer_buffers.h"
#include "node/vesmarin_manager_callback.h"
#include "node/virtual_file_tables.h"
#include "node/work_queue.h"
#include "node/worker_records.h"
#include "node/worker_thread.h"
#include "platform/named_mutex.h"
#include "telephony/aculab_ip_channel.h"
#include "telephony/hardware_isdn.h"
#include "telephony/vendorapi/globalcall.h"
#include "telephony/vendorapi/isdn.h"
#include "telephony/vendorapi/voice.h"

namespace ruzd::node {

// The registry section of the node and its port values.
inline constexpr const char* kNodeRegistrySection = "Pelwix";
inline constexpr const char* kLocalTcpPortValue = "Local TCP port";
inline constexpr const char* kLocalFileSocketTcpPortValue = "Local File Socket TCP port";
inline constexpr uint32_t kDefaultCommandPort = 9070;
inline constexpr uint32_t kDefaultFileSocketPort = 9071;
inline constexpr const char* kInstanceMutexName = "Global\\Vesmarin";
// The moves to the central server not yet done, kept across restarts.
inline constexpr std::string_view kMoveFileQueuePath = ".\\MoveFileQueue.txt";
inline constexpr const char* kAnotherInstanceMessage =
    "Another instance of the Pelwix is already running!";

class CVesmarinManager : public net::CStreamSocketCallback,
                         public net::FileCacheOwner,
                         public std::enable_shared_from_this<CVesmarinManager> {
public:
    // Builds the members only; no I/O.
    explicit CVesmarinManager(const ManagerSettings& settings);
    virtual ~CVesmarinManager();
    CVesmarinManager(const CVesmarinManager&) = delete;
    CVesmarinManager& operator=(const CVesmarinManager&) = delete;

    // Takes the single-instance lock, reads the ports (writing missing ones back), fills the
    // command table and starts listening. Throws CExceptionCM on a start-up error; the manager
    // is then half built and its creator drops it.
    void Initialise(CVesmarinManagerCallback* callback);

    // The user closes the window: stop at once unless the central server has channels open, in
    // which case it is asked to end its work first.
    void StopRequest();

    // --- Command listener ---
    void OnSocketReceiveInfo(net::CClientStreamSocket* command) override;
    void OnSocketClose(const std::string& address, unsigned port, int error,
                       uint64_t connection) override;

    // With a command: whether it came on the active connection. Without: whether a connection
    // is active.
    bool IsConnectedSocket(net::CClientStreamSocket* command);
    // Whether a command on the command's connection is the central server's: one on the active
    // connection or, while none is active, one on a connection whose CNINIT the node took (as
    // after its CNSTGR). Only those keep the heartbeat going and may mute the node; a CNINIT
    // that is refused gives its sender neither.
    bool IsCentralCommand(net::CClientStreamSocket* command);

    // The ports read at start-up.
    uint32_t CommandPort() const { return command_port_; }
    uint32_t FileSocketPort() const { return file_socket_port_; }
    // Seconds still to wait, 0 once commands are accepted.
    uint32_t StartupDelaySeconds() const;
    int32_t OpenChannelCount() const { return open_channels_.load(); }
    bool HasCommandHandler(int32_t code) const { return commands_.count(code) != 0; }

    // The hardware facade; null before Initialise created it.
    telephony::CHardwareISDN* Hardware() const { return hardware_.get(); }

    // The listener every message that is not a reply goes through; null before Initialise.
    net::CServerStreamSocketThread* Listener() const { return listener_.get(); }
    // The file-transfer listener; null before Initialise.
    net::COrvanthellaFileSocketThread* FileListener() const { return file_listener_.get(); }

    // The opened line devices and the per-Aculab-handle stores, which the manager also
    // publishes to the hardware layer while it runs.
    DeviceHandleTables& Devices() { return devices_; }
    AculabHandleTables& AculabTables() { return aculab_; }

    // --- net::FileCacheOwner ---
    // Deletes the cached copy of the central path `name` and starts its record afresh, so that
    // the next open fetches it again; names whose copy would lie outside the cache are refused.
    void RemoveFileFromCache(const std::string& name) override;
    void OnOrvanthellaFileSocketClose() override;

    // --- File cache ---
    // The local copy of a central file. Not `written`: the caller is about to read it; on
    // success `path` becomes the copy's path, fetched from the central server first when it is
    // missing or differs from the expected size and CRC (-1 in both: whatever copy is there).
    // `written`: the caller wrote the copy, which is queued for the move to the central server
    // when it changed. `channelId` goes on to the move.
    bool FileCache(int32_t channelId, std::string& path, bool written, int32_t expectedSize,
                   int32_t expectedCrc);
    // A recording of the cache that FileCache refused (its checksum could not be read, or its
    // record is gone) is queued for the move all the same, without a record: kept only in the
    // cache, the night's clean-up would delete it. False when there is no such copy.
    bool QueueRecordingWithoutRecord(int32_t channelId, const std::string& centralPath);
    // The nightly clean-up: deletes every file below `folder` whose central path the table does
    // not know, unless it waits to be moved.
    void RecursiveRemoveFileNotInMapFile2CRCFromDir(const std::string& folder);
    // Drops the checksum records of every file not among `openFileNames` (upper-cased).
    void PruneFileCacheTable(const std::set<std::string>& openFileNames);
    // Makes every folder of `path` up to its last backslash; false when that failed.
    static bool CreatePathDirectories(const std::string& path);
    // The cache's table by upper-cased central path; its lock is the cache lock.
    LockedTable<std::string, CFileDateSizeCRC>& FileCacheTable() { return file_cache_; }

    // --- Move-to-central queue ---
    void QueueMoveFile(int32_t channelId, const std::string& source, const std::string& target,
                       int32_t retries);
    // Every five seconds on the application thread: tries the due moves while an authorised
    // file-transfer connection exists.
    void ProcessMoveFileQueue();
    MoveFileQueue& MoveQueue() { return move_queue_; }

    // --- Device and resource tables ---
    // The log channel of a device type's lines: 1 voice, 3 network, 5 station, 7/18 IP, else 0.
    static int PortTypeToLogChannel(int32_t type);

    // The voice channels' digit buffers: zeroed on creation, at a stable address until the
    // shut-down of the session frees them all.
    DigitBuffers& Digits() { return digit_buffers_; }

    // The transfer buffers of the voice channels' plays, records and tones.
    TransferBuffers& Transfers() { return transfer_buffers_; }

    // The event code of the asynchronous voice function last started on a channel, by line
    // device number.
    LockedTable<int32_t, int32_t>& LastVoiceFunctions() { return last_voice_functions_; }

    // The current call reference of line devices 0 to 500; type 3 (network lines) and every
    // other type are kept apart.
    CallReferenceTables& CallRefs() { return call_refs_; }

    // The Amtelco boards with their cables, and per cable its board and time-slot base.
    AmtelcoTables& Amtelco() { return amtelco_; }

    // The MSI and DCB conferences with their parties' listen time slots.
    ConferenceTables& Conferences() { return conferences_; }

    // The voice and record files open under the central server's virtual handles.
    VirtualFileTables& VirtualFiles() { return virtual_files_; }

    // Forgets, each under its own lock and closing nothing, the file map, the device tables,
    // the Amtelco boards and the virtual file handles: a new session starts from nothing.
    void ForgetDeviceTables();

    // The file map, loaded from "FILEMAP.TXT" in the working folder.
    void LoadFileMap();
    // The file's contents, read without any lock of the manager: a slow disk holds up no
    // other connection.
    static FileMap::Contents ReadFileMap();
    bool FileMapping(std::string& path);
    void ReverseFileMapping(std::string& path);
    // Central prefix -> local prefix, as loaded.
    std::map<std::string, std::string> FileMapEntries() const { return file_map_.Entries(); }

    // The event-name table of the event forwarding.
    void PopulateISDNEvents();
    const std::string& GetISDNEvents(int32_t code);

    // The wall clock jumped by `seconds`: every stored moment that is set moves with it.
    void OnTimeShiftDetected(int32_t seconds);
    // The stored moments, in seconds; 0 when not set.
    struct StoredMoments {
        int64_t lastCommand = 0;
        int64_t listenerEpoch = 0;
        int64_t start = 0;
    };
    StoredMoments GetStoredMoments() const;

    // --- Worker threads ---
    // The five workers, in the order they are started and stopped.
    enum class Worker { kISDN, kAmtelco, kAculab, kRelayDigit, kFileHandling };
    // Starts each worker whose run flag is clear and whose vendor path is there: ISDN events,
    // Amtelco (with its library), Aculab events and relay digits (with the Aculab path) and file
    // handling. What CNSTRT does.
    void StartAllThreads();
    // Stops every running worker, reports the link down, drops the active connection and puts a
    // start-up delay of 0 back to 4 seconds; the next command must open a connection again.
    void StopAllThreads();
    // Each stop clears the worker's run flag and waits up to 10 s for its thread to end.
    void EndISDNThread();
    void EndAmtelcoThread();
    void EndAculabThread();
    void EndRelayDigitThread();
    void EndFileHandlingThread();
    // Starts a fresh file-handling worker on the same queue after the last one failed.
    void RestartFileHandlingThread();
    bool IsWorkerRunning(Worker worker) const;
    bool IsFileHandlingThreadRunning() const { return IsWorkerRunning(Worker::kFileHandling); }
    bool IsRelayDigitThreadRunning() const { return IsWorkerRunning(Worker::kRelayDigit); }
    // The id of the worker's kept thread, 0 when none is kept.
    uint32_t WorkerThreadId(Worker worker) const;
    // The producers: each appends its record and wakes the worker.
    void QueueFileHandlingParam(CFileHandlingParam record);
    void QueueRelayDigitsParam(CRelayDigitsParam record);
    // The replay requests waiting for the relay-digit worker.
    WorkQueue<CRelayDigitsParam>& RelayDigitQueue() { return relay_digit_queue_; }
    void QueueAmtelcoParam(int32_t board, const std::string& text);
    // What the file-handling worker does with each record; tests put a work of their own here.
    using FileHandlingWork = std::function<void(const CFileHandlingParam& record)>;
    void SetFileHandlingWork(FileHandlingWork work);

    // --- Dialogic event forwarding ---
    // Forwards the current Dialogic event of the calling thread (the ISDN worker's) to the central
    // server and keeps the call references, restart marks and digit buffers up to date.
    // `eventHandle` is only handed on to the event-data query.
    void DialogicHandler(int32_t eventHandle);

    // --- Session start and end, channel shut-down ---
    // Stops every worker and closes every device and file the central server left open, each
    // table under its own lock, then closes the Intel boards. Runs when the active connection
    // closes and when the manager goes.
    void SafeCloseAllChannels();
    // The channels the central server has open; the session's initialisation sets it to 0.
    void SetOpenChannelCount(int32_t count) { open_channels_ = count; }

    // --- Tick and heartbeat ---
    // Once a second on the application thread: the start-up countdown or the node's state in
    // the status text, the command listener's restart while no central server has connected,
    // the heartbeat to the watchdog and the nightly clean-up.
    void OnTick();
    // The heartbeat, at most every 20 seconds; withheld when `disabled`.
    void NotifyTormbel(bool disabled, const std::string& reason);
    // The watchdog's status as the last heartbeat found it (eTormbelStatus).
    int32_t TormbelStatus() const { return tormbel_.Status(); }
    CTormbelNotifier& Tormbel() { return tormbel_; }

private:
    using Handler = void (CVesmarinManager::*)(net::CClientStreamSocket* command);
    struct Command {
        const char* word;
        Handler handler;
        // What the command still sends when its values are refused.
        RefusalReply refusal;
    };

    void RegisterCommands();
    void ReadPorts();
    void StartHardware();
    // Publishes the file cache and the handle tables to the layers below while the manager
    // lives; the withdrawal leaves another living manager's publication alone.
    void PublishServices();
    void WithdrawServices();
    // True once the start-up delay has passed; logs the moment it does.
    bool StartupDelayPassed();
    // After a CNINIT: its connection counts as the central server's when the node took it.
    void RememberInitialised(net::CClientStreamSocket* command);
    // The connection's state is dropped: no active connection any more.
    void CloseActiveConnection();
    void ForgetActiveConnection();
    // StopAllThreads under the connection lock.
    void StopAllThreadsLocked();
    void CallConnectionState(int32_t connected, int32_t starting);
    int64_t NowSeconds() const;

    // --- Command handlers: one for each command of node/command_list.inc ---
#define RUZD_COMMAND(code, word, refusal) void SocketCmd##word(net::CClientStreamSocket* command);
#include "node/command_list.inc"
#undef RUZD_COMMAND
    // The reader of the running command's values, tracing under the command's word.
    CommandArguments Arguments(net::CClientStreamSocket* command,
                               foundation::EDebugChannelType channel) const;

    const ManagerSettings settings_;
    const CentralMessages messages_{};
    std::map<int32_t, Command> commands_;
    std::atomic<int32_t> current_command_id_{-1};
    // The command whose handler runs; only the command thread uses it.
    const Command* current_command_ = nullptr;
    std::atomic<int32_t> open_channels_{0};
    std::atomic<int64_t> last_command_time_{0};

    // The connection state.
    mutable std::recursive_mutex connection_lock_;
    bool client_initialised_ = false;
    uint64_t active_connection_ = 0;  // serial of the active connection, 0 for none
    // The open connections whose CNINIT the node took, by serial; a few at most.
    std::set<uint64_t> initialised_connections_;
    std::weak_ptr<net::CClientSocket> active_socket_;
    uint32_t startup_delay_ = 0;
    int64_t start_time_ = 0;
    int64_t listener_epoch_ = 0;

    std::unique_ptr<platform::NamedMutex> instance_mutex_;
    uint32_t command_port_ = kDefaultCommandPort;
    uint32_t file_socket_port_ = kDefaultFileSocketPort;
    CVesmarinManagerCallback* callback_ = nullptr;
    std::unique_ptr<telephony::CHardwareISDN> hardware_;
    std::unique_ptr<net::CServerStreamSocketThread> listener_;
    std::unique_ptr<net::COrvanthellaFileSocketThread> file_listener_;

    // The file cache's table by upper-cased central path; its lock guards the files of the
    // cache folder against concurrent change.
    LockedTable<std::string, CFileDateSizeCRC> file_cache_;
    MoveFileQueue move_queue_{std::string(kMoveFileQueuePath)};
    DeviceHandleTables devices_;
    AculabHandleTables aculab_;

    // --- Device and resource tables ---
    CallReferenceTables call_refs_;
    DigitBuffers digit_buffers_;
    TransferBuffers transfer_buffers_;
    LockedTable<int32_t, int32_t> last_voice_functions_;
    AmtelcoTables amtelco_;
    ConferenceTables conferences_;
    VirtualFileTables virtual_files_;
    FileMap file_map_;
    IsdnEventNames event_names_;

    // --- Worker threads ---
    using ThreadProc = uint32_t (*)(CVesmarinManager& manager);
    // Starts the worker unless its run flag is set, holding a share of the manager.
    void StartWorker(WorkerThread& worker, ThreadProc proc);
    std::function<void()> WorkerEntry(ThreadProc proc);
    WorkerThread& WorkerOf(Worker worker);
    const WorkerThread& WorkerOf(Worker worker) const;
    // The entry procedures: the body inside the worker's own exception handling.
    static uint32_t ISDNThreadProc(CVesmarinManager& manager);
    static uint32_t AmtelcoThreadProc(CVesmarinManager& manager);
    static uint32_t AculabThreadProc(CVesmarinManager& manager);
    static uint32_t RelayDigitThreadProc(CVesmarinManager& manager);
    static uint32_t FileHandlingThreadProc(CVesmarinManager& manager);
    // The bodies: 0 after a normal end, 1 when the worker was already running.
    uint32_t ISDNThread();
    uint32_t AmtelcoThread();
    uint32_t AculabThread();
    uint32_t RelayDigitThread();
    uint32_t FileHandlingThread();
    void ISDNEventLoop(const WorkerRun& run);
    void SendQueuedAmtelcoText(const CAmtelcoParam& record);
    void PollAmtelcoBoards();
    // The Aculab worker's work (aculab_events.cpp): one call event, the pass over the system
    // and IP card notifications, a call's details followed, one system notification.
    void AculabHandler(STATE_XPARMS event);
    void PollAculabNotifications();
    DETAIL_XPARMS FollowCallDetails(int32_t handle, int32_t type, const STATE_XPARMS& event);
    int32_t OnAculabSystemEvent(const ACU_SYSTEM_NOTIFICATION_PARMS& notification);
    // The relay-digit worker's channel (relay_digit_worker.cpp), one replay and its answer.
    tSMChannelId OpenRelayChannel();
    void PlayRelayDigits(tSMChannelId channel, const CRelayDigitsParam& record);
    void SendRelayDigitResult(int32_t result);
    void WorkFileHandlingParam(const CFileHandlingParam& record);
    void OpenQueuedFile(const CFileHandlingParam& record, bool voice);
    // Answers the open with -1 without touching the file, logging why.
    void RefuseFileOpen(const char* openName, uint32_t virtualHandle, const std::string& path,
                        const char* reason);
    void CloseQueuedFile(const CFileHandlingParam& record, bool voice);

    WorkerThread isdn_worker_{ISDNWorkerTexts()};
    // Ends the ISDN worker's wait for events when it is stopped.
    EventWaitWake isdn_wake_;
    WorkerThread amtelco_worker_{AmtelcoWorkerTexts()};
    WorkerThread aculab_worker_{AculabWorkerTexts()};
    WorkerThread relay_digit_worker_{RelayDigitWorkerTexts()};
    WorkerThread file_handling_worker_{FileHandlingWorkerTexts()};
    WorkQueue<CRelayDigitsParam> relay_digit_queue_;
    WorkQueue<CFileHandlingParam> file_handling_queue_;
    WorkQueue<CAmtelcoParam> amtelco_queue_;
    std::mutex file_handling_work_lock_;
    FileHandlingWork file_handling_work_;

    // --- Session start and end, channel shut-down ---
    void InitialiseForCentral(net::CClientStreamSocket* command, int32_t callId);
    void CreateFileCacheFolders();
    void RegisterIpBoard();
    InitReplyFields InitReply() const;
    void ReportClosed(int32_t portType, int32_t ldev);
    // Whether the channel shut-down would find anything to end: a device in a table, a running
    // worker, an open file, a digit buffer, a conference board's DSP or an Intel IP board.
    bool HasAnythingToShutDown();
    void CloseDevicesOf(DeviceTable& devices, int32_t portType,
                        foundation::EDebugChannelType channel, const char* closeName,
                        int32_t (telephony::CHardware::*close)(int32_t));
    void CloseVirtualFiles();
    void CloseCallDevices(DeviceTable& devices, int32_t portType);

    // --- File cache ---
    enum class CacheCheck { kAccepted, kRefused, kFetch };
    CacheCheck CheckCachedCopy(int32_t channelId, const std::string& centralPath,
                               const std::string& cachePath, bool written, int32_t* expectedSize,
                               int32_t expectedCrc, CFileDateSizeCRC record, int64_t now);

    // --- Tick and heartbeat ---
    void ShowStatusText(const std::string& text);
    // Restarts the command listener while nobody has connected in the first minutes.
    void RestartListenerWhileUnconnected(int64_t now);
    // Armed at midnight, run at two in the morning, local time.
    void DailyCleanUp();
    // Every minute, the interface statistics of the open Aculab IP cards, to the log.
    void LogAculabCardStatistics(int64_t now);
    CTormbelNotifier tormbel_;
    bool daily_clean_up_armed_ = false;
    // When the tick next logs the Aculab IP cards' statistics (seconds since 1970).
    int64_t next_card_statistics_ = 0;

    // --- ISDN call-control commands ---
    void AnswerChannelState(net::CClientStreamSocket* command,
                            int32_t (telephony::CHardware::*query)(int32_t, LINEDEV, int32_t*),
                            bool (CentralMessages::*reply)(net::COutputStreamSocket&, int32_t,
                                                           int32_t) const);
    // The handle of an opened network line; false, after logging the call's name with
    // "ldev=UNKNOWN RET=ERROR", when there is none.
    bool FindIsdnLine(CommandArguments& args, int32_t ldev, const char* call, int32_t* handle);
    // The call a command's crn names; none when it stands for the current call and the line
    // device keeps none.
    std::optional<CRN> IsdnCallOf(int32_t ldev, CRN received);
    void RegisterIsdnLine(int32_t ldev, int32_t result, LINEDEV handle);
    // Closes an opened network line as its close command does; called with the network-line
    // table locked.
    void CloseIsdnLine(CommandArguments& args, int32_t ldev, LINEDEV handle);
    // A line device or channel of `devices` that is opened again is closed first by `close`
    // (under the network-line table's lock, as its close command holds it), so that the handle
    // it holds is not lost.
    void CloseBeforeReopen(DeviceTable& devices, int32_t ldev,
                           const std::function<void(int32_t handle)>& close);
    void ReportIsdnPortStatus(int32_t ldev, const char* text);
    void RunAcceptOrAnswer(net::CClientStreamSocket* command, const char* call, bool answer);
    // The commands that name only a line device and log "<call> ldev=<handle> RET=<result>".
    void RunOnIsdnLine(net::CClientStreamSocket* command, const char* call,
                       const std::function<int32_t(int32_t ldev, int32_t handle)>& run);
    // Marks the line device's call reference valid or not, leaving the reference itself to
    // whoever writes it (the library, after a make-call).
    void SetCallRefValid(int32_t ldev, int32_t type, bool valid);

    // --- Global Call commands ---
    // Reads a command's device type and line device; the type picks the log channel.
    CommandArguments& TypedLine(CommandArguments& args, int32_t& type, int32_t& ldev);
    // The handle of a line device of the type; false, after logging the call's name with
    // "ldev=UNKNOWN RET=ERROR", when there is none.
    bool FindTypedLine(CommandArguments& args, int32_t ldev, int32_t type, const char* call,
                       int32_t* handle);
    // A command of only a device type and a line device: entered, and the handle found.
    bool EnterOnTypedLine(CommandArguments& args, int32_t& type, int32_t& ldev, const char* call,
                          int32_t* handle);
    // The call a command's crn names, from the call-reference table of the device type.
    std::optional<CRN> TypedCallOf(int32_t ldev, int32_t type, CRN received);
    void ReportPortStatus(int32_t type, int32_t ldev, const char* text);
    void OpenGlobalCallIp(CommandArguments& args, int32_t ldev);
    void OpenGlobalCallNetwork(CommandArguments& args, int32_t ldev);
    void RunGlobalCallAcceptOrAnswer(net::CClientStreamSocket* command, const char* call,
                                     bool answer);
    // Runs the make-call once its blocks are read.
    void MakeGlobalCall(CommandArguments& args, int32_t type, int32_t ldev,
                        const std::string& number, int32_t timeout, GC_MAKECALL_BLK* blocks);
    // Starts the trace of a network line into the file the central server names (through
    // the file map); `start` is the library's trace function.
    void RunStartTrace(net::CClientStreamSocket* command, const char* call,
                       const std::function<int32_t(int32_t handle, const char* file)>& start);
    // The media device of an IP line device; false, after logging "<call> Non IP Device
    // RET=ERROR" for a device of another type or "<call> GetResourceH for media failed" when it
    // has none.
    bool FindMediaDevice(CommandArguments& args, int32_t type, int32_t handle, const char* call,
                         int32_t* media);

    // --- File commands ---
    void QueueFileOpen(net::CClientStreamSocket* command, int32_t kind);
    void SeekFile(net::CClientStreamSocket* command, bool voice);
    void QueueFileClose(net::CClientStreamSocket* command, bool voice);

    // --- Voice channel commands: open, close and settings ---
    // The voice-device handle of an opened channel or board; false, after logging the call's
    // name with "ldev=UNKNOWN RET=ERROR", when there is none.
    bool FindVoiceChannel(CommandArguments& args, int32_t ldev, const char* call, int32_t* handle);
    // Runs the stream operation on the voice channel the command names, logging `done` after.
    void OnVoiceStream(net::CClientStreamSocket* command, const char* call, const char* done,
                       int32_t (telephony::CHardwareISDN::*operation)(int32_t));
    void ReportVoicePortStatus(int32_t ldev, const char* text);
    // Closes an opened voice channel or board as its close command does; called with the
    // network-line table locked.
    void CloseVoiceChannel(CommandArguments& args, int32_t ldev, int32_t handle);
    // The commands that name only a channel and log "<call> handle=<handle> RC=<result>".
    void RunOnVoiceChannel(net::CClientStreamSocket* command, const char* call,
                           const std::function<int32_t(int32_t handle)>& run);

    // --- Play and record ---
    // A fresh transfer set for the channel; its older sets are freed when it runs nothing.
    TransferBuffers::Hold NewTransferSet(int32_t handle);
    // Reads the transfer entries into the set, the file entries looked up in the voice-file
    // (play) or record-file table; `files` gets the list as logged. False when an entry names
    // an unknown file or a memory entry is malformed: the list must not be used.
    bool ReadTransferList(CommandArguments& args, TransferSet& set, bool play, std::string* files);
    // Reads the termination entries into the set's table: the table to hand the library, null
    // when `none_for_lone_zero` and the only entry has termination number 0.
    DV_TPT* ReadTerminations(CommandArguments& args, DV_TPT* table, bool none_for_lone_zero);
    void ReadFormat(CommandArguments& args, DX_XPB* format);
    std::optional<TransferBuffers::Hold> ReadRecordLists(CommandArguments& args, uint32_t ldev,
                                                         const char* call, int32_t* handle,
                                                         std::string* files, DV_TPT** terminations);
    // The transmit slot of a DXMRIO source; false when the device is unknown.
    bool SourceSlot(int32_t device, int32_t type, int32_t cable, int32_t* slot);

    // --- Time-slot routing ---
    // One device of a route: its line device number, its device type and its vendor handle
    // (for a conference or an Amtelco position, the number itself).
    struct RouteEnd {
        int32_t ldev = 0;
        int32_t type = 0;
        int32_t handle = -1;
    };
    void ReportRouteStatus(int32_t type, int32_t ldev, const std::string& text, int32_t value);
    // `specialTypes`: a conference or an Amtelco position is accepted too.
    bool FindRouteEnd(int32_t ldev, int32_t type, bool specialTypes, RouteEnd* end);
    bool FindRouteEnds(CommandArguments& args, const char* call, bool route, RouteEnd* end1,
                       RouteEnd* end2);
    void RouteDirect(CommandArguments& args, const RouteEnd& end1, const RouteEnd& end2);
    void RouteFromConference(CommandArguments& args, const RouteEnd& conference,
                             const RouteEnd& device);
    void RouteWithAmtelco(CommandArguments& args, const RouteEnd& device, const RouteEnd& position,
                          bool toAmtelco);
    // --- Stations and conferences ---
    // The handle of an opened station or station board (-1 for one whose open failed); false,
    // after logging the call's name with "ldev=UNKNOWN RET=ERROR", when there is none.
    bool FindStation(CommandArguments& args, int32_t ldev, const char* call, int32_t* handle);
    // The station commands: the station's line device, then what `read` reads. `run` works on
    // the station found; for an unknown station `unknown`, when given, answers.
    void RunOnStation(
        net::CClientStreamSocket* command, const char* call,
        const std::function<void(CommandArguments&)>& read,
        const std::function<void(CommandArguments&, int32_t ldev, int32_t handle)>& run,
        const std::function<void(int32_t ldev)>& unknown = {});
    // Enters a conference board command; false when it is refused or the Dialogic path is
    // missing.
    bool EnterDspCommand(CommandArguments& args);
    void EstablishConference(net::CClientStreamSocket* command, const ConferenceCalls& calls);
    void DeleteConference(net::CClientStreamSocket* command, const ConferenceCalls& calls);
    void ChangeConferenceParty(net::CClientStreamSocket* command, const ConferenceCalls& calls,
                               PartyChange change);
    bool FindConferenceDevice(const ConferenceCalls& calls, int32_t device, int32_t* handle);
    bool FindConference(CommandArguments& args, const ConferenceCalls& calls,
                        const std::string& call, int32_t device, int32_t conference,
                        int32_t* handle, int32_t* id);
    bool PartyTransmitSlot(CommandArguments& args, const ConferencePartyName& party, int32_t* slot);
    // Takes the placeholder party out of the conference, with the attribute given.
    void RemovePlaceholder(CommandArguments& args, const ConferenceCalls& calls, int32_t handle,
                           int32_t id, int32_t conference, int32_t attribute);

    // --- Aculab commands ---
    // Whether the Aculab path is there; without it `missing` is logged.
    bool AculabAvailable(CommandArguments& args,
                         const std::string& missing = "No aculab installed.");
    // The handle of an Aculab channel or board: in the IP table for an IP flag that is not 0,
    // else in the network-line table, and of the device type the flag names (18 or 17).
    bool FindAculabDevice(int32_t ldev, int32_t ipFlag, int32_t* handle);
    // Reads a channel command's line device and IP flag (which picks the log channel) and what
    // `more` reads, enters it and finds the channel. False when the command ends here: refused,
    // without Aculab, or with an unknown channel ("<call> ldev=UNKNOWN RET=ERROR").
    bool EnterOnAculabChannel(CommandArguments& args, int32_t& ldev, int32_t& ipFlag,
                              const std::function<void(CommandArguments&)>& more, const char* call,
                              int32_t* handle);
    // EnterOnAculabChannel with the central server's record bytes, then the record's size and,
    // where it has them, the channel's VMP ids filled in.
    template <typename Record>
    bool EnterWithAculabRecord(CommandArguments& args, int32_t& ldev, int32_t& ipFlag,
                               const char* call, int32_t* handle, Record* record);
    // "<call> ldev=<handle> handle=<call handle> rc=<result>".
    static void TraceAculabCall(CommandArguments& args, const char* call, int32_t handle,
                                int32_t callHandle, int32_t result);
    // The commands that open a call on a channel's port and time slot, waiting for one or
    // making one; the call's handle is kept for its direction.
    template <typename Record>
    void OpenAculabCall(net::CClientStreamSocket* command, const char* call, uint8_t direction,
                        int32_t (telephony::CHardware::*open)(Record*));
    // The commands that name a channel and one of its calls by its handle.
    void RunOnAculabCall(net::CClientStreamSocket* command, const char* call,
                         int32_t (telephony::CHardware::*run)(int32_t, int32_t));
    // The commands that ring or accept a call whose media runs on the channel's VMP contexts.
    template <typename Record>
    void RunXCall(net::CClientStreamSocket* command, const char* call,
                  int32_t (telephony::CHardware::*run)(int32_t, Record*));
    // Closes an opened Aculab IP channel: its echo canceller and whatever VMP context it still
    // has, its handle and its entries in the device tables; one channel less, reported
    // "Closed". Called with the IP table locked. The echo canceller's release result.
    int32_t CloseAculabChannel(int32_t ldev, int32_t handle);
    // The channel shut-down's Aculab step: every Aculab IP channel's calls ended and the
    // channel closed; the IP boards forgotten.
    void CloseAculabChannels();
    // The tables the Aculab media code works in, handed over by the manager for its own work.
    telephony::AculabManagerTables MediaTables() {
        return {aculab_, devices_};
    }
    // Whether the handle is an Aculab channel's or board's (device type 17 or 18).
    bool IsAculabDevice(int32_t handle);
};

}  // namespace ruzd::node
