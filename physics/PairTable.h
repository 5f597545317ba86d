#pragma once

#include <vector>

#include "physics/PairRecord.h"

// One pair record per unordered pair of a list of bodies. A body added at
// the end of the list adds its own pairs only: pair (i, j), i < j, is kept
// at j (j - 1) / 2 + i, so no record moves to another slot.
class PairTable {
public:
    // The pairs of a new last body with each body before it.
    void addBody();
    int bodyCount() const { return bodies; }
    int size() const { return static_cast<int>(records.size()); }

    // i < j < bodyCount().
    PairRecord& record(int i, int j) { return records[slot(i, j)]; }
    const PairRecord& record(int i, int j) const { return records[slot(i, j)]; }
    // Every record, by slot.
    std::vector<PairRecord>& all() { return records; }
    const std::vector<PairRecord>& all() const { return records; }

    static int slot(int i, int j) { return j * (j - 1) / 2 + i; }

private:
    int bodies = 0;
    std::vector<PairRecord> records;
};
