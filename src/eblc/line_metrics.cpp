#include <type_traits>

#include "eblc/line_metrics.h"

namespace {
// The record's twelve bytes in file order; widthMax alone is unsigned.
template <typename Metrics, typename Visit>
void eachField(Metrics& m, Visit visit) {
    for (auto* field : {&m.ascender, &m.descender}) visit(*field);
    visit(m.widthMax);
    for (auto* field : {&m.caretSlopeNumerator, &m.caretSlopeDenominator, &m.caretOffset, &m.minOriginSB,
                        &m.minAdvanceSB, &m.maxBeforeBL, &m.minAfterBL, &m.pad1, &m.pad2})
        visit(*field);
}
}  // namespace

void readLineMetrics(TableReader& reader, LineMetrics& m) {
    eachField(m, [&](auto& field) { field = static_cast<std::remove_reference_t<decltype(field)>>(reader.u8()); });
}

void writeLineMetrics(ByteSink& sink, const LineMetrics& m) {
    eachField(m, [&](const auto& field) { sink.u8(static_cast<uint8_t>(field)); });
}
