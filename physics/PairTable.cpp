#include "physics/PairTable.h"

void PairTable::addBody()
{
    records.resize(records.size() + bodies);
    ++bodies;
}
