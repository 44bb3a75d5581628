#include "stats/statistics.h"

#include <memory>

SequenceTables SnapshotTables(const CStatistics& model) {
  SequenceTables tables;
  for (int n = 0; n < kTableCount; ++n) {
    uint32_t count = 0;
    const std::unique_ptr<CFrequencyTable::Node[]> entries = model.Tables[n].GetEntries(count);
    tables[n].reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
      tables[n].push_back({entries[i].Key, entries[i].Value});
    }
  }
  return tables;
}
