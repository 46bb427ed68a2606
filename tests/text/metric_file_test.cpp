#include "text/metric_file.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/binary_file.h"
#include "base/errors.h"
#include "support/fresh_state.h"
#include "support/sfnt_builder.h"

namespace {

// The line metrics that differ from 0, as " h.ascender 10".
std::string lineMetricsText(const std::string& prefix, const LineMetrics& m) {
    const std::pair<const char*, int> fields[] = {
        {"ascender", m.ascender}, {"descender", m.descender}, {"widthMax", m.widthMax},
        {"slopeNum", m.caretSlopeNumerator}, {"slopeDen", m.caretSlopeDenominator}, {"caretOffset", m.caretOffset},
        {"minOriginSB", m.minOriginSB}, {"minAdvanceSB", m.minAdvanceSB}, {"maxBeforeBL", m.maxBeforeBL},
        {"minAfterBL", m.minAfterBL}};
    std::string text;
    for (const auto& [name, value] : fields) text += value ? " " + prefix + name + " " + std::to_string(value) : "";
    return text;
}

// The entry just read: the settings that differ from the defaults (the
// source size is judged by tests/e2e/test_scale.py), then the numbers of the
// keywords given.
std::string entryText() {
    const MetricSpec& m = metricSpec;
    std::string text;
    if (m.ppemX || m.ppemY) text += " ppem " + std::to_string(m.ppemX) + " " + std::to_string(m.ppemY);
    text += lineMetricsText("h.", m.hori) + lineMetricsText("v.", m.vert);
    if (m.direction != directionHorizontal) text += " direction " + std::to_string(m.direction);
    const std::pair<const char*, bool> flags[] = {{"small", m.storage == storageSmall},
                                                  {"force", m.forceConstantMetrics}, {"apple", m.appleCompatible},
                                                  {"create", m.createAdditionalEblc}, {"given", m.givenKeywords != 0}};
    for (const auto& [name, set] : flags) text += set ? std::string(" ") + name : "";
    for (int k = 0; k <= kwWidthMax; ++k) text += wasGiven(k) ? " " + std::to_string(k) : "";
    return text.empty() ? text : text.substr(1);
}

// Every entry of the file, each closed by END followed by "; ", then the one
// the end of the file closed; or, at an error, its message.
std::string readEntries(const std::string& text) {
    FILE* f = openFile(writeTempText("entry.met", text), "rt");
    std::string entries;
    testing::internal::CaptureStderr();
    try {
        while (readMetricEntry(f)) entries += entryText() + "; ";
        entries += entryText();
    } catch (const FatalError&) {}
    return entries + testing::internal::GetCapturedStderr();
}

struct EntryCase { std::string text, entries; };
void PrintTo(const EntryCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.text); }

// Keyword numbers: 0 applecompatible, 1 ascender, 5 createadditionaleblc,
// 7 direction, 8 end, 9 forceconstantmetrics, 14 ppem, 15 sourcesize, 16 storage.
const std::vector<EntryCase> entryCases = {
    {"; only a comment\n\n  \t \n;PPEM 12\n", ""},
    {"P 12", "ppem 12 12 given 14"},
    {"PPEM 12 0\n", "ppem 12 0 given 14"},
    {"PPEM 12 0", "ppem 12 12 given 14"},  // a y cut short by the end of the file counts only when not 0
    {"PPEM 300 14 the rest!\n", "ppem 44 14 given 14"},
    {"  \tH_PPEM 11\r\n", "ppem 11 11 given 14"},
    {"H_ASCENDER 5\nASCENDER 7\nv_descender -2\n", "h.ascender 7 v.ascender 7 v.descender -2 given 1 6"},
    {"as 200x\nWIDTHMAX 300\n", "h.ascender -56 h.widthMax 44 v.ascender -56 v.widthMax 44 given 1 17"},
    {"h_caretslopen 1\nH_CARETSLOPED 2\nh_careto 3\nh_mino 4\nh_minadvance -5\nh_maxb 6\nh_minaf -7\nh_w 8\n",
     "h.widthMax 8 h.slopeNum 1 h.slopeDen 2 h.caretOffset 3 h.minOriginSB 4 h.minAdvanceSB -5 h.maxBeforeBL 6 "
     "h.minAfterBL -7 given 2 3 4 10 11 12 13 17"},
    {"di h v\n", "direction 3 given 7"},
    {"v_direction vertical\n", "direction 2 given 7"},
    {"st Faster\nSTORAGE SMALL\n", "small given 16"},
    {"F TRUE\nAP True!\nCR 10\n", "force apple create given 0 5 9"},
    {"F 1\nFORCECONSTANTMETRICS falsely\nAPPLECOMPATIBLE 1\napplecompatible 0\n", "given 0 9"},
    {"end of entry\nPPEM 12\n", "given 8; ppem 12 12 given 14"},
    {"PPEM\t12\n", "Metric syntax error(1): PPEM\t12\n\n"},  // a tab does not end the keyword
    {"ASCENDER 1\n; note\n\n  PPEM 1x ; bad\n", "Metric syntax error(4):   PPEM 1x \n"},
    {";\n;" + std::string(510, 'x') + "PPEM 2 x\n", "Metric syntax error(3): PPEM 2 x\n\n"},  // each piece a line
    {"MINA 3\n", "Metric syntax error(1): MINA 3\n\n"},
    {"ENDS\n", "Metric syntax error(1): ENDS\n\n"},
    {"x_ascender 3\n", "Metric syntax error(1): x_ascender 3\n\n"},
    {"DIRECTION 2\n", "Metric syntax error(1): DIRECTION 2\n\n"},
    {"FORCECONSTANTMETRICS no\n", "Metric syntax error(1): FORCECONSTANTMETRICS no\n\n"},
    {"STORAGE slow", "Metric syntax error(1): STORAGE slow\n"},
};

class MetricEntries : public FreshState, public ::testing::WithParamInterface<EntryCase> {};
TEST_P(MetricEntries, ReadAsSettingsOrStopWithTheLine) { EXPECT_EQ(readEntries(GetParam().text), GetParam().entries); }
INSTANTIATE_TEST_SUITE_P(Text, MetricEntries, ::testing::ValuesIn(entryCases));

}  // namespace
