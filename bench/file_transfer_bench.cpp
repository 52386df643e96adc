// The node's receiving side of a 64 MB file pushed over the file-transfer connection (TXFILE)
// with compression and encryption on, against RC4, inflate and write of the same bytes in
// memory. Both are encoded before the clock starts, so neither figure holds the sender's
// deflate.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <zlib.h>

#include <nettle/arcfour.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "foundation/registry.h"
#include "net/orvanthella_file_socket_thread.h"
#include "testing/file_peer.h"
#include "testing/loopback_socket.h"
#include "testing/offering_file_socket.h"

namespace {

namespace fs = std::filesystem;
using ruzd::net::COrvanthellaFileSocketThread;
using ruzd::testing::FilePeer;

constexpr size_t kFileSize = 64u << 20;
// The central server sends its files in pieces of this size, each one message.
constexpr size_t kPiece = 1u << 20;
// What one receive of the in-memory baseline takes from the wire, about a socket buffer.
constexpr size_t kWireChunk = 64u << 10;

// Voice-file-like bytes: about half of them are redundancy that deflate removes.
const std::vector<uint8_t>& FileBytes() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<uint8_t> data(kFileSize);
        std::mt19937 generator(17);
        for (uint8_t& byte : data) {
            byte = static_cast<uint8_t>(0x80 + static_cast<int>(generator() % 16) - 8);
        }
        return data;
    }();
    return bytes;
}

// A folder of its own for the run, made the platform root and the current folder.
class BenchFolder {
public:
    BenchFolder() {
        char pattern[] = "/tmp/ruzd-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::abort();
        }
        folder_ = pattern;
        setenv("RUZD_ROOT", folder_.c_str(), 1);
        previous_ = fs::current_path();
        fs::current_path(folder_);
        fs::create_directories(folder_ / "FileCache");
    }
    ~BenchFolder() {
        fs::current_path(previous_);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    const fs::path& path() const { return folder_; }

private:
    fs::path folder_;
    fs::path previous_;
};

// The file as the central server puts it on the wire: each piece deflated with a sync flush,
// then RC4, one stream and one key state for the whole file.
std::vector<uint8_t> EncodedFile(const std::vector<uint8_t>& data) {
    z_stream stream{};
    deflateInit(&stream, Z_DEFAULT_COMPRESSION);
    std::vector<uint8_t> wire;
    std::vector<uint8_t> piece(deflateBound(&stream, kPiece) + 64);
    for (size_t at = 0; at < data.size(); at += kPiece) {
        stream.next_in = const_cast<uint8_t*>(data.data() + at);
        stream.avail_in = static_cast<uInt>(std::min(kPiece, data.size() - at));
        stream.next_out = piece.data();
        stream.avail_out = static_cast<uInt>(piece.size());
        deflate(&stream, Z_SYNC_FLUSH);
        wire.insert(wire.end(), piece.begin(), piece.end() - stream.avail_out);
    }
    deflateEnd(&stream);
    arcfour_ctx cipher;
    ruzd::testing::KeyRc4(cipher);
    arcfour_crypt(&cipher, wire.size(), wire.data(), wire.data());
    return wire;
}

// Decrypts `wire` in place a receive at a time, inflates each piece and writes what it yields
// to `path`; the number of bytes written, or none on a failure.
std::optional<size_t> DecodeToFile(std::vector<uint8_t>& wire, const fs::path& path) {
    arcfour_ctx cipher;
    ruzd::testing::KeyRc4(cipher);
    z_stream stream{};
    inflateInit(&stream);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::vector<uint8_t> out(ruzd::net::COrvanthellaFileSocketThread::kTransferBufferSize);
    size_t written = 0;
    bool ok = fd >= 0;
    for (size_t at = 0; ok && at < wire.size(); at += kWireChunk) {
        const size_t length = std::min(kWireChunk, wire.size() - at);
        arcfour_crypt(&cipher, length, wire.data() + at, wire.data() + at);
        stream.next_in = wire.data() + at;
        stream.avail_in = static_cast<uInt>(length);
        do {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            const int result = inflate(&stream, Z_SYNC_FLUSH);
            const size_t produced = out.size() - stream.avail_out;
            ok = (result == Z_OK || result == Z_BUF_ERROR) &&
                 ::write(fd, out.data(), produced) == static_cast<ssize_t>(produced);
            written += produced;
        } while (ok && (stream.avail_in > 0 || stream.avail_out == 0));
    }
    inflateEnd(&stream);
    if (fd >= 0) {
        ::close(fd);
    }
    return ok ? std::optional<size_t>(written) : std::nullopt;
}

// The baseline: the same bytes decrypted, inflated and written in memory, one thread.
void BM_InMemoryRc4InflateWrite(benchmark::State& state) {
    const std::vector<uint8_t>& data = FileBytes();
    BenchFolder folder;
    const std::vector<uint8_t> encoded = EncodedFile(data);
    std::vector<uint8_t> wire;
    for (auto _ : state) {
        wire = encoded;
        const auto begin = std::chrono::steady_clock::now();
        const std::optional<size_t> written = DecodeToFile(wire, folder.path() / "decoded.vox");
        const auto end = std::chrono::steady_clock::now();
        if (written != data.size()) {
            state.SkipWithError("the decoded file has the wrong size");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_InMemoryRc4InflateWrite)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

// A node with its file-transfer listener in a folder of its own, and an authorised peer.
class PushSetup {
public:
    PushSetup() {
        ruzd::foundation::CRegistry("Pelwix").WriteDword("MaximumFileCacheSyncSizeMB", 128);
        port_ = ruzd::testing::FreePort();
        thread_ =
            std::make_unique<COrvanthellaFileSocketThread>(nullptr, port_, sockets_.Factory());
        thread_->SetRequestTimeoutSeconds(600);
        thread_->SetCentralAddress("127.0.0.1");
        peer_ = std::make_unique<FilePeer>(port_);
        peer_->Handshake(false);
        peer_->SendText("STARTS 2\r");
        peer_->ReadLine();
    }
    ~PushSetup() {
        peer_.reset();
        thread_.reset();
    }

    bool Ready() const {
        return peer_->Encrypting() && peer_->Compressing() && thread_->HasAuthorisedSocket();
    }

    // Has the node ask for a file and answers with a TXFILE of `data`, encoded before the clock
    // starts; the seconds from its first byte on the wire to the node's return from the
    // request with the file written, or none when the push failed. The node knows the file's
    // size and CRC-32, as the file cache tells it, and compares what arrives with them.
    std::optional<double> Push(const std::vector<uint8_t>& data) {
        const ruzd::net::ExpectedFile expected{
            data.size(), static_cast<uint32_t>(crc32_z(0, data.data(), data.size()))};
        auto request = std::async(std::launch::async, [&] {
            std::string local = ".\\FileCache\\pushed.vox";
            return thread_->RequestFile("C:\\VOX\\PUSHED.VOX", local, expected);
        });
        const std::optional<std::string> line = peer_->ReadLine();
        if (!line) {
            return std::nullopt;
        }
        const std::string id = line->substr(7, line->find(' ', 7) - 7);
        const std::string header =
            "TXFILE " + id + " 1 0 .\\FileCache\\pushed.vox " + std::to_string(data.size()) + "\r";
        std::vector<uint8_t> wire =
            peer_->Encode(reinterpret_cast<const uint8_t*>(header.data()), header.size());
        for (size_t at = 0; at < data.size(); at += kPiece) {
            const std::vector<uint8_t> piece =
                peer_->Encode(data.data() + at, std::min(kPiece, data.size() - at));
            wire.insert(wire.end(), piece.begin(), piece.end());
        }
        const auto begin = std::chrono::steady_clock::now();
        peer_->SendWire(wire);
        const bool written = request.get();
        const auto end = std::chrono::steady_clock::now();
        if (!written || fs::file_size(fs::path("FileCache") / "pushed.vox") != data.size()) {
            return std::nullopt;
        }
        return std::chrono::duration<double>(end - begin).count();
    }

private:
    ruzd::testing::OfferingFileSockets sockets_{true, true};
    uint16_t port_ = 0;
    std::unique_ptr<COrvanthellaFileSocketThread> thread_;
    std::unique_ptr<FilePeer> peer_;
};

void BM_NodeReceivesTxfile(benchmark::State& state) {
    const std::vector<uint8_t>& data = FileBytes();
    BenchFolder folder;
    PushSetup setup;
    if (!setup.Ready()) {
        state.SkipWithError("the peer could not set up an encrypted, compressed connection");
        return;
    }
    for (auto _ : state) {
        const std::optional<double> seconds = setup.Push(data);
        if (!seconds) {
            state.SkipWithError("the push failed");
            return;
        }
        state.SetIterationTime(*seconds);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_NodeReceivesTxfile)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    return ruzd::bench::RunWithRatios(
        argc, argv,
        {{"file receive, node vs in-memory RC4 + inflate + write",
          "BM_NodeReceivesTxfile/iterations:5/manual_time",
          "BM_InMemoryRc4InflateWrite/iterations:5/manual_time", 90}});
}
