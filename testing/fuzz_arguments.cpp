// libFuzzer's start-up hook, linked into every libFuzzer target: the corpus folders and the
// paths of its path flags are made absolute before libFuzzer reads them, and the artifacts of a
// finding go to the folder the fuzzer started in unless a prefix says otherwise. Fuzz entries
// may change the current folder (relative Windows paths are mapped against it); libFuzzer reads
// the corpus, writes new inputs and writes a crash's input after such runs, and a relative
// path would then name another place.
//
// A target may also name flags it is meant to run with (RUZD_FUZZ_FLAGS, from the FLAGS of
// ruzd_fuzz_target); each applies unless the command line gives that flag itself.

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The flags whose value is a path (artifact_prefix is a prefix: its trailing slash stays).
constexpr std::string_view kPathFlags[] = {
    "-artifact_prefix=",    "-exact_artifact_path=", "-dict=",
    "-merge_control_file=", "-features_dir=",        "-data_flow_trace=",
    "-mutation_graph_file="};
constexpr std::string_view kArtifactPrefix = "-artifact_prefix=";
#ifdef RUZD_FUZZ_FLAGS
constexpr std::string_view kTargetFlags = RUZD_FUZZ_FLAGS;
#else
constexpr std::string_view kTargetFlags;
#endif

// "-name=" of a flag.
std::string_view FlagName(std::string_view flag) {
    const size_t equals = flag.find('=');
    return equals == std::string_view::npos ? flag : flag.substr(0, equals + 1);
}

bool Given(const std::vector<std::string>& arguments, std::string_view name) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i].starts_with(name)) {
            return true;
        }
    }
    return false;
}

std::string Absolute(std::string_view path) {
    const std::string text(path);
    std::string absolute = std::filesystem::absolute(text).string();
    if (!text.empty() && text.back() == '/' && absolute.back() != '/') {
        absolute += '/';
    }
    return absolute;
}

std::string AbsoluteArgument(std::string_view argument) {
    if (!argument.starts_with('-')) {
        return Absolute(argument);
    }
    for (const std::string_view flag : kPathFlags) {
        if (argument.starts_with(flag) && argument.size() > flag.size()) {
            return std::string(flag) + Absolute(argument.substr(flag.size()));
        }
    }
    return std::string(argument);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // libFuzzer keeps using the arguments: they live as long as the process.
    static std::vector<std::string> arguments;
    static std::vector<char*> pointers;
    arguments.assign(*argv, *argv + *argc);
    for (size_t i = 1; i < arguments.size(); ++i) {
        arguments[i] = AbsoluteArgument(arguments[i]);
    }
    std::vector<std::string> defaults;
    for (size_t at = 0; at < kTargetFlags.size();) {
        const size_t end = std::min(kTargetFlags.find(' ', at), kTargetFlags.size());
        if (end > at) {
            defaults.emplace_back(kTargetFlags.substr(at, end - at));
        }
        at = end + 1;
    }
    defaults.push_back(std::string(kArtifactPrefix) +
                       (std::filesystem::current_path() / "").string());
    for (const std::string& flag : defaults) {
        if (!Given(arguments, FlagName(flag))) {
            arguments.push_back(flag);
        }
    }
    pointers.clear();
    for (std::string& argument : arguments) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    *argc = static_cast<int>(arguments.size());
    *argv = pointers.data();
    return 0;
}
