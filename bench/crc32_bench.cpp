// The CRC-32 of a 64 MiB file through GetFileCrc32 (read in 4096-byte pieces), against zlib's
// crc32 over the same bytes already in memory, in the same run. The file is read once before
// the clock runs, so both sides see bytes the machine has at hand.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "bench/ratio_reporter.h"
#include "foundation/crc32.h"

namespace {

constexpr size_t kFileBytes = 64u << 20;

// A platform root of its own holding C:\CRC.VOX, and the same bytes in memory.
class CrcFile {
public:
    CrcFile() : bytes_(kFileBytes, '\0') {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "ruzd-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        root_ = pattern;
        setenv("RUZD_ROOT", root_.c_str(), 1);
        std::mt19937_64 random(64);
        for (size_t i = 0; i < bytes_.size(); i += 8) {
            const uint64_t value = random();
            std::memcpy(bytes_.data() + i, &value, 8);
        }
        const std::filesystem::path folder = root_ / "drives" / "c";
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "CRC.VOX", std::ios::binary) << bytes_;
        uint32_t warm = 0;
        ruzd::foundation::GetFileCrc32(path(), warm);
    }
    ~CrcFile() { std::filesystem::remove_all(root_); }
    const std::string& bytes() const { return bytes_; }
    static std::string path() { return "C:\\CRC.VOX"; }

private:
    std::filesystem::path root_;
    std::string bytes_;
};

CrcFile& File() {
    static CrcFile file;
    return file;
}

void BM_ZlibCrc32InMemory(benchmark::State& state) {
    const std::string& bytes = File().bytes();
    for (auto _ : state) {
        const uLong crc =
            crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ZlibCrc32InMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GetFileCrc32(benchmark::State& state) {
    const std::string path = File().path();
    for (auto _ : state) {
        uint32_t crc = 0;
        if (ruzd::foundation::GetFileCrc32(path, crc) != 0)
            state.SkipWithError("the file could not be read");
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}
BENCHMARK(BM_GetFileCrc32)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return ruzd::bench::RunWithRatios(
        argc, argv,
        {{"CRC-32 of a 64 MiB file vs zlib's crc32 in memory", "BM_GetFileCrc32/real_time",
          "BM_ZlibCrc32InMemory/real_time", 70}});
}
