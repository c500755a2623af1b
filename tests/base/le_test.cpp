// tests/base/le_test.cpp -- the little-endian cursor: values worked out by hand, and a read past
// the end that gives 0 and stays reported.
#include "base/le.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(LeCursor, reads_in_order_and_reports_running_past_the_end) {
    const uint8_t bytes[] = {0x7F, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0xAA};
    LeCursor c = le_cursor(bytes, sizeof bytes);
    EXPECT_EQ(le_u8(&c), 0x7F);
    EXPECT_EQ(le_u16(&c), 0x1234);
    EXPECT_EQ(le_u32(&c), 0x12345678u);
    EXPECT_EQ(le_i32(&c), -2);
    EXPECT_FALSE(c.overrun);
    EXPECT_EQ(le_left(&c), 1u);

    // Two bytes wanted, one left: 0, the cursor at its end, and every later read fails too.
    EXPECT_EQ(le_u16(&c), 0);
    EXPECT_TRUE(c.overrun);
    EXPECT_EQ(le_left(&c), 0u);
    EXPECT_EQ(le_u8(&c), 0);
    EXPECT_TRUE(c.overrun);

    uint8_t out[6] = {};
    le_store_u16(out, 0xBEEF);
    le_store_i32(out + 2, -2);
    const uint8_t want[6] = {0xEF, 0xBE, 0xFE, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(out, want, sizeof out), 0);
}
