#include "net/async_socket_ex.h"

// The receiving side of CAsyncSocketEx: filling the line buffer and pending blocks, cutting
// lines and dispatching them to the command table.

#include <algorithm>
#include <climits>
#include <cstring>

#include "net/text_line.h"
#include "platform/text.h"

namespace ruzd::net {

namespace {

// The first `count` characters of UTF-8 text.
std::string CutToCharacters(const std::string& text, size_t count) {
    size_t characters = 0;
    for (size_t at = 0; at < text.size(); ++at) {
        if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) {
            if (characters == count) {
                return text.substr(0, at);
            }
            ++characters;
        }
    }
    return text;
}

}  // namespace

// ---- Receiving ----

void CAsyncSocketEx::OnReceive(int error) {
    // Held for the whole call, so that a handler that closes the socket does not free it.
    const std::shared_ptr<AsyncSocket> self = shared_from_this();
    if (ProcessReceivedData(error) != 0 && IsOpen()) {
        AccountReceived();
    }
    AsyncSocket::OnReceive(error);
}

void CAsyncSocketEx::EnsurePieceBuffer() {
    if (produced_.size() < kReceivePiece) {
        produced_.resize(kReceivePiece);
    }
}

void CAsyncSocketEx::FeedBlock(const uint8_t* data, size_t length) {
    if (block_.sink) {
        if (length > 0 && !block_.sink->Take(data, length)) {
            block_.sink.reset();
            block_.discard = true;
        }
    } else if (!block_.discard) {
        block_.data.resize(std::max(block_.data.size(), block_.received + length));
        std::memcpy(block_.data.data() + block_.received, data, length);
    }
    block_.received += length;
    if (!block_.Complete()) {
        return;
    }
    // A gathered block waits for its line to be handled again; the others end here.
    if (block_.sink) {
        const std::unique_ptr<BlockSink> sink = std::move(block_.sink);
        block_ = PendingBlock{};
        sink->Finish();
    } else if (block_.discard) {
        block_ = PendingBlock{};
    }
}

void CAsyncSocketEx::DropPendingBlock() {
    const std::unique_ptr<BlockSink> sink = std::move(block_.sink);
    block_ = PendingBlock{};
    if (sink) {
        sink->Abandon();
    }
}

void CAsyncSocketEx::Absorb(const uint8_t* data, size_t length) {
    if (block_.active && !block_.Complete()) {
        const size_t taken = std::min(length, block_.Remaining());
        FeedBlock(data, taken);
        data += taken;
        length -= taken;
    }
    line_.Append(data, length);
}

int CAsyncSocketEx::StartCompressedPiece() {
    const int received = AsyncSocket::Receive(compressed_.data(), compressed_.size());
    if (received <= 0) {
        return received;
    }
    if (!transform_.StartDecode(compressed_.data(), static_cast<size_t>(received))) {
        return -1;
    }
    inflating_ = true;
    piece_received_ = static_cast<size_t>(received);
    piece_produced_ = 0;
    piece_limit_ = 0;
    piece_filled_ = piece_received_ == compressed_.size();
    return received;
}

void CAsyncSocketEx::EndCompressedPiece() {
    inflating_ = false;
    if (piece_filled_ && compressed_.size() < kMaxCompressedCapacity) {
        // The peer keeps the buffer full: take more at a time.
        const size_t waiting = Available();
        compressed_.resize(compressed_.size() + kInitialCompressedCapacity +
                           (waiting > kLineGrowth ? waiting : 0));
        compressed_.resize(std::min(compressed_.size(), kMaxCompressedCapacity));
    }
}

int CAsyncSocketEx::ReceiveCompressed() {
    if (!inflating_) {
        const int received = StartCompressedPiece();
        if (received <= 0) {
            return received;
        }
    }
    EnsurePieceBuffer();
    const size_t turn = TurnBytes();
    size_t produced = 0;
    while (produced < turn) {
        const std::optional<size_t> made =
            transform_.DecodeNext(produced_.data(), std::min(produced_.size(), turn - produced));
        if (!made) {
            // The stream cannot be followed past corrupt data: nothing after it can be read.
            inflating_ = false;
            EndConnection(platform::Format("%zu received bytes do not inflate", piece_received_));
            return 0;
        }
        if (*made == 0) {
            EndCompressedPiece();
            break;
        }
        produced += *made;
        piece_produced_ += *made;
        const size_t limit = PieceInflateLimit();
        if (piece_produced_ > limit) {
            inflating_ = false;
            EndConnection(platform::Format("%zu received bytes inflate to more than %zu",
                                           piece_received_, limit));
            return 0;
        }
        Absorb(produced_.data(), *made);
        // The lines that came are handled before more is inflated, so that what follows a
        // block never piles up behind it.
        if (!DispatchLines(false) || !IsOpen()) {
            return 0;
        }
        if (lines_waiting_) {
            break;
        }
    }
    ContinueLater();
    // Input that ended inside a deflate block yields nothing yet; more is coming.
    return produced == 0 ? -1 : static_cast<int>(std::min<size_t>(produced, INT_MAX));
}

void CAsyncSocketEx::ContinueLater() {
    if (!inflating_ && !lines_waiting_) {
        return;
    }
    const std::shared_ptr<SocketReactor> reactor = Reactor();
    if (!reactor || continuation_posted_) {
        return;
    }
    continuation_posted_ = true;
    // A turn of its own, as if more had arrived: the socket's other notifications, and the
    // other sockets of the thread, come first.
    reactor->Post([weak = weak_from_this()] {
        const auto self = std::static_pointer_cast<CAsyncSocketEx>(weak.lock());
        if (!self) {
            return;
        }
        self->continuation_posted_ = false;
        if (self->IsOpen() && (self->inflating_ || self->lines_waiting_)) {
            self->OnReceive(0);
        }
    });
}

size_t CAsyncSocketEx::TurnBytes() const {
    return IsTrusted() || AskedBulkBytes() > 0 ? kBulkTurnBytes : kStrangerTurnBytes;
}

size_t CAsyncSocketEx::TurnLines() const {
    return IsTrusted() ? SIZE_MAX : kStrangerTurnLines;
}

int CAsyncSocketEx::Receive(int /*flags*/) {
    if (inflating_ || transform_.Compression()) {
        return ReceiveCompressed();
    }
    uint8_t* target = nullptr;
    size_t room = 0;
    const bool intoBlock = block_.active && !block_.Complete();
    const bool gathered = intoBlock && !block_.sink && !block_.discard;
    if (gathered) {
        // The block grows by what has arrived, not by what its line announced.
        room = std::min(block_.Remaining(), std::max(Available(), kLineGrowth));
        block_.data.resize(std::max(block_.data.size(), block_.received + room));
        target = block_.data.data() + block_.received;
    } else if (intoBlock) {
        EnsurePieceBuffer();
        target = produced_.data();
        room = std::min(produced_.size(), block_.Remaining());
    } else {
        target = line_.Room(kLineGrowth, kLineGrowth);
        room = std::min(line_.RoomSize(), TurnBytes());
    }
    const int received = AsyncSocket::Receive(target, room);
    if (received <= 0) {
        return received;
    }
    if (!transform_.DecodeInPlace(target, static_cast<size_t>(received))) {
        return -1;
    }
    if (gathered) {
        block_.received += static_cast<size_t>(received);
    } else if (intoBlock) {
        FeedBlock(target, static_cast<size_t>(received));
    } else {
        line_.Commit(static_cast<size_t>(received));
    }
    return received;
}

int CAsyncSocketEx::ProcessReceivedData(int /*error*/) {
    turn_lines_left_ = TurnLines();
    if (lines_waiting_) {
        // What came before is handled before anything more is read: a peer's lines never pile
        // up in the node faster than its turns take them.
        lines_waiting_ = false;
        if (!DispatchLines(false) || !IsOpen()) {
            return 0;
        }
        if (lines_waiting_) {
            ContinueLater();
            return 1;
        }
    }
    const int received = Receive(0);
    if (received <= 0) {
        return received;
    }
    if (!DispatchLines(true)) {
        return 0;
    }
    ContinueLater();
    return received;
}

bool CAsyncSocketEx::DispatchLines(bool checkLength) {
    if (auto_detect_ && !detected_) {
        if (line_.Size() < 2) {
            return true;
        }
        wide_ = line_.Data()[1] == 0;
        char_size_ = wide_ ? 2 : 1;
        detected_ = true;
    }
    bool continueProcessing = true;
    while (continueProcessing) {
        if (block_.active && !block_.Complete()) {
            break;
        }
        const std::optional<size_t> lineEnd = FindLineEnd(line_.Data(), line_.Size(), wide_);
        const size_t lineBytes = lineEnd ? *lineEnd : line_.Size();
        if (checkLength && lineBytes > kMaxLineCharacters * char_size_) {
            EndConnection(
                platform::Format("a text line longer than %zu characters", kMaxLineCharacters));
            return false;
        }
        if (!lineEnd) {
            break;
        }
        if (turn_lines_left_ == 0) {
            lines_waiting_ = true;
            break;
        }
        --turn_lines_left_;
        const size_t lineLength = *lineEnd;
        const std::string line = DecodeLineText(line_.Data(), lineLength, wide_);
        std::string word;
        std::string parameters;
        SplitCommandLine(line, word, parameters);
        bool handled = true;
        try {
            handled = ProcessCommand(lineLength, word, parameters, continueProcessing);
        } catch (const CommandAbort&) {
            return false;
        } catch (const std::exception& error) {
            OnProcessCommandError(word, parameters,
                                  CutToCharacters(error.what(), kReportedErrorLength));
            line_.Clear();
        } catch (...) {
            OnProcessCommandError(word, parameters, std::string());
            return true;
        }
        // A peer that is not trusted is not heard for long while it says nothing the node
        // takes: the rest of what it sent is not even looked at.
        if (!handled && !IsTrusted() && ++refused_lines_ > refused_line_allowance_) {
            EndConnection(RefusedLinesReason());
            return false;
        }
    }
    return true;
}

void CAsyncSocketEx::EndConnection(const std::string& reason) {
    OnProtocolViolation(reason);
    DropReceivedText();
    DropPendingBlock();
    if (IsOpen()) {
        Close();
        OnClose(0);
    }
}

std::string CAsyncSocketEx::RefusedLinesReason() const {
    if (authorised_.load()) {
        return platform::Format("more than %zu refused lines, not being the central server's",
                                refused_line_allowance_);
    }
    return platform::Format("more than %zu refused lines before its authorisation",
                            refused_line_allowance_);
}

void CAsyncSocketEx::DropReceivedText() {
    line_.Clear();
    lines_waiting_ = false;
}

size_t CAsyncSocketEx::InflateLimit() const {
    if (!IsTrusted()) {
        const size_t asked = AskedBulkBytes();
        return asked > SIZE_MAX - kStrangerInflateLimit ? SIZE_MAX : kStrangerInflateLimit + asked;
    }
    // The end of one block, a line and another whole block may come in one piece; nothing the
    // central server sends inflates further.
    const size_t block = std::max(maximum_block_length_, kMinInflateBlock);
    const size_t line = kMaxLineCharacters * 2 + 2;
    return block > (SIZE_MAX - line) / 2 ? SIZE_MAX : 2 * block + line;
}

size_t CAsyncSocketEx::PieceInflateLimit() {
    piece_limit_ = std::max(piece_limit_, InflateLimit());
    return piece_limit_;
}

void CAsyncSocketEx::RemoveProcessedData(size_t lineLength) {
    // Only the start moves: the lines after it stay where they are.
    line_.Consume(lineLength + char_size_);
}

const uint8_t* CAsyncSocketEx::DataAfterLine(size_t lineLength) const {
    return line_.Data() + std::min(line_.Size(), lineLength + char_size_);
}

size_t CAsyncSocketEx::AvailableAfterLine(size_t lineLength) const {
    const size_t start = lineLength + char_size_;
    return line_.Size() > start ? line_.Size() - start : 0;
}

void CAsyncSocketEx::RemoveAfterLine(size_t lineLength, size_t count) {
    line_.Erase(lineLength + char_size_, count);
}

bool CAsyncSocketEx::ProcessCommand(size_t lineLength, const std::string& word,
                                    const std::string& parameters, bool& continueProcessing) {
    const CSocketCommand* command = nullptr;
    {
        platform::CriticalSectionLock guard(commands_lock_);
        const auto found = commands_.find(word);
        if (found != commands_.end()) {
            command = &found->second;
        }
    }
    if (command == nullptr) {
        RemoveProcessedData(lineLength);
        OnCommandNotFound(CutToCharacters(word, kReportedWordLength),
                          CutToCharacters(parameters, kReportedParametersLength));
        return false;
    }
    if (command->NeedsAuthorised() && !authorised_.load()) {
        RemoveProcessedData(lineLength);
        if (command->Type() == kHandlerParametersBlock ||
            command->Type() == kHandlerParametersStream) {
            // The refused command's block is on its way all the same: read past it, so that
            // the line after it is understood.
            const SocketParameters split = SplitParameters(parameters);
            if (const std::optional<size_t> length =
                    ParseBlockLength(BlockLengthText(*command, split), SIZE_MAX)) {
                SkipBlock(*length);
            }
        }
        OnCommandNotAllowed(word, parameters);
        return false;
    }
    SocketParameters split;
    const SocketHandlerType type = command->Type();
    if (type != kHandlerRaw && type != kHandlerRawClaim) {
        split = SplitParameters(parameters);
        int expected = 0;
        if (!command->CheckParameterCount(static_cast<int>(split.size()), expected)) {
            RemoveProcessedData(lineLength);
            OnCommandInvalidArgumentCount(word, parameters, expected,
                                          static_cast<int>(split.size()));
            return false;
        }
    }
    if (type == kHandlerParametersBlock) {
        return DispatchBlockCommand(*command, lineLength, word, parameters, split,
                                    continueProcessing);
    }
    if (type == kHandlerParametersStream) {
        return DispatchStreamCommand(*command, lineLength, word, parameters, split);
    }
    CallHandler(*command, lineLength, parameters, split, continueProcessing);
    return true;
}

std::string CAsyncSocketEx::BlockLengthText(const CSocketCommand& command,
                                            const SocketParameters& parameters) {
    const int index = command.BlockLengthParameter();
    return index >= 0 && static_cast<size_t>(index) < parameters.size()
               ? parameters[static_cast<size_t>(index)]
               : std::string();
}

void CAsyncSocketEx::SkipBlock(size_t length) {
    // The block follows the removed line at the front of the buffer, or is still on its way.
    const size_t dropped = std::min(line_.Size(), length);
    line_.Consume(dropped);
    if (dropped < length) {
        block_ = PendingBlock{};
        block_.active = true;
        block_.discard = true;
        block_.length = length;
        block_.received = dropped;
    }
}

std::optional<size_t> CAsyncSocketEx::AnnouncedBlockLength(const CSocketCommand& command,
                                                           size_t lineLength,
                                                           const std::string& word,
                                                           const std::string& rawParameters,
                                                           const SocketParameters& parameters) {
    const std::string lengthText = BlockLengthText(command, parameters);
    const std::optional<size_t> length = ParseBlockLength(lengthText, maximum_block_length_);
    if (!length) {
        RemoveProcessedData(lineLength);
        if (const std::optional<size_t> oversize = ParseBlockLength(lengthText, SIZE_MAX)) {
            SkipBlock(*oversize);
        }
        OnProcessCommandError(word, CutToCharacters(rawParameters, kReportedParametersLength),
                              platform::Format("Refused block length '%s'", lengthText.c_str()));
    }
    return length;
}

bool CAsyncSocketEx::DispatchBlockCommand(const CSocketCommand& command, size_t lineLength,
                                          const std::string& word, const std::string& rawParameters,
                                          const SocketParameters& parameters,
                                          bool& continueProcessing) {
    if (!block_.active) {
        const std::optional<size_t> length =
            AnnouncedBlockLength(command, lineLength, word, rawParameters, parameters);
        if (!length) {
            return false;
        }
        block_.active = true;
        block_.discard = false;
        block_.length = *length;
        block_.received = std::min(AvailableAfterLine(lineLength), *length);
        const uint8_t* arrived = DataAfterLine(lineLength);
        block_.data.assign(arrived, arrived + block_.received);
        if (block_.received > 0) {
            RemoveAfterLine(lineLength, block_.received);
        }
    }
    if (!block_.Complete()) {
        continueProcessing = false;
        return true;
    }
    RemoveProcessedData(lineLength);
    PendingBlock complete = std::move(block_);
    block_ = PendingBlock{};
    const auto& handler = std::get<kHandlerParametersBlock>(command.Handler());
    handler(parameters, complete.data.data(), complete.length);
    return true;
}

bool CAsyncSocketEx::DispatchStreamCommand(const CSocketCommand& command, size_t lineLength,
                                           const std::string& word,
                                           const std::string& rawParameters,
                                           const SocketParameters& parameters) {
    const std::optional<size_t> length =
        AnnouncedBlockLength(command, lineLength, word, rawParameters, parameters);
    if (!length) {
        return false;
    }
    RemoveProcessedData(lineLength);
    std::unique_ptr<BlockSink> sink =
        std::get<kHandlerParametersStream>(command.Handler())(parameters, *length);
    if (!sink) {
        SkipBlock(*length);
        return true;
    }
    block_ = PendingBlock{};
    block_.active = true;
    block_.length = *length;
    block_.sink = std::move(sink);
    // What came with the line goes on at once; the block may even be complete with it.
    const size_t arrived = std::min(line_.Size(), *length);
    FeedBlock(line_.Data(), arrived);
    line_.Consume(arrived);
    return true;
}

void CAsyncSocketEx::CallHandler(const CSocketCommand& command, size_t lineLength,
                                 const std::string& rawParameters,
                                 const SocketParameters& parameters, bool& continueProcessing) {
    bool claim = false;
    switch (command.Type()) {
        case kHandlerParameters:
            RemoveProcessedData(lineLength);
            std::get<kHandlerParameters>(command.Handler())(parameters);
            break;
        case kHandlerParametersClaim:
            std::get<kHandlerParametersClaim>(command.Handler())(
                parameters, static_cast<int>(lineLength), claim);
            break;
        case kHandlerRaw:
            RemoveProcessedData(lineLength);
            std::get<kHandlerRaw>(command.Handler())(rawParameters);
            break;
        case kHandlerRawClaim:
            std::get<kHandlerRawClaim>(command.Handler())(rawParameters,
                                                          static_cast<int>(lineLength), claim);
            break;
        case kHandlerPlain:
        case kHandlerPlainData: {
            std::vector<const char*> argv;
            argv.reserve(parameters.size() + 1);
            for (const std::string& parameter : parameters) {
                argv.push_back(parameter.c_str());
            }
            argv.push_back(nullptr);
            const int argc = static_cast<int>(parameters.size());
            if (command.Type() == kHandlerPlain) {
                RemoveProcessedData(lineLength);
                std::get<kHandlerPlain>(command.Handler())(command.Context(), argv.data(), argc);
            } else {
                int consumed = 0;
                std::get<kHandlerPlainData>(command.Handler())(
                    command.Context(), argv.data(), argc, static_cast<int>(lineLength),
                    DataAfterLine(lineLength), AvailableAfterLine(lineLength), consumed);
                claim = consumed != 0;
            }
            break;
        }
        case kHandlerParametersBlock:
        case kHandlerParametersStream:
            break;
    }
    if (claim) {
        continueProcessing = false;
    }
}

// ---- Failure hooks: nothing in the base class ----

void CAsyncSocketEx::OnCommandNotFound(const std::string&, const std::string&) {}
void CAsyncSocketEx::OnCommandNotAllowed(const std::string&, const std::string&) {}
void CAsyncSocketEx::OnCommandInvalidArgumentCount(const std::string&, const std::string&, int,
                                                   int) {}
void CAsyncSocketEx::OnProcessCommandError(const std::string&, const std::string&,
                                           const std::string&) {}
void CAsyncSocketEx::OnHeartbeatRoundTrip(int64_t) {}
void CAsyncSocketEx::OnProtocolViolation(const std::string&) {}

}  // namespace ruzd::net
