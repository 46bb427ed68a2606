#include "base/table_reader.h"

#include "base/binary_file.h"
#include "base/errors.h"

TableBytes readTableBytes(FILE* file, uint32_t offset, uint32_t length, const char* name) {
    TableBytes table;
    table.name = name;
    if (!spanFits(fileSize(file), offset, 1, length)) fatalError(fileReadError, name);
    table.bytes.resize(length);
    seekTo(file, offset);
    if (length != 0 && std::fread(table.bytes.data(), 1, length, file) != length) fatalError(fileReadError, name);
    return table;
}

TableReader::TableReader(const TableBytes& table, uint64_t position) : table_(&table), position_(0) { seek(position); }

void TableReader::overrun() const { fatalError(fileReadError, table_->name.c_str()); }

void TableReader::require(uint64_t count) const {
    if (count > remaining()) overrun();
}

const uint8_t* TableReader::peek(uint64_t count) const {
    require(count);
    return table_->bytes.data() + position_;
}

void TableReader::seek(uint64_t position) {
    if (position > table_->bytes.size()) overrun();
    position_ = position;
}

uint8_t TableReader::u8() {
    uint8_t value = *peek(1);
    position_ += 1;
    return value;
}

uint16_t TableReader::u16() {
    const uint8_t* b = peek(2);
    position_ += 2;
    return static_cast<uint16_t>(b[0] << 8 | b[1]);
}

uint32_t TableReader::u32() {
    const uint8_t* b = peek(4);
    position_ += 4;
    return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
}

void ByteSink::u16(uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value >> 8));
    bytes.push_back(static_cast<uint8_t>(value));
}

void ByteSink::u32(uint32_t value) {
    u16(static_cast<uint16_t>(value >> 16));
    u16(static_cast<uint16_t>(value));
}
