// Encoding and decoding of a typical command frame of the binary message stream, in memory.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "net/callback_output_stream.h"
#include "net/frame_cutter.h"
#include "net/input_stream_socket.h"

namespace {

using ruzd::net::CCallbackOutputStream;
using ruzd::net::CFrameCutter;
using ruzd::net::CInputStreamSocket;
using ruzd::net::COutputStreamSocket;

const uint8_t kDigits[] = {'1', '2', '3', '4', '#'};

// A play command: code, line device, ten values in all.
void WriteCommand(COutputStreamSocket& writer, int32_t sequence) {
    writer.BeginMessage(57)
        .WriteInt(17)
        .WriteInt(sequence)
        .WriteString("C:\\FileCache\\Prompts\\welcome.vox")
        .WriteInt(0)
        .WriteInt(-1)
        .WriteUInt(0x80000001u)
        .WriteInt(8000)
        .WriteString("Caf\xC3\xA9")
        .WriteBytes(kDigits, sizeof kDigits);
    writer.Flush();
}

std::vector<uint8_t> EncodedCommand() {
    std::vector<uint8_t> frame;
    CCallbackOutputStream writer([&](const uint8_t* bytes, int length, const std::string&,
                                     unsigned) { frame.assign(bytes, bytes + length); });
    WriteCommand(writer, 1);
    return frame;
}

void BM_EncodeCommand(benchmark::State& state) {
    size_t bytes = 0;
    CCallbackOutputStream writer(
        [&](const uint8_t*, int length, const std::string&, unsigned) { bytes += length; });
    int32_t sequence = 0;
    for (auto _ : state) {
        WriteCommand(writer, ++sequence);
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_EncodeCommand);

void BM_DecodeCommand(benchmark::State& state) {
    const std::vector<uint8_t> frame = EncodedCommand();
    const int form = frame[0];
    const uint8_t* payload = frame.data() + 1 + form;
    const int length = static_cast<int>(frame.size()) - 1 - form - 3;
    std::string path;
    std::string name;
    for (auto _ : state) {
        CInputStreamSocket reader(payload, length);
        int32_t code, line, sequence, zero, minusOne, rate;
        uint32_t flags;
        uint8_t digits[sizeof kDigits];
        reader.ReadInt(code).ReadInt(line).ReadInt(sequence).ReadString(path).ReadInt(zero);
        reader.ReadInt(minusOne).ReadUInt(flags).ReadInt(rate).ReadString(name);
        reader.ReadBytes(digits, sizeof digits);
        benchmark::DoNotOptimize(reader.IsOk());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * length);
}
BENCHMARK(BM_DecodeCommand);

void BM_CutFrames(benchmark::State& state) {
    const std::vector<uint8_t> frame = EncodedCommand();
    std::vector<uint8_t> chunk;
    for (int i = 0; i < 64; ++i) {
        chunk.insert(chunk.end(), frame.begin(), frame.end());
    }
    CFrameCutter cutter(CFrameCutter::Side::kListener);
    int frames = 0;
    for (auto _ : state) {
        cutter.Append(chunk.data(), chunk.size(), [&](const uint8_t*, int) { ++frames; });
    }
    benchmark::DoNotOptimize(frames);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * chunk.size());
}
BENCHMARK(BM_CutFrames);

}  // namespace

// No baseline: the table alone.
int main(int argc, char** argv) {
    return ruzd::bench::RunWithRatios(argc, argv, {});
}
