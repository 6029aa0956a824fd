// Grids addressed by number.
#include "ds/grid.h"
#include "ds/store.h"
#include "functions/register.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/registry.h"

namespace tb {

namespace {

// Every handler shares this signature; the macro keeps the families below readable.
#define TB_GRID_HANDLER(name)                                         \
    void name(ScriptEngine& engine, CInstance*, CInstance*, int argc, \
              [[maybe_unused]] RValue& result, const RValue* args)

const RValue kNoArgument;

const RValue& Arg(int argc, const RValue* args, int i) {
    return i < argc ? args[i] : kNoArgument;
}
int32_t Int(int argc, const RValue* args, int i) {
    return RoundToInt32(Arg(argc, args, i).real);
}
double Real(int argc, const RValue* args, int i) {
    return Arg(argc, args, i).real;
}

// The grid named by argument i, or null after the message.
CDS_Grid* GridArg(ScriptEngine& engine, int argc, const RValue* args, int i) {
    CDS_Grid* grid = engine.data_structures->grids.Find(Int(argc, args, i));
    if (!grid) ShowRuntimeError(engine, kNoDataStructure, false);
    return grid;
}

// ---- creation, size, copy, text

TB_GRID_HANDLER(ds_grid_create) {
    // An oversized request gives an empty grid rather than no number at all.
    result.SetReal(engine.data_structures->grids.Create(Int(argc, args, 0), Int(argc, args, 1)));
}

TB_GRID_HANDLER(ds_grid_destroy) {
    if (GridArg(engine, argc, args, 0)) engine.data_structures->grids.Destroy(Int(argc, args, 0));
}

TB_GRID_HANDLER(ds_grid_copy) {
    CDS_Grid* grid = GridArg(engine, argc, args, 0);
    if (!grid) return;
    if (const CDS_Grid* source = GridArg(engine, argc, args, 1)) grid->CopyFrom(source);
}

TB_GRID_HANDLER(ds_grid_resize) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0))
        g->Resize(Int(argc, args, 1), Int(argc, args, 2));
}

TB_GRID_HANDLER(ds_grid_width) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0)) result.SetReal(g->Width());
}

TB_GRID_HANDLER(ds_grid_height) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0)) result.SetReal(g->Height());
}

TB_GRID_HANDLER(ds_grid_clear) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0)) g->SetAll(Arg(argc, args, 1));
}

TB_GRID_HANDLER(ds_grid_shuffle) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0)) g->Shuffle(engine.random);
}

TB_GRID_HANDLER(ds_grid_write) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0)) result.SetString(RString(g->WriteText()));
}

TB_GRID_HANDLER(ds_grid_read) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0)) g->ReadText(Arg(argc, args, 1).text.view());
}

TB_GRID_HANDLER(ds_grid_get) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0))
        result = g->Get(Int(argc, args, 1), Int(argc, args, 2));
}

// ---- set, add and multiply on a cell, a region, a disk and another grid's region

template <GridOp Op>
TB_GRID_HANDLER(GridCell) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0))
        g->Apply(Op, Int(argc, args, 1), Int(argc, args, 2), Arg(argc, args, 3));
}

template <GridOp Op>
TB_GRID_HANDLER(GridRegion) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0))
        g->ApplyRegion(Op, Int(argc, args, 1), Int(argc, args, 2), Int(argc, args, 3),
                       Int(argc, args, 4), Arg(argc, args, 5));
}

template <GridOp Op>
TB_GRID_HANDLER(GridDisk) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0))
        g->ApplyDisk(Op, Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3),
                     Arg(argc, args, 4));
}

template <GridOp Op>
TB_GRID_HANDLER(GridFromGrid) {
    CDS_Grid* g = GridArg(engine, argc, args, 0);
    if (!g) return;
    const CDS_Grid* source = GridArg(engine, argc, args, 1);
    if (!source) return;
    g->ApplyGridRegion(Op, *source, Int(argc, args, 2), Int(argc, args, 3), Int(argc, args, 4),
                       Int(argc, args, 5), Int(argc, args, 6), Int(argc, args, 7));
}

// ---- aggregates and searches

using RegionAggregate = double (CDS_Grid::*)(int32_t, int32_t, int32_t, int32_t) const;
using DiskAggregate = double (CDS_Grid::*)(double, double, double) const;

template <RegionAggregate F>
TB_GRID_HANDLER(GridRegionAggregate) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0))
        result.SetReal((g->*F)(Int(argc, args, 1), Int(argc, args, 2), Int(argc, args, 3),
                               Int(argc, args, 4)));
}

template <DiskAggregate F>
TB_GRID_HANDLER(GridDiskAggregate) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0))
        result.SetReal((g->*F)(Real(argc, args, 1), Real(argc, args, 2), Real(argc, args, 3)));
}

// Which part of a search result a function gives.
enum class FindPart { kExists, kX, kY };

double PartOf(const GridFind& f, FindPart part) {
    switch (part) {
        case FindPart::kExists:
            return f.found ? 1 : 0;
        case FindPart::kX:
            return f.x;
        case FindPart::kY:
            return f.y;
    }
    return 0;
}

template <FindPart P>
TB_GRID_HANDLER(GridRegionFind) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0))
        result.SetReal(
            PartOf(g->RegionFind(Int(argc, args, 1), Int(argc, args, 2), Int(argc, args, 3),
                                 Int(argc, args, 4), Arg(argc, args, 5)),
                   P));
}

template <FindPart P>
TB_GRID_HANDLER(GridDiskFind) {
    if (CDS_Grid* g = GridArg(engine, argc, args, 0))
        result.SetReal(PartOf(g->DiskFind(Real(argc, args, 1), Real(argc, args, 2),
                                          Real(argc, args, 3), Arg(argc, args, 4)),
                              P));
}

#undef TB_GRID_HANDLER

}  // namespace

void RegisterDsGridFunctions(FunctionRegistry& r) {
    using enum GridOp;
    using enum FindPart;
    r.Register("ds_grid_create", &ds_grid_create, 2);
    r.Register("ds_grid_destroy", &ds_grid_destroy, 1);
    r.Register("ds_grid_copy", &ds_grid_copy, 2);
    r.Register("ds_grid_resize", &ds_grid_resize, 3);
    r.Register("ds_grid_width", &ds_grid_width, 1);
    r.Register("ds_grid_height", &ds_grid_height, 1);
    r.Register("ds_grid_clear", &ds_grid_clear, 2);
    r.Register("ds_grid_set", &GridCell<kSet>, 4);
    r.Register("ds_grid_add", &GridCell<kAdd>, 4);
    r.Register("ds_grid_multiply", &GridCell<kMultiply>, 4);
    r.Register("ds_grid_set_region", &GridRegion<kSet>, 6);
    r.Register("ds_grid_add_region", &GridRegion<kAdd>, 6);
    r.Register("ds_grid_multiply_region", &GridRegion<kMultiply>, 6);
    r.Register("ds_grid_set_disk", &GridDisk<kSet>, 5);
    r.Register("ds_grid_add_disk", &GridDisk<kAdd>, 5);
    r.Register("ds_grid_multiply_disk", &GridDisk<kMultiply>, 5);
    r.Register("ds_grid_set_grid_region", &GridFromGrid<kSet>, 8);
    r.Register("ds_grid_add_grid_region", &GridFromGrid<kAdd>, 8);
    r.Register("ds_grid_multiply_grid_region", &GridFromGrid<kMultiply>, 8);
    r.Register("ds_grid_get", &ds_grid_get, 3);
    r.Register("ds_grid_get_sum", &GridRegionAggregate<&CDS_Grid::RegionSum>, 5);
    r.Register("ds_grid_get_max", &GridRegionAggregate<&CDS_Grid::RegionMax>, 5);
    r.Register("ds_grid_get_min", &GridRegionAggregate<&CDS_Grid::RegionMin>, 5);
    r.Register("ds_grid_get_mean", &GridRegionAggregate<&CDS_Grid::RegionMean>, 5);
    r.Register("ds_grid_get_disk_sum", &GridDiskAggregate<&CDS_Grid::DiskSum>, 4);
    r.Register("ds_grid_get_disk_max", &GridDiskAggregate<&CDS_Grid::DiskMax>, 4);
    r.Register("ds_grid_get_disk_min", &GridDiskAggregate<&CDS_Grid::DiskMin>, 4);
    r.Register("ds_grid_get_disk_mean", &GridDiskAggregate<&CDS_Grid::DiskMean>, 4);
    r.Register("ds_grid_value_exists", &GridRegionFind<kExists>, 6);
    r.Register("ds_grid_value_x", &GridRegionFind<kX>, 6);
    r.Register("ds_grid_value_y", &GridRegionFind<kY>, 6);
    r.Register("ds_grid_value_disk_exists", &GridDiskFind<kExists>, 5);
    r.Register("ds_grid_value_disk_x", &GridDiskFind<kX>, 5);
    r.Register("ds_grid_value_disk_y", &GridDiskFind<kY>, 5);
    r.Register("ds_grid_shuffle", &ds_grid_shuffle, 1);
    r.Register("ds_grid_write", &ds_grid_write, 1);
    r.Register("ds_grid_read", &ds_grid_read, 2);
}

}  // namespace tb
