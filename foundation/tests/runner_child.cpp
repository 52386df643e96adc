// A child for the program runner's tests: it does what its first argument says.
//   args A B ...      prints each further argument as "[A]" on a line of its own
//   cwd               prints the current folder
//   exit N            ends with exit code N
//   write HEX ...     writes each argument's bytes (hex pairs) with a separate write, pausing
//                     briefly between them so that they tend to arrive as separate chunks

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

namespace {

std::string FromHex(const char* hex) {
    std::string bytes;
    for (size_t i = 0; hex[i] != '\0' && hex[i + 1] != '\0'; i += 2) {
        bytes += static_cast<char>(std::stoi(std::string(hex + i, 2), nullptr, 16));
    }
    return bytes;
}

// Standard output is unbuffered (see main), so the bytes leave at once, in one piece.
void WriteAll(const std::string& bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) {
        std::exit(10);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const std::string mode = argv[1];
    if (mode == "args") {
        for (int i = 2; i < argc; ++i) {
            WriteAll("[" + std::string(argv[i]) + "]\n");
        }
        return 0;
    }
    if (mode == "cwd") {
        std::error_code error;
        const std::filesystem::path folder = std::filesystem::current_path(error);
        if (error) {
            return 3;
        }
        WriteAll(folder.string());
        return 0;
    }
    if (mode == "exit" && argc > 2) {
        return std::atoi(argv[2]);
    }
    if (mode == "write") {
        for (int i = 2; i < argc; ++i) {
            if (i > 2) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            WriteAll(FromHex(argv[i]));
        }
        return 0;
    }
    return 2;
}
