// Text into the fixed narrow buffers the vendor libraries take.

#include "foundation/char_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace ruzd::foundation {
namespace {

TEST(CharBufferTest, ConvertsCutsAndAlwaysEndsWithZero) {
    char buffer[6];
    std::memset(buffer, 'x', sizeof(buffer));
    const std::string short_text = "S\xC3\xA9";  // "Sé"
    CopyToCharBuffer(buffer, &short_text, sizeof(buffer));
    EXPECT_STREQ(buffer, "S\xE9");

    const std::string long_text = "sip.example.org";
    CopyToCharBuffer(buffer, &long_text, sizeof(buffer));
    EXPECT_EQ(std::string(buffer, sizeof(buffer)), std::string("sip.e\0", 6));

    std::memset(buffer, 'x', sizeof(buffer));
    CopyToCharBuffer(buffer, nullptr, sizeof(buffer));
    EXPECT_EQ(std::string(buffer, sizeof(buffer)), std::string(6, '\0'));

    // Nothing fits in no room at all, not even the end.
    buffer[0] = 'x';
    CopyToCharBuffer(buffer, &short_text, 0);
    EXPECT_EQ(buffer[0], 'x');
    CopyToCharBuffer(buffer, &short_text, 1);
    EXPECT_EQ(buffer[0], '\0');
}

}  // namespace
}  // namespace ruzd::foundation
