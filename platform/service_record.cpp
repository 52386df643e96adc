#include "platform/service_record.h"

#include <sys/stat.h>

#include <utility>

#include "platform/command_line.h"
#include "platform/reg_tree.h"
#include "platform/reg_value.h"
#include "platform/registry.h"
#include "platform/registry_store.h"
#include "platform/service_run_files.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::platform {
namespace {

const std::vector<std::string> kServicesPath = {"SYSTEM", "CurrentControlSet", "Services"};
const std::vector<std::string> kControlPath = {"SYSTEM", "CurrentControlSet", "Control"};
constexpr uint32_t kDefaultPipeTimeoutMs = 30000;
constexpr size_t kMaxServiceNameLength = 256;

RegNode* ServiceNode(const RegNode& root, std::string_view name) {
    const RegNode* services = root.Find(kServicesPath);
    RegNode* node = services == nullptr ? nullptr : services->FindSubkey(name);
    return node != nullptr && node->FindValue("Type") != nullptr ? node : nullptr;
}

// Reads the values of a record; a value of the wrong type marks the record malformed.
class RecordReader {
public:
    RecordReader(const RegNode& node, ServiceRecord& record) : node_(node), record_(record) {}

    void Number(std::string_view name, uint32_t& field) {
        if (const RegValue* value = node_.FindValue(name)) {
            Take(RegDwordNumber(value->type, value->data), field);
        }
    }
    void Text(std::string_view name, std::string& field) {
        if (const RegValue* value = node_.FindValue(name)) {
            Take(RegSzText(value->type, value->data), field);
        }
    }
    void Texts(std::string_view name, std::vector<std::string>& field) {
        if (const RegValue* value = node_.FindValue(name)) {
            Take(RegMultiSzTexts(value->type, value->data), field);
        }
    }
    void Bytes(std::string_view name, std::optional<std::string>& field) {
        if (const RegValue* value = node_.FindValue(name)) {
            if (value->type == kRegBinary) {
                field = value->data;
            } else {
                record_.malformed = true;
            }
        }
    }

private:
    template <typename T>
    void Take(std::optional<T> read, T& field) {
        if (read) {
            field = std::move(*read);
        } else {
            record_.malformed = true;
        }
    }

    const RegNode& node_;
    ServiceRecord& record_;
};

ServiceRecord RecordOf(const RegNode& node) {
    ServiceRecord record;
    record.name = node.name();
    RecordReader read(node, record);
    read.Number("Type", record.type);
    read.Number("Start", record.start);
    read.Number("ErrorControl", record.error_control);
    read.Text("ImagePath", record.image_path);
    read.Text("DisplayName", record.display_name);
    read.Text("Group", record.group);
    read.Number("Tag", record.tag);
    read.Texts("DependOnService", record.dependencies);
    read.Text("ObjectName", record.object_name);
    read.Text("Description", record.description);
    uint32_t delayed = 0;
    read.Number("DelayedAutostart", delayed);
    record.delayed_autostart = delayed != 0;
    read.Bytes("FailureActions", record.failure_actions);
    read.Text("FailureCommand", record.failure_command);
    read.Text("RebootMessage", record.reboot_message);
    read.Texts("Environment", record.environment);
    if (const RegNode* security = node.FindSubkey("Security")) {
        if (const RegValue* value = security->FindValue("Security")) {
            record.security = value->data;
        }
    }
    if (record.failure_actions && !DecodeFailureActions(*record.failure_actions)) {
        record.malformed = true;
    }
    return record;
}

void SetText(RegNode& node, std::string_view name, const std::string& text, uint32_t type) {
    if (text.empty()) {
        node.RemoveValue(name);
    } else {
        node.SetValue(name, type, RegSzBytes(text));
    }
}

void SetTexts(RegNode& node, std::string_view name, const std::vector<std::string>& texts) {
    if (texts.empty()) {
        node.RemoveValue(name);
    } else {
        node.SetValue(name, kRegMultiSz, RegMultiSzBytes(texts));
    }
}

void StoreRecord(RegNode& node, const ServiceRecord& record) {
    node.SetValue("Type", kRegDword, RegDwordBytes(record.type));
    node.SetValue("Start", kRegDword, RegDwordBytes(record.start));
    node.SetValue("ErrorControl", kRegDword, RegDwordBytes(record.error_control));
    SetText(node, "ImagePath", record.image_path, kRegExpandSz);
    SetText(node, "DisplayName", record.display_name, kRegSz);
    SetText(node, "Group", record.group, kRegSz);
    if (record.tag != 0) {
        node.SetValue("Tag", kRegDword, RegDwordBytes(record.tag));
    } else {
        node.RemoveValue("Tag");
    }
    SetTexts(node, "DependOnService", record.dependencies);
    SetText(node, "ObjectName", record.object_name, kRegSz);
    SetText(node, "Description", record.description, kRegSz);
    if (record.delayed_autostart) {
        node.SetValue("DelayedAutostart", kRegDword, RegDwordBytes(1));
    } else {
        node.RemoveValue("DelayedAutostart");
    }
    if (record.failure_actions) {
        node.SetValue("FailureActions", kRegBinary, *record.failure_actions);
    } else {
        node.RemoveValue("FailureActions");
    }
    SetText(node, "FailureCommand", record.failure_command, kRegSz);
    SetText(node, "RebootMessage", record.reboot_message, kRegSz);
    SetTexts(node, "Environment", record.environment);
    if (!record.security.empty()) {
        node.AddSubkey("Security")->SetValue("Security", kRegBinary, record.security);
    } else if (RegNode* security = node.FindSubkey("Security")) {
        security->RemoveValue("Security");
    }
}

RegNode* ServicesNode(RegNode& root) {
    RegNode* node = &root;
    for (const std::string& name : kServicesPath) {
        node = node->AddSubkey(name);
    }
    return node;
}

bool NameTaken(const RegNode& services, std::string_view display_name, std::string_view name) {
    for (const auto& key : services.subkeys()) {
        if (key->FindValue("Type") == nullptr || EqualsIgnoreCase(key->name(), name)) {
            continue;
        }
        const ServiceRecord other = RecordOf(*key);
        if (EqualsIgnoreCase(other.name, display_name) ||
            EqualsIgnoreCase(other.display_name, display_name)) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string EncodeFailureActions(uint32_t reset_period_s, const std::vector<ScAction>& actions) {
    std::string bytes;
    AppendLittleEndian32(bytes, reset_period_s);
    AppendLittleEndian32(bytes, static_cast<uint32_t>(actions.size()));
    for (const ScAction& action : actions) {
        AppendLittleEndian32(bytes, action.type);
        AppendLittleEndian32(bytes, action.delay_ms);
    }
    return bytes;
}

std::optional<DecodedFailureActions> DecodeFailureActions(std::string_view bytes) {
    if (bytes.size() < 8) {
        return std::nullopt;
    }
    const uint32_t count = LittleEndian32(bytes, 4);
    if ((bytes.size() - 8) % 8 != 0 || (bytes.size() - 8) / 8 != count) {
        return std::nullopt;
    }
    DecodedFailureActions decoded;
    decoded.reset_period_s = LittleEndian32(bytes, 0);
    for (size_t offset = 8; offset < bytes.size(); offset += 8) {
        decoded.actions.push_back(
            ScAction{LittleEndian32(bytes, offset), LittleEndian32(bytes, offset + 4)});
    }
    return decoded;
}

DecodedFailureActions FailureActionsOf(const ServiceRecord& record) {
    if (record.failure_actions) {
        if (std::optional<DecodedFailureActions> decoded =
                DecodeFailureActions(*record.failure_actions)) {
            return std::move(*decoded);
        }
    }
    return {};
}

std::string HostProgramPath(const std::string& program) {
    if (program.starts_with('/') || program.find_first_of("\\:") == std::string::npos) {
        return program;
    }
    return MapWindowsPath(program).string();
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsProgramFile(const std::string& path) {
    struct stat found {};
    return ::stat(path.c_str(), &found) == 0 && S_ISREG(found.st_mode) &&
           (found.st_mode & 0111) != 0;
}

// The Windows account an "ObjectName" names when it is LocalService or NetworkService (alone,
// after ".\" or after "NT AUTHORITY\"); empty for any other.
std::string BuiltInServiceAccount(const std::string& account) {
    for (const char* name : {"LocalService", "NetworkService"}) {
        for (const char* domain : {"", ".\\", "NT AUTHORITY\\"}) {
            if (EqualsIgnoreCase(account, std::string(domain) + name)) {
                return name;
            }
        }
    }
    return "";
}

}  // namespace

std::vector<std::string> ServiceCommandWords(const std::string& command_line) {
    std::vector<std::string> words = SplitCommandLine(command_line);
    if (words.empty()) {
        return words;
    }
    if (!command_line.starts_with('"')) {
        size_t program_end = 0;
        for (size_t end = 1; end <= command_line.size(); ++end) {
            const std::string prefix = command_line.substr(0, end);
            // A bare name is looked for on PATH when it runs, never in the current folder.
            if ((end == command_line.size() || IsBlank(command_line[end])) &&
                !IsBlank(command_line[end - 1]) &&
                prefix.find_first_of("/\\") != std::string::npos &&
                IsProgramFile(HostProgramPath(prefix))) {
                program_end = end;
            }
        }
        if (program_end != 0) {
            // The rest is split as a command line of its own, behind a stand-in program.
            words = SplitCommandLine("x" + command_line.substr(program_end));
            words.front() = command_line.substr(0, program_end);
        }
    }
    words.front() = HostProgramPath(words.front());
    return words;
}

bool ServiceProgramExists(const std::string& program) {
    return program.find('/') == std::string::npos || IsProgramFile(program);
}

std::string ServiceAccountUser(const ServiceRecord& record) {
    const std::string& account = record.object_name;
    if (account.empty() || EqualsIgnoreCase(account, "LocalSystem") ||
        EqualsIgnoreCase(account, ".\\LocalSystem") ||
        EqualsIgnoreCase(account, "NT AUTHORITY\\SYSTEM")) {
        return "";
    }
    if (const std::string built_in = BuiltInServiceAccount(account); !built_in.empty()) {
        return ReadControlText(built_in + "User", kDefaultServiceAccountUser);
    }
    const size_t slash = account.find_last_of('\\');
    return slash == std::string::npos ? account : account.substr(slash + 1);
}

std::string ServiceAccountSetting(const ServiceRecord& record) {
    const std::string built_in = BuiltInServiceAccount(record.object_name);
    return built_in.empty()
               ? ""
               : "\"" + built_in + "User\" under HKLM\\SYSTEM\\CurrentControlSet\\Control";
}

uint32_t CheckRecordForStart(const ServiceRecord& record) {
    return record.malformed || record.image_path.empty() ? kErrorInvalidData : kErrorSuccess;
}

uint32_t CheckServiceName(std::string_view name) {
    if (name.empty() || name.size() > kMaxServiceNameLength ||
        name.find_first_of("/\\") != std::string_view::npos || !ServiceRunFileBase(name)) {
        return kErrorInvalidName;
    }
    return kErrorSuccess;
}

uint32_t ReadServiceRecord(std::string_view name, ServiceRecord* record) {
    return RegistryStore::Read([&](const RegNode& root) -> uint32_t {
        const RegNode* node = ServiceNode(root, name);
        if (node == nullptr) {
            return kErrorServiceDoesNotExist;
        }
        *record = RecordOf(*node);
        return kErrorSuccess;
    });
}

uint32_t ReadAllServiceRecords(std::vector<ServiceRecord>* records) {
    records->clear();
    return RegistryStore::Read([&](const RegNode& root) -> uint32_t {
        if (const RegNode* services = root.Find(kServicesPath)) {
            for (const auto& key : services->subkeys()) {
                if (key->FindValue("Type") != nullptr) {
                    records->push_back(RecordOf(*key));
                }
            }
        }
        return kErrorSuccess;
    });
}

uint32_t CreateServiceRecord(const ServiceRecord& record) {
    return RegistryStore::Change([&](RegNode& root) -> uint32_t {
        RegNode* services = ServicesNode(root);
        if (ServiceNode(root, record.name) != nullptr) {
            return kErrorServiceExists;
        }
        const std::string& display =
            record.display_name.empty() ? record.name : record.display_name;
        if (NameTaken(*services, display, record.name)) {
            return kErrorDuplicateServiceName;
        }
        StoreRecord(*services->AddSubkey(record.name), record);
        return kErrorSuccess;
    });
}

uint32_t ChangeServiceRecord(std::string_view name,
                             const std::function<uint32_t(ServiceRecord&)>& change) {
    return RegistryStore::Change([&](RegNode& root) -> uint32_t {
        RegNode* node = ServiceNode(root, name);
        if (node == nullptr) {
            return kErrorServiceDoesNotExist;
        }
        ServiceRecord record = RecordOf(*node);
        if (const uint32_t error = change(record); error != kErrorSuccess) {
            return error;
        }
        if (!record.display_name.empty() &&
            NameTaken(*ServicesNode(root), record.display_name, node->name())) {
            return kErrorDuplicateServiceName;
        }
        StoreRecord(*node, record);
        return kErrorSuccess;
    });
}

uint32_t DeleteServiceRecord(std::string_view name) {
    return RegistryStore::Change([&](RegNode& root) -> uint32_t {
        if (ServiceNode(root, name) == nullptr) {
            return kErrorServiceDoesNotExist;
        }
        ServicesNode(root)->RemoveSubkey(name);
        return kErrorSuccess;
    });
}

uint32_t ReadControlDword(std::string_view name, uint32_t fallback) {
    uint32_t result = fallback;
    RegistryStore::Read([&](const RegNode& root) -> uint32_t {
        const RegNode* control = root.Find(kControlPath);
        const RegValue* value = control == nullptr ? nullptr : control->FindValue(name);
        if (value != nullptr) {
            result = RegDwordNumber(value->type, value->data).value_or(fallback);
        }
        return kErrorSuccess;
    });
    return result;
}

std::string ReadControlText(std::string_view name, const std::string& fallback) {
    std::string result = fallback;
    RegistryStore::Read([&](const RegNode& root) -> uint32_t {
        const RegNode* control = root.Find(kControlPath);
        const RegValue* value = control == nullptr ? nullptr : control->FindValue(name);
        if (value != nullptr) {
            const std::optional<std::string> text = RegSzText(value->type, value->data);
            if (text && !text->empty()) {
                result = *text;
            }
        }
        return kErrorSuccess;
    });
    return result;
}

uint32_t ServicesPipeTimeoutMs() {
    return ReadControlDword("ServicesPipeTimeout", kDefaultPipeTimeoutMs);
}

uint32_t EnsureEventLogKeys() {
    static const char* const kLogs[] = {"Application", "System", "Security"};
    const auto missing = [](const RegNode& root) {
        const RegNode* services = root.Find(kServicesPath);
        const RegNode* logs = services == nullptr ? nullptr : services->FindSubkey("EventLog");
        for (const char* log : kLogs) {
            const RegNode* key = logs == nullptr ? nullptr : logs->FindSubkey(log);
            if (key == nullptr || key->FindValue("Sources") == nullptr) {
                return true;
            }
        }
        return false;
    };
    bool needed = false;
    RegistryStore::Read([&](const RegNode& root) -> uint32_t {
        needed = missing(root);
        return kErrorSuccess;
    });
    if (!needed || !RegistryStore::CanWrite()) {
        return kErrorSuccess;
    }
    return RegistryStore::Change([&](RegNode& root) -> uint32_t {
        RegNode* logs = ServicesNode(root)->AddSubkey("EventLog");
        for (const char* log : kLogs) {
            RegNode* key = logs->AddSubkey(log);
            if (key->FindValue("Sources") == nullptr) {
                key->SetValue("Sources", kRegMultiSz, RegMultiSzBytes({}));
            }
        }
        return kErrorSuccess;
    });
}

}  // namespace ruzd::platform
