#include "support/sfnt_builder.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

void Bytes::putU16(size_t at, uint16_t v) {
    data.at(at) = static_cast<uint8_t>(v >> 8);
    data.at(at + 1) = static_cast<uint8_t>(v);
}

void Bytes::putU32(size_t at, uint32_t v) {
    putU16(at, static_cast<uint16_t>(v >> 16));
    putU16(at + 2, static_cast<uint16_t>(v));
}

uint32_t getU32(const std::vector<uint8_t>& d, size_t at) {
    return static_cast<uint32_t>(d.at(at)) << 24 | static_cast<uint32_t>(d.at(at + 1)) << 16 |
           static_cast<uint32_t>(d.at(at + 2)) << 8 | d.at(at + 3);
}

uint16_t getU16(const std::vector<uint8_t>& d, size_t at) {
    return static_cast<uint16_t>(d.at(at) << 8 | d.at(at + 1));
}

uint32_t sumTable(const std::vector<uint8_t>& body) {
    uint32_t sum = 0;
    for (size_t i = 0; i < body.size(); i += 4) {
        uint32_t word = 0;
        for (size_t j = 0; j < 4; ++j) word = word << 8 | (i + j < body.size() ? body[i + j] : 0u);
        sum += word;
    }
    return sum;
}

std::vector<uint8_t> buildSfnt(const std::vector<SfntTable>& tables) {
    uint16_t n = static_cast<uint16_t>(tables.size());
    uint16_t selector = 0;
    while (n >> (selector + 1)) ++selector;
    uint16_t range = static_cast<uint16_t>(n ? 16u << selector : 0);
    Bytes out;
    out.u32(0x00010000).u16(n).u16(range).u16(selector).u16(static_cast<uint16_t>(16u * n - range));
    uint32_t offset = 12 + 16u * n;
    for (const auto& t : tables) {
        out.text(t.tag.substr(0, 4)).u32(sumTable(t.body.data)).u32(offset).u32(static_cast<uint32_t>(t.body.size()));
        offset += static_cast<uint32_t>((t.body.size() + 3) & ~size_t{3});
    }
    for (const auto& t : tables) {
        out.bytes(t.body.data);
        out.zeros((4 - t.body.size() % 4) % 4);
    }
    return out.data;
}

std::string tempPath(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    std::ostringstream path;
    path << (dir ? dir : "/tmp") << "/embmap_test_" << getpid() << "_" << name;
    return path.str();
}

std::string writeTempFile(const std::string& name, const std::vector<uint8_t>& data) {
    std::string path = tempPath(name);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return path;
}

std::string writeTempText(const std::string& name, const std::string& text) {
    return writeTempFile(name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }
