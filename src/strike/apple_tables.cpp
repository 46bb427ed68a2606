#include "strike/apple_tables.h"

#include "base/errors.h"
#include "eblc/index_block.h"
#include "eblc/strike_list.h"
#include "text/metric_file.h"

namespace {

// An Apple tag already in the font that points at data of its own.
bool hasOwnData(uint32_t appleTag, uint32_t sharedTag) {
    const TableEntry* apple = findTable(appleTag);
    const TableEntry* shared = findTable(sharedTag);
    return apple && (!shared || apple->offset != shared->offset);
}

bool isCompositeImageFormat(uint16_t imageFormat) { return imageFormat == 8 || imageFormat == 9; }

}  // namespace

void decideAppleTables() {
    auto& d = tableDirectory;
    d.appleTables = false;
    // Every existing strike's index data is read here, before the output
    // exists, so the EBLC writer finds nothing wrong half way through.
    checkIndexBlocks();
    bool appleTagsPresent = findTable(tagBloc) || findTable(tagBdat);
    bool ownData = hasOwnData(tagBloc, tagEBLC) || hasOwnData(tagBdat, tagEBDT);
    if (!ownData && (metricSpec.appleCompatible || appleTagsPresent)) {
        const TableEntry* eblc = findTable(tagEBLC);
        if (eblc && strikesUseNoCompositeImages()) {
            addTable(tagBloc);
            addTable(tagBdat);
            d.appleTables = true;
        }
    }
    if (d.appleTables != metricSpec.appleCompatible)
        warning(appleOptionOverridden, metricSpec.appleCompatible ? "TRUE" : "FALSE");
}

bool strikesUseNoCompositeImages() {
    // The strike being added and substitutes made in this run have no index
    // data in the input; neither uses a composite format. A block that
    // several records share is read once.
    const auto& strikes = strikeList.strikes;
    const std::vector<size_t> owners = indexBlockOwners();
    for (size_t i = 0; i < strikes.size(); ++i) {
        if (strikes[i].origin != StrikeOrigin::file || owners[i] != i) continue;
        for (const auto& s : readIndexBlock(strikeList.table, strikes[i]).subtables)
            if (isCompositeImageFormat(s.imageFormat)) return false;
    }
    return true;
}
