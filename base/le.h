// base/le.h -- little-endian numbers in memory: a cursor that reads them from a byte buffer and
// never steps past its end, and the helpers that store them.
//
// A read that wants more bytes than are left gives 0, moves the cursor to its end and sets the
// sticky `overrun` flag, so a parser reads a whole record and checks once at the end: a cut-short
// record yields values that are refused, never bytes from beyond the buffer.
#pragma once
#include <cstddef>
#include <cstdint>

struct LeCursor {
    const uint8_t* at;   // next byte to read
    const uint8_t* end;  // one past the last byte
    bool overrun;        // a read wanted bytes beyond end; stays set
};

inline LeCursor le_cursor(const void* data, size_t size) {
    const uint8_t* p = (const uint8_t*)data;
    return {p, p + size, false};
}

// The next n bytes, or null when fewer are left.
inline const uint8_t* le_take(LeCursor* c, size_t n) {
    if ((size_t)(c->end - c->at) < n) {
        c->at = c->end;
        c->overrun = true;
        return nullptr;
    }
    const uint8_t* p = c->at;
    c->at += n;
    return p;
}

inline size_t le_left(const LeCursor* c) { return (size_t)(c->end - c->at); }
inline void le_skip(LeCursor* c, size_t n) { le_take(c, n); }

inline uint8_t le_u8(LeCursor* c) {
    const uint8_t* p = le_take(c, 1);
    return p ? p[0] : 0;
}

inline uint16_t le_u16(LeCursor* c) {
    const uint8_t* p = le_take(c, 2);
    return p ? (uint16_t)(p[0] | p[1] << 8) : 0;
}

inline uint32_t le_u32(LeCursor* c) {
    const uint8_t* p = le_take(c, 4);
    return p ? (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24 : 0;
}

inline int32_t le_i32(LeCursor* c) { return (int32_t)le_u32(c); }

// Storing: p must hold the 2 or 4 bytes.
inline void le_store_u16(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

inline void le_store_u32(uint8_t* p, uint32_t v) {
    le_store_u16(p, v);
    le_store_u16(p + 2, v >> 16);
}

inline void le_store_i32(uint8_t* p, int32_t v) { le_store_u32(p, (uint32_t)v); }
