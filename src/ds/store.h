// The six tables of data structures that scripts address by number.
#pragma once

#include "ds/containers.h"
#include "ds/grid.h"
#include "ds/table.h"

namespace tb {

// Shown by every ds_* function whose number names no live structure of its kind.
inline constexpr const char* kNoDataStructure = "Data structure with index does not exist.";

struct DataStructures {
    DsTable<CDS_Stack> stacks;
    DsTable<CDS_Queue> queues;
    DsTable<CDS_List> lists;
    DsTable<CDS_Map> maps;
    DsTable<CDS_Priority> priorities;
    DsTable<CDS_Grid> grids;
};

}  // namespace tb
