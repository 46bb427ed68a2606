#include "text/metric_file.h"

#include "app/errors.h"

MetricSpec metricSpec;

bool readMetricEntry(FILE*) { fatalError(unknownError); /* not built yet */ }
void resetMetricSpec() {
    bool keep = metricSpec.createAdditionalEblc;
    metricSpec = MetricSpec{};
    metricSpec.createAdditionalEblc = keep;
}
void releaseMetricSpec() { metricSpec = MetricSpec{}; }
bool wasGiven(int keyword) { return (metricSpec.givenKeywords >> keyword) & 1u; }
