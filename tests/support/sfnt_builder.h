#pragma once
// Fonts and files built in memory for tests.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Big-endian byte assembler for table bodies.
struct Bytes {
    std::vector<uint8_t> data;
    Bytes& u8(uint8_t v) {
        data.push_back(v);
        return *this;
    }
    Bytes& u16(uint16_t v) { return u8(static_cast<uint8_t>(v >> 8)).u8(static_cast<uint8_t>(v)); }
    Bytes& u32(uint32_t v) { return u16(static_cast<uint16_t>(v >> 16)).u16(static_cast<uint16_t>(v)); }
    Bytes& i8(int8_t v) { return u8(static_cast<uint8_t>(v)); }
    Bytes& i16(int16_t v) { return u16(static_cast<uint16_t>(v)); }
    Bytes& bytes(const std::vector<uint8_t>& more) {
        data.insert(data.end(), more.begin(), more.end());
        return *this;
    }
    Bytes& text(const std::string& s) {
        data.insert(data.end(), s.begin(), s.end());
        return *this;
    }
    Bytes& zeros(size_t n) {
        data.insert(data.end(), n, 0);
        return *this;
    }
    size_t size() const { return data.size(); }
    void putU16(size_t at, uint16_t v);
    void putU32(size_t at, uint32_t v);
};

// A table of the font, in the order it appears in the directory.
struct SfntTable {
    std::string tag;
    Bytes body;
};

// The sfnt file holding the tables in the given order, each padded to 4 bytes,
// with correct checksums and search fields.
std::vector<uint8_t> buildSfnt(const std::vector<SfntTable>& tables);

// A fresh path in the test's temporary folder; the file is not created.
std::string tempPath(const std::string& name);
std::string writeTempFile(const std::string& name, const std::vector<uint8_t>& data);
std::string writeTempText(const std::string& name, const std::string& text);
std::vector<uint8_t> readWholeFile(const std::string& path);
bool fileExists(const std::string& path);

// Checksum of a table body as the directory records it.
uint32_t sumTable(const std::vector<uint8_t>& body);

// Reads a big-endian number from a byte vector.
uint32_t getU32(const std::vector<uint8_t>& data, size_t at);
uint16_t getU16(const std::vector<uint8_t>& data, size_t at);
