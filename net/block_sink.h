#pragma once

// Where the binary block after a command line goes when it is taken as its bytes arrive rather
// than gathered whole: a block may be far larger than anyone wants to hold in memory (a file
// of gigabytes), and its bytes can go on (into a file) a bounded piece at a time.

#include <cstddef>
#include <cstdint>

namespace ruzd::net {

class BlockSink {
public:
    virtual ~BlockSink() = default;

    // The block's next `length` bytes, in order, in pieces of any size. False when the sink
    // takes no more: the rest of the block is read past, and the sink goes.
    virtual bool Take(const uint8_t* data, size_t length) = 0;
    // Every byte of the block came; the sink goes right after.
    virtual void Finish() = 0;
    // The block will not come whole (the connection ended first); the sink goes right after.
    virtual void Abandon() = 0;
};

}  // namespace ruzd::net
