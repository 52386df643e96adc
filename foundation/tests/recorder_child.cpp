// A program the launching tests start in place of another (the desktop's opener, the program of
// a command template): it appends how it was started to the file that RUZD_RECORD_FILE names,
//   started <number of arguments>
//   arg <argument>                    one line each
//   cwd <current folder>
//   leader yes|no                     whether it leads a session of its own
//   stdin <what its standard input is>
//   end
// and ends with exit code 0 (2 without the variable).

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The fields of /proc/self/stat after the command name: state, ppid, pgrp, session, ...
std::vector<std::string> StatFields() {
    std::ifstream file("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream rest(stat.substr(stat.rfind(')') + 1));
    std::vector<std::string> fields;
    for (std::string field; rest >> field;) {
        fields.push_back(field);
    }
    return fields;
}

}  // namespace

int main(int argc, char** argv) {
    const char* record = std::getenv("RUZD_RECORD_FILE");
    if (record == nullptr) {
        return 2;
    }
    std::error_code error;
    const std::string pid = std::filesystem::read_symlink("/proc/self", error).string();
    const std::vector<std::string> stat = StatFields();
    std::ostringstream text;
    text << "started " << argc - 1 << "\n";
    for (int i = 1; i < argc; ++i) {
        text << "arg " << argv[i] << "\n";
    }
    text << "cwd " << std::filesystem::current_path(error).string() << "\n";
    text << "leader " << (stat.size() > 3 && stat[3] == pid ? "yes" : "no") << "\n";
    text << "stdin " << std::filesystem::read_symlink("/proc/self/fd/0", error).string() << "\n";
    text << "end\n";
    std::ofstream(record, std::ios::app) << text.str();
    return 0;
}
