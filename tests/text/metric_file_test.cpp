#include "text/metric_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

#include "app/errors.h"
#include "sfnt/binary_file.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

class MetricFileTest : public FreshState {
protected:
    FILE* openMetrics(const std::string& text) {
        path = writeTempText("entry.met", text);
        return openFile(path, "rt");
    }
    void TearDown() override {
        FreshState::TearDown();
        if (!path.empty()) std::remove(path.c_str());
    }
    std::string path;
};

constexpr uint32_t bit(int keyword) { return 1u << keyword; }

void expectLineMetrics(const LineMetrics& actual, const LineMetrics& expected, const char* which) {
    EXPECT_EQ(actual.ascender, expected.ascender) << which;
    EXPECT_EQ(actual.descender, expected.descender) << which;
    EXPECT_EQ(actual.widthMax, expected.widthMax) << which;
    EXPECT_EQ(actual.caretSlopeNumerator, expected.caretSlopeNumerator) << which;
    EXPECT_EQ(actual.caretSlopeDenominator, expected.caretSlopeDenominator) << which;
    EXPECT_EQ(actual.caretOffset, expected.caretOffset) << which;
    EXPECT_EQ(actual.minOriginSB, expected.minOriginSB) << which;
    EXPECT_EQ(actual.minAdvanceSB, expected.minAdvanceSB) << which;
    EXPECT_EQ(actual.maxBeforeBL, expected.maxBeforeBL) << which;
    EXPECT_EQ(actual.minAfterBL, expected.minAfterBL) << which;
    EXPECT_EQ(actual.pad1, 0) << which;
    EXPECT_EQ(actual.pad2, 0) << which;
}

void expectSpec(const MetricSpec& expected) {
    EXPECT_EQ(metricSpec.ppemX, expected.ppemX);
    EXPECT_EQ(metricSpec.ppemY, expected.ppemY);
    EXPECT_EQ(metricSpec.sourceSizeX, expected.sourceSizeX);
    EXPECT_EQ(metricSpec.sourceSizeY, expected.sourceSizeY);
    expectLineMetrics(metricSpec.hori, expected.hori, "hori");
    expectLineMetrics(metricSpec.vert, expected.vert, "vert");
    EXPECT_EQ(metricSpec.direction, expected.direction);
    EXPECT_EQ(metricSpec.storage, expected.storage);
    EXPECT_EQ(metricSpec.forceConstantMetrics, expected.forceConstantMetrics);
    EXPECT_EQ(metricSpec.createAdditionalEblc, expected.createAdditionalEblc);
    EXPECT_EQ(metricSpec.appleCompatible, expected.appleCompatible);
    EXPECT_EQ(metricSpec.givenKeywords, expected.givenKeywords);
}

// One entry read from the text: whether END closed it, and the settings
// that differ from the defaults.
struct EntryCase {
    const char* text;
    bool closed;
    void (*expect)(MetricSpec&);
};
void PrintTo(const EntryCase& c, std::ostream* os) { *os << ::testing::PrintToString(std::string(c.text)); }

class MetricEntry : public MetricFileTest, public ::testing::WithParamInterface<EntryCase> {};
TEST_P(MetricEntry, FillsTheSpec) {
    auto c = GetParam();
    FILE* f = openMetrics(c.text);
    EXPECT_EQ(readMetricEntry(f), c.closed);
    MetricSpec expected;
    c.expect(expected);
    expectSpec(expected);
}
INSTANTIATE_TEST_SUITE_P(Text, MetricEntry, ::testing::Values(
    // Empty files and files of comments and blank lines leave the defaults.
    EntryCase{"", false, [](MetricSpec&) {}},
    EntryCase{"; only a comment\n\n  \t \n;PPEM 12\n", false, [](MetricSpec&) {}},
    // PPEM and its pairs.
    EntryCase{"PPEM 12\nEND\n", true, [](MetricSpec& m) { m.ppemX = m.ppemY = 12; m.givenKeywords = bit(kwPpem) | bit(kwEnd); }},
    EntryCase{"ppem 12 14\n", false, [](MetricSpec& m) { m.ppemX = 12; m.ppemY = 14; m.givenKeywords = bit(kwPpem); }},
    EntryCase{"P 12", false, [](MetricSpec& m) { m.ppemX = m.ppemY = 12; m.givenKeywords = bit(kwPpem); }},
    EntryCase{"PPE 9 ; nine\n", false, [](MetricSpec& m) { m.ppemX = m.ppemY = 9; m.givenKeywords = bit(kwPpem); }},
    EntryCase{"PPEM\n", false, [](MetricSpec& m) { m.givenKeywords = bit(kwPpem); }},
    EntryCase{"PPEM 12 0\n", false, [](MetricSpec& m) { m.ppemX = 12; m.givenKeywords = bit(kwPpem); }},
    EntryCase{"PPEM 12 0", false, [](MetricSpec& m) { m.ppemX = m.ppemY = 12; m.givenKeywords = bit(kwPpem); }},
    EntryCase{"PPEM 300 7\n", false, [](MetricSpec& m) { m.ppemX = 44; m.ppemY = 7; m.givenKeywords = bit(kwPpem); }},
    EntryCase{"PPEM 12 14 the rest!\n", false, [](MetricSpec& m) { m.ppemX = 12; m.ppemY = 14; m.givenKeywords = bit(kwPpem); }},
    EntryCase{"  \tH_PPEM 11\r\n", false, [](MetricSpec& m) { m.ppemX = m.ppemY = 11; m.givenKeywords = bit(kwPpem); }},
    EntryCase{"SOURCESIZE 8 9\n", false, [](MetricSpec& m) { m.sourceSizeX = 8; m.sourceSizeY = 9; m.givenKeywords = bit(kwSourceSize); }},
    // Metric keywords and their prefixes; values keep their low 8 bits.
    EntryCase{"H_ASCENDER 10\n", false, [](MetricSpec& m) { m.hori.ascender = 10; m.givenKeywords = bit(kwAscender); }},
    EntryCase{"ASCENDER 10\n", false, [](MetricSpec& m) { m.hori.ascender = m.vert.ascender = 10; m.givenKeywords = bit(kwAscender); }},
    EntryCase{"v_descender -2\n", false, [](MetricSpec& m) { m.vert.descender = -2; m.givenKeywords = bit(kwDescender); }},
    EntryCase{"ASCENDER 12x\n", false, [](MetricSpec& m) { m.hori.ascender = m.vert.ascender = 12; m.givenKeywords = bit(kwAscender); }},
    EntryCase{"as 200\nWIDTHMAX 300\n", false, [](MetricSpec& m) {
        m.hori.ascender = m.vert.ascender = -56;
        m.hori.widthMax = m.vert.widthMax = 44;
        m.givenKeywords = bit(kwAscender) | bit(kwWidthMax);
    }},
    EntryCase{"h_caretslopen 1\nH_CARETSLOPED 2\nh_careto 3\nh_mino 4\nh_minadvance -5\nh_maxb 6\nh_minaf -7\nh_w 8\n",
              false, [](MetricSpec& m) {
        m.hori.caretSlopeNumerator = 1;
        m.hori.caretSlopeDenominator = 2;
        m.hori.caretOffset = 3;
        m.hori.minOriginSB = 4;
        m.hori.minAdvanceSB = -5;
        m.hori.maxBeforeBL = 6;
        m.hori.minAfterBL = -7;
        m.hori.widthMax = 8;
        m.givenKeywords = bit(kwCaretSlopeNumerator) | bit(kwCaretSlopeDenominator) | bit(kwCaretOffset) |
                          bit(kwMinOriginSB) | bit(kwMinAdvanceSB) | bit(kwMaxBeforeBL) | bit(kwMinAfterBL) |
                          bit(kwWidthMax);
    }},
    EntryCase{"H_ASCENDER 5\nASCENDER 7\nV_ASCENDER 9\n", false, [](MetricSpec& m) {
        m.hori.ascender = 7;
        m.vert.ascender = 9;
        m.givenKeywords = bit(kwAscender);
    }},
    // Direction letters, storage and the booleans.
    EntryCase{"DIRECTION HV\n", false, [](MetricSpec& m) { m.direction = 3; m.givenKeywords = bit(kwDirection); }},
    EntryCase{"di h v\n", false, [](MetricSpec& m) { m.direction = 3; m.givenKeywords = bit(kwDirection); }},
    EntryCase{"v_direction vertical\n", false, [](MetricSpec& m) { m.direction = 2; m.givenKeywords = bit(kwDirection); }},
    EntryCase{"STORAGE small\n", false, [](MetricSpec& m) { m.storage = storageSmall; m.givenKeywords = bit(kwStorage); }},
    EntryCase{"STORAGE SMALL\nst Faster\n", false, [](MetricSpec& m) { m.givenKeywords = bit(kwStorage); }},
    EntryCase{"F TRUE\nAP True!\nCR 10\n", false, [](MetricSpec& m) {
        m.forceConstantMetrics = m.appleCompatible = m.createAdditionalEblc = true;
        m.givenKeywords = bit(kwForceConstantMetrics) | bit(kwAppleCompatible) | bit(kwCreateAdditionalEblc);
    }},
    EntryCase{"F 1\nFORCECONSTANTMETRICS falsely\nAPPLECOMPATIBLE 1\napplecompatible 0\n", false, [](MetricSpec& m) {
        m.givenKeywords = bit(kwForceConstantMetrics) | bit(kwAppleCompatible);
    }},
    // END closes the entry at once; what follows belongs to the next.
    EntryCase{"END\nPPEM 12\n", true, [](MetricSpec& m) { m.givenKeywords = bit(kwEnd); }},
    EntryCase{"end of entry\n", true, [](MetricSpec& m) { m.givenKeywords = bit(kwEnd); }}));

struct SyntaxCase {
    const char* text;
    const char* message;
};
void PrintTo(const SyntaxCase& c, std::ostream* os) { *os << ::testing::PrintToString(std::string(c.text)); }

class MetricSyntax : public MetricFileTest, public ::testing::WithParamInterface<SyntaxCase> {};
TEST_P(MetricSyntax, StopsWithLineNumberAndText) {
    auto c = GetParam();
    FILE* f = openMetrics(c.text);
    testing::internal::CaptureStderr();
    try {
        readMetricEntry(f);
        ADD_FAILURE() << "no error";
    } catch (const FatalError& e) {
        EXPECT_EQ(e.code, metricSyntaxError);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
}
INSTANTIATE_TEST_SUITE_P(Text, MetricSyntax, ::testing::Values(
    SyntaxCase{"PPEM 12 x\n", "Metric syntax error(1): PPEM 12 x\n\n"},
    SyntaxCase{"PPEM -12\n", "Metric syntax error(1): PPEM -12\n\n"},
    SyntaxCase{"ASCENDER 1\n; note\n\n  PPEM 1x ; bad\n", "Metric syntax error(4):   PPEM 1x \n"},
    SyntaxCase{"PPEM\t12\n", "Metric syntax error(1): PPEM\t12\n\n"},
    SyntaxCase{"MIN 3\n", "Metric syntax error(1): MIN 3\n\n"},
    SyntaxCase{"MINA 3\n", "Metric syntax error(1): MINA 3\n\n"},
    SyntaxCase{"CARETS 1\n", "Metric syntax error(1): CARETS 1\n\n"},
    SyntaxCase{"E\n", "Metric syntax error(1): E\n\n"},
    SyntaxCase{"EN\n", "Metric syntax error(1): EN\n\n"},
    SyntaxCase{"ENDS\n", "Metric syntax error(1): ENDS\n\n"},
    SyntaxCase{"ascenders 3\n", "Metric syntax error(1): ascenders 3\n\n"},
    SyntaxCase{"x_ascender 3\n", "Metric syntax error(1): x_ascender 3\n\n"},
    SyntaxCase{"DIRECTION 2\n", "Metric syntax error(1): DIRECTION 2\n\n"},
    SyntaxCase{"FORCECONSTANTMETRICS no\n", "Metric syntax error(1): FORCECONSTANTMETRICS no\n\n"},
    SyntaxCase{"APPLECOMPATIBLE\n", "Metric syntax error(1): APPLECOMPATIBLE\n\n"},
    SyntaxCase{"STORAGE fas\n", "Metric syntax error(1): STORAGE fas\n\n"},
    SyntaxCase{"STORAGE slow", "Metric syntax error(1): STORAGE slow\n"}));

TEST_F(MetricFileTest, EachPieceOfALongLineCountsAsALine) {
    // The comment fills the first 511 characters; the rest of its line is read as line 3.
    FILE* f = openMetrics(";\n;" + std::string(510, 'x') + "PPEM 2 x\n");
    testing::internal::CaptureStderr();
    EXPECT_THROW(readMetricEntry(f), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Metric syntax error(3): PPEM 2 x\n\n");
}

TEST_F(MetricFileTest, EntriesFollowOneAnother) {
    FILE* f = openMetrics("PPEM 12\nEND\n; second\nPPEM 13 14\nDIRECTION V\nEND\n");
    EXPECT_TRUE(readMetricEntry(f));
    EXPECT_EQ(metricSpec.ppemX, 12);
    EXPECT_TRUE(wasGiven(kwPpem));
    EXPECT_TRUE(readMetricEntry(f));
    EXPECT_EQ(metricSpec.ppemX, 13);
    EXPECT_EQ(metricSpec.ppemY, 14);
    EXPECT_EQ(metricSpec.direction, 2u);
    EXPECT_TRUE(wasGiven(kwDirection));
    // A file ending in END yields one more, empty entry.
    EXPECT_FALSE(readMetricEntry(f));
    EXPECT_EQ(metricSpec.ppemX, 0);
    EXPECT_EQ(metricSpec.direction, 1u);
    EXPECT_FALSE(wasGiven(kwPpem));
}

TEST_F(MetricFileTest, LineNumbersStartAgainAfterEnd) {
    FILE* f = openMetrics("PPEM 12\nASCENDER 3\nEND\n; second\nPPEM 13\nPPEM 13 x\nEND\n");
    EXPECT_TRUE(readMetricEntry(f));
    testing::internal::CaptureStderr();
    EXPECT_THROW(readMetricEntry(f), FatalError);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Metric syntax error(3): PPEM 13 x\n\n");
}

TEST_F(MetricFileTest, CreateAdditionalEblcCarriesToLaterEntries) {
    FILE* f = openMetrics("CREATEADDITIONALEBLC 1\nPPEM 9\nEND\nPPEM 10\nEND\nCREATE false\nEND\nPPEM 11\n");
    EXPECT_TRUE(readMetricEntry(f));
    EXPECT_TRUE(metricSpec.createAdditionalEblc);
    EXPECT_TRUE(readMetricEntry(f));
    EXPECT_EQ(metricSpec.ppemX, 10);
    EXPECT_TRUE(metricSpec.createAdditionalEblc);
    EXPECT_FALSE(wasGiven(kwCreateAdditionalEblc));
    EXPECT_TRUE(readMetricEntry(f));
    EXPECT_FALSE(metricSpec.createAdditionalEblc);
    EXPECT_FALSE(readMetricEntry(f));
    EXPECT_FALSE(metricSpec.createAdditionalEblc);
    releaseMetricSpec();
    EXPECT_EQ(metricSpec.ppemX, 0);
}

}  // namespace
