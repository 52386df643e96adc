#pragma once

// What the zip tests share: the real tools that judge archives (unzip, zipinfo, zip and
// Python's zipfile), files written whole, and the little-endian fields of an archive's bytes.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/program_runner.h"
#include "testing/temp_root.h"

namespace ruzd::foundation::ziptest {

struct ToolResult {
    int exit_code = -1;
    std::string output;
};

inline ToolResult RunTool(std::vector<std::string> words, const std::string& folder = "") {
    ToolResult result;
    result.exit_code = ProgramRunner::RunArguments(std::move(words), folder, result.output, 60000);
    return result;
}

// Runs a Python script with the arguments after it (Debian's own Python, as the package list
// installs it).
inline ToolResult RunPython(const std::string& script, std::vector<std::string> arguments) {
    std::vector<std::string> words = {"/usr/bin/python3", "-c", script};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return RunTool(std::move(words));
}

inline void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline uint32_t Le16(const std::string& bytes, size_t at) {
    return static_cast<uint8_t>(bytes.at(at)) | (static_cast<uint8_t>(bytes.at(at + 1)) << 8);
}

inline uint32_t Le32(const std::string& bytes, size_t at) {
    return Le16(bytes, at) | (Le16(bytes, at + 2) << 16);
}

// `unzip -t` passes the archive, and Python's zipfile finds no entry whose data fails its check.
inline void ExpectToolsPass(const std::filesystem::path& archive) {
    const ToolResult unzip = RunTool({"unzip", "-t", archive.string()});
    EXPECT_EQ(unzip.exit_code, 0) << unzip.output;
    EXPECT_NE(unzip.output.find("No errors detected"), std::string::npos) << unzip.output;
    const ToolResult python = RunPython(
        "import sys, zipfile\n"
        "print('bad:', zipfile.ZipFile(sys.argv[1]).testzip())\n",
        {archive.string()});
    EXPECT_EQ(python.exit_code, 0) << python.output;
    EXPECT_EQ(python.output, "bad: None\n");
}

// One line per entry as Python's zipfile reads it: name, size, method, flags, the date and
// time of its header, the Unix mode's owner bits and the low attribute byte, and the CRC-32 of
// the data it reads.
inline std::string PythonListing(const std::filesystem::path& archive) {
    const ToolResult python = RunPython(
        "import sys, zipfile, zlib\n"
        "with zipfile.ZipFile(sys.argv[1]) as z:\n"
        "  for i in z.infolist():\n"
        "    print(i.filename, i.file_size, i.compress_type, i.flag_bits,\n"
        "          '%04d-%02d-%02d %02d:%02d:%02d' % i.date_time,\n"
        "          oct((i.external_attr >> 22) & 7), i.external_attr & 0xFF,\n"
        "          '%08x' % zlib.crc32(z.read(i)))\n",
        {archive.string()});
    EXPECT_EQ(python.exit_code, 0) << python.output;
    return python.output;
}

}  // namespace ruzd::foundation::ziptest
