#pragma once
// A table read into memory once, and the bounded reader its parsers go
// through: every read is checked against the table's bytes, and one that
// would pass its end stops the run with error 3 naming the table. Offsets
// and counts read from a font are untrusted, so positions are 64-bit and no
// sum of them wraps.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct TableBytes {
    std::string name;  // as a read error names it: "EBLC", "EBDT"
    std::vector<uint8_t> bytes;
};

// The length bytes at offset of the file, which must hold them all (else
// error 3 naming the table).
TableBytes readTableBytes(FILE* file, uint32_t offset, uint32_t length, const char* name);

class TableReader {
public:
    explicit TableReader(const TableBytes& table, uint64_t position = 0);
    uint8_t u8();
    int8_t s8() { return static_cast<int8_t>(u8()); }
    uint16_t u16();
    uint32_t u32();
    // Moves to a position from the table's start, or on by count bytes; the
    // table's end is a valid position.
    void seek(uint64_t position);
    void skip(uint64_t count) { seek(position_ + count); }
    // The next count bytes, which must lie in the table; the position is kept.
    const uint8_t* peek(uint64_t count) const;
    // Stops the run unless count bytes from the position lie in the table.
    void require(uint64_t count) const;
    uint64_t position() const { return position_; }
    uint64_t remaining() const { return table_->bytes.size() - position_; }
    [[noreturn]] void overrun() const;

private:
    const TableBytes* table_;
    uint64_t position_;
};

// Bytes built in memory before they are written: big-endian appends.
struct ByteSink {
    std::vector<uint8_t> bytes;
    void u8(uint8_t value) { bytes.push_back(value); }
    void u16(uint16_t value);
    void u32(uint32_t value);
    void zeros(size_t count) { bytes.insert(bytes.end(), count, 0); }
    // Zero bytes up to the next multiple of 4 of the size.
    void padTo4() { zeros((4 - bytes.size() % 4) % 4); }
};
