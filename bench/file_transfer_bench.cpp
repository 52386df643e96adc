// A 64 MB file pushed to the node over the file-transfer connection (TXFILE) with compression
// and encryption on, against deflate and RC4 of the same bytes in memory, which is what the
// sending side spends on them anyway.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <zlib.h>

#include <nettle/arcfour.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "foundation/registry.h"
#include "net/orvanthella_file_socket_thread.h"
#include "testing/file_peer.h"
#include "testing/loopback_socket.h"

namespace {

namespace fs = std::filesystem;
using ruzd::net::COrvanthellaFileSocket;
using ruzd::net::COrvanthellaFileSocketThread;
using ruzd::net::SocketReactor;
using ruzd::testing::FilePeer;

constexpr size_t kFileSize = 64u << 20;
// The central server sends its files in pieces of this size, each one message.
constexpr size_t kPiece = 1u << 20;

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

// Deflate with a sync flush per piece, then RC4, as the sending side does.
void DeflateAndEncrypt(const std::vector<uint8_t>& data, std::vector<uint8_t>& wire) {
    z_stream stream{};
    deflateInit(&stream, Z_DEFAULT_COMPRESSION);
    arcfour_ctx cipher;
    ruzd::testing::KeyRc4(cipher);
    for (size_t at = 0; at < data.size(); at += kPiece) {
        wire.resize(deflateBound(&stream, kPiece) + 64);
        stream.next_in = const_cast<uint8_t*>(data.data() + at);
        stream.avail_in = static_cast<uInt>(std::min(kPiece, data.size() - at));
        stream.next_out = wire.data();
        stream.avail_out = static_cast<uInt>(wire.size());
        deflate(&stream, Z_SYNC_FLUSH);
        const size_t produced = wire.size() - stream.avail_out;
        arcfour_crypt(&cipher, produced, wire.data(), wire.data());
        benchmark::DoNotOptimize(wire.data());
    }
    deflateEnd(&stream);
}

void BM_InProcessDeflateAndRc4(benchmark::State& state) {
    const std::vector<uint8_t>& data = FileBytes();
    std::vector<uint8_t> wire;
    for (auto _ : state) {
        DeflateAndEncrypt(data, wire);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_InProcessDeflateAndRc4)->Unit(benchmark::kMillisecond)->UseRealTime();

// A connection socket that offers encryption as well as compression.
class EncryptingFileSocket : public COrvanthellaFileSocket {
public:
    using COrvanthellaFileSocket::COrvanthellaFileSocket;

protected:
    void GetDefaultConnectionProperties(bool& encrypt, bool& compress) override {
        encrypt = true;
        compress = true;
    }
};

// A node with its file-transfer listener in a folder of its own, and an authorised peer.
class PushSetup {
public:
    PushSetup() {
        char pattern[] = "/tmp/ruzd-bench-XXXXXX";
        folder_ = mkdtemp(pattern);
        setenv("RUZD_ROOT", folder_.c_str(), 1);
        previous_ = fs::current_path();
        fs::current_path(folder_);
        fs::create_directories(folder_ / "FileCache");
        ruzd::foundation::CRegistry("Pelwix").WriteDword("MaximumFileCacheSyncSizeMB", 128);
        port_ = ruzd::testing::FreePort();
        thread_ = std::make_unique<COrvanthellaFileSocketThread>(
            nullptr, port_,
            [](std::shared_ptr<SocketReactor> reactor, COrvanthellaFileSocketThread* thread) {
                return std::make_shared<EncryptingFileSocket>(std::move(reactor), thread);
            });
        thread_->SetRequestTimeoutSeconds(600);
        peer_ = std::make_unique<FilePeer>(port_);
        peer_->Handshake(false);
        peer_->SendText("STARTS 2\r");
        peer_->ReadLine();
    }
    ~PushSetup() {
        peer_.reset();
        thread_.reset();
        fs::current_path(previous_);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    bool Ready() const {
        return peer_->Encrypting() && peer_->Compressing() && thread_->HasAuthorisedSocket();
    }

    // One REQFIL answered by a TXFILE of the whole file; true when the node wrote it.
    bool Push(const std::vector<uint8_t>& data) {
        auto request = std::async(std::launch::async, [&] {
            std::string local = ".\\FileCache\\pushed.vox";
            return thread_->RequestFile("C:\\VOX\\PUSHED.VOX", local);
        });
        const std::optional<std::string> line = peer_->ReadLine();
        if (!line) {
            return false;
        }
        const std::string id = line->substr(7, line->find(' ', 7) - 7);
        peer_->SendText("TXFILE " + id + " 1 0 .\\FileCache\\pushed.vox " +
                        std::to_string(data.size()) + "\r");
        for (size_t at = 0; at < data.size(); at += kPiece) {
            peer_->SendBytes(data.data() + at, std::min(kPiece, data.size() - at));
        }
        return request.get() && fs::file_size(folder_ / "FileCache" / "pushed.vox") == data.size();
    }

private:
    fs::path folder_;
    fs::path previous_;
    uint16_t port_ = 0;
    std::unique_ptr<COrvanthellaFileSocketThread> thread_;
    std::unique_ptr<FilePeer> peer_;
};

void BM_PushTxfileCompressedAndEncrypted(benchmark::State& state) {
    const std::vector<uint8_t>& data = FileBytes();
    // The in-process figure of this same run, for the ratio.
    std::vector<uint8_t> wire;
    const auto start = std::chrono::steady_clock::now();
    DeflateAndEncrypt(data, wire);
    const double inProcessSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    PushSetup setup;
    if (!setup.Ready()) {
        state.SkipWithError("the peer could not set up an encrypted, compressed connection");
        return;
    }
    double pushSeconds = 0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        if (!setup.Push(data)) {
            state.SkipWithError("the push failed");
            return;
        }
        pushSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
    const double pushPerFile = pushSeconds / static_cast<double>(state.iterations());
    state.counters["in_process_MB_per_s"] =
        static_cast<double>(data.size()) / 1e6 / inProcessSeconds;
    state.counters["push_vs_in_process"] = inProcessSeconds / pushPerFile;
}
BENCHMARK(BM_PushTxfileCompressedAndEncrypted)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
