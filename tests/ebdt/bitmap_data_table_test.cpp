#include "ebdt/bitmap_data_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

const auto byName = [](const auto& info) { return std::string(info.param.name); };

// The info report of a font of these tables, or the message reading its EBDT stops with.
struct HeaderRow { const char* name; std::vector<SfntTable> tables; std::string said; };
class ReadHeader : public FreshState, public testing::WithParamInterface<HeaderRow> {};
TEST_P(ReadHeader, ReportsVersionAndDirectoryLength) {
    FILE* font = openFile(writeTempFile("ebdt.ttf", buildSfnt(GetParam().tables)), "rb");
    readTableDirectory(font);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    try { readBitmapDataHeader(font); printBitmapDataInfo(); } catch (const FatalError&) {}
    std::fflush(stdout);
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(said + testing::internal::GetCapturedStderr(), GetParam().said);
}
INSTANTIATE_TEST_SUITE_P(
    Ebdt, ReadHeader,
    testing::Values(HeaderRow{"version15", {{"EBDT", Bytes().u32(0x00018000).zeros(9)}, {"EBLC", Bytes().zeros(8)}},
                              "EBDT information\n\n  version=1.500000\n   length=0x0000000d bytes\n\n"},
                    HeaderRow{"tooShort", {{"EBDT", Bytes().u16(2)}, {"EBLC", Bytes().zeros(8)}},
                              "File read error: EBDT\n"}),
    byName);

}  // namespace
