#include "resources/room.h"

#include <algorithm>
#include <cmath>

#include "runner/game.h"

namespace tb {
namespace {

// Record 541 stores positions, speeds and depths as integers: round half to even, clamped
// so that an out-of-range double never reaches an undefined conversion.
int32_t ToInteger(double v) {
    if (std::isnan(v)) return 0;
    double r = std::nearbyint(v);
    if (r <= double(INT32_MIN)) return INT32_MIN;
    if (r >= double(INT32_MAX)) return INT32_MAX;
    return int32_t(r);
}

// Smallest sizes of the per-element records, so corrupt counts fail before any work.
constexpr size_t kBackBytes541 = 10 * 4;
constexpr size_t kViewBytes541 = 14 * 4;
constexpr size_t kInstanceBytes541 = 5 * 4;
constexpr size_t kTileBytes541 = 9 * 4;
constexpr size_t kBackBytes540 = 6 * 4 + 7 * 8;
constexpr size_t kViewBytes540 = 14 * 4 + 8;
constexpr size_t kTileBytes540 = 8 * 4 + 6 * 8;

bool Contains(const CTile& t, double x, double y) {
    return t.X <= x && x < t.X + t.Width && t.Y <= y && y < t.Y + t.Height;
}

// Stable insertion sort into non-increasing depth; a no-op on a sorted list. Written out
// rather than std::stable_sort so that NaN depths cannot break the comparator's contract.
// Returns whether anything moved.
template <class T, class DepthOf>
bool InsertionSortByDepth(std::vector<T>& v, DepthOf depth_of) {
    bool moved = false;
    for (size_t i = 1; i < v.size(); ++i) {
        if (!(depth_of(v[i - 1]) < depth_of(v[i]))) continue;
        moved = true;
        T item = std::move(v[i]);
        double d = depth_of(item);
        size_t j = i;
        while (j > 0 && depth_of(v[j - 1]) < d) {
            v[j] = std::move(v[j - 1]);
            --j;
        }
        v[j] = std::move(item);
    }
    return moved;
}

// The next id after a counter read from the file; wraps instead of overflowing when a
// malformed file stores the largest integer.
int32_t NextId(int32_t& last) {
    return last = int32_t(uint32_t(last) + 1u);
}

}  // namespace

// The area shown and where it is shown: the same eight integers in both room records.
static void ReadViewArea(CStream& s, CView& v) {
    for (int32_t* n :
         {&v.XView, &v.YView, &v.WView, &v.HView, &v.XPort, &v.YPort, &v.WPort, &v.HPort})
        *n = ReadInteger(s);
}

void CRoom::ReadHeader(CStream& s) {
    Caption = ReadString(s);
    Width = ReadInteger(s);
    Height = ReadInteger(s);
    Speed = ReadInteger(s);
    Persistent = ReadBoolean(s);
    Color = ReadInteger(s);
    ShowColor = ReadBoolean(s);
    CreationCode = ReadString(s);
}

void CRoom::WriteHeader(CStream& s) const {
    WriteString(s, Caption);
    WriteInteger(s, Width);
    WriteInteger(s, Height);
    WriteInteger(s, Speed);
    WriteBoolean(s, Persistent);
    WriteInteger(s, Color);
    WriteBoolean(s, ShowColor);
    WriteString(s, CreationCode);
}

bool CRoom::LoadFromStream(CStream& s, const Game& game) {
    Reset();
    if (ReadInteger(s) != kRoomVersion) return false;
    ReadHeader(s);

    int32_t nb = ReadCount(s, kBackBytes541);
    for (int32_t i = 0; i < nb; ++i) {
        CBack b;
        b.Visible = ReadBoolean(s);
        b.Foreground = ReadBoolean(s);
        b.BackgroundIndex = ReadInteger(s);
        b.X = ReadInteger(s);
        b.Y = ReadInteger(s);
        b.HTiled = ReadBoolean(s);
        b.VTiled = ReadBoolean(s);
        b.HSpeed = ReadInteger(s);
        b.VSpeed = ReadInteger(s);
        b.Stretch = ReadBoolean(s);
        if (b.Stretch) {
            if (const CBackground* bg = game.backgrounds.Get(b.BackgroundIndex)) {
                if (bg->Width > 0) b.XScale = double(Width) / bg->Width;
                if (bg->Height > 0) b.YScale = double(Height) / bg->Height;
            }
        }
        // Layers past the eighth are read to stay in step and then dropped.
        if (i < kRoomLayers) backgrounds[size_t(i)] = b;
    }

    ViewsEnabled = ReadBoolean(s);
    int32_t nv = ReadCount(s, kViewBytes541);
    for (int32_t i = 0; i < nv; ++i) {
        CView v;
        v.Visible = ReadBoolean(s);
        ReadViewArea(s, v);
        v.HBorder = ReadInteger(s);
        v.VBorder = ReadInteger(s);
        v.HSpeed = ReadInteger(s);
        v.VSpeed = ReadInteger(s);
        v.Object = ReadInteger(s);
        if (i < kRoomLayers) views[size_t(i)] = v;
    }

    int32_t ni = ReadCount(s, kInstanceBytes541);
    for (int32_t i = 0; i < ni; ++i) {
        auto inst = std::make_unique<CInstance>();
        inst->x = inst->xstart = inst->xprevious = ReadInteger(s);
        inst->y = inst->ystart = inst->yprevious = ReadInteger(s);
        inst->object_index = ReadInteger(s);
        inst->object = game.objects.Get(inst->object_index);
        inst->id = ReadInteger(s);
        inst->creation_code = ReadString(s);
        instances.push_back(std::move(inst));
    }

    int32_t nt = ReadCount(s, kTileBytes541);
    for (int32_t i = 0; i < nt; ++i) {
        CTile t;
        t.X = ReadInteger(s);
        t.Y = ReadInteger(s);
        t.Background = ReadInteger(s);
        t.Left = ReadInteger(s);
        t.Top = ReadInteger(s);
        t.Width = ReadInteger(s);
        t.Height = ReadInteger(s);
        t.Depth = ReadInteger(s);
        t.Id = ReadInteger(s);
        tiles.push_back(t);
    }
    RebuildObjectLists(game.objects);
    return true;
}

void CRoom::WriteToStream(CStream& s) const {
    WriteInteger(s, kRoomVersion);
    WriteHeader(s);
    WriteInteger(s, kRoomLayers);
    for (const CBack& b : backgrounds) {
        WriteBoolean(s, b.Visible);
        WriteBoolean(s, b.Foreground);
        WriteInteger(s, b.BackgroundIndex);
        WriteInteger(s, ToInteger(b.X));
        WriteInteger(s, ToInteger(b.Y));
        WriteBoolean(s, b.HTiled);
        WriteBoolean(s, b.VTiled);
        WriteInteger(s, ToInteger(b.HSpeed));
        WriteInteger(s, ToInteger(b.VSpeed));
        WriteBoolean(s, b.Stretch);
    }
    WriteBoolean(s, ViewsEnabled);
    WriteInteger(s, kRoomLayers);
    for (const CView& v : views) {
        WriteBoolean(s, v.Visible);
        for (int32_t n : {v.XView, v.YView, v.WView, v.HView, v.XPort, v.YPort, v.WPort, v.HPort,
                          v.HBorder, v.VBorder, v.HSpeed, v.VSpeed, v.Object})
            WriteInteger(s, n);
    }
    WriteInteger(s, int32_t(instances.size()));
    for (const auto& inst : instances) {
        WriteInteger(s, ToInteger(inst->x));
        WriteInteger(s, ToInteger(inst->y));
        WriteInteger(s, inst->object_index);
        WriteInteger(s, inst->id);
        WriteString(s, inst->creation_code);
    }
    WriteInteger(s, int32_t(tiles.size()));
    for (const CTile& t : tiles) {
        WriteInteger(s, ToInteger(t.X));
        WriteInteger(s, ToInteger(t.Y));
        WriteInteger(s, t.Background);
        WriteInteger(s, t.Left);
        WriteInteger(s, t.Top);
        WriteInteger(s, t.Width);
        WriteInteger(s, t.Height);
        WriteInteger(s, ToInteger(t.Depth));
        WriteInteger(s, t.Id);
    }
}

bool CRoom::ReadState(CStream& s, const ObjectList& objects,
                      const InstanceStateReader& read_instance) {
    Reset();
    if (ReadInteger(s) != kRoomStateVersion) return false;
    ReadHeader(s);

    int32_t nb = ReadCount(s, kBackBytes540);
    for (int32_t i = 0; i < nb; ++i) {
        CBack b;
        b.Visible = ReadBoolean(s);
        b.Foreground = ReadBoolean(s);
        b.BackgroundIndex = ReadInteger(s);
        b.X = ReadReal(s);
        b.Y = ReadReal(s);
        b.HTiled = ReadBoolean(s);
        b.VTiled = ReadBoolean(s);
        b.XScale = ReadReal(s);
        b.YScale = ReadReal(s);
        b.HSpeed = ReadReal(s);
        b.VSpeed = ReadReal(s);
        b.Blend = ReadInteger(s);
        b.Alpha = ReadReal(s);
        if (i < kRoomLayers) backgrounds[size_t(i)] = b;
    }

    ViewsEnabled = ReadBoolean(s);
    int32_t nv = ReadCount(s, kViewBytes540);
    for (int32_t i = 0; i < nv; ++i) {
        CView v;
        v.Visible = ReadBoolean(s);
        ReadViewArea(s, v);
        v.Angle = ReadReal(s);
        v.HBorder = ReadInteger(s);
        v.VBorder = ReadInteger(s);
        v.HSpeed = ReadInteger(s);
        v.VSpeed = ReadInteger(s);
        v.Object = ReadInteger(s);
        if (i < kRoomLayers) views[size_t(i)] = v;
    }

    for (auto* list : {&instances, &inactive_instances}) {
        int32_t n = ReadCount(s, 4);
        for (int32_t i = 0; i < n; ++i) {
            auto inst = std::make_unique<CInstance>();
            if (!read_instance(s, *inst)) return false;
            list->push_back(std::move(inst));
        }
    }

    int32_t nt = ReadCount(s, kTileBytes540);
    for (int32_t i = 0; i < nt; ++i) {
        CTile t;
        t.X = ReadReal(s);
        t.Y = ReadReal(s);
        t.Background = ReadInteger(s);
        t.Left = ReadInteger(s);
        t.Top = ReadInteger(s);
        t.Width = ReadInteger(s);
        t.Height = ReadInteger(s);
        t.Depth = ReadReal(s);
        t.Id = ReadInteger(s);
        t.XScale = ReadReal(s);
        t.YScale = ReadReal(s);
        t.Blend = ReadInteger(s);
        t.Alpha = ReadReal(s);
        t.Visible = ReadBoolean(s);
        tiles.push_back(t);
    }
    RebuildObjectLists(objects);
    return true;
}

void CRoom::WriteState(CStream& s, const InstanceStateWriter& write_instance) const {
    WriteInteger(s, kRoomStateVersion);
    WriteHeader(s);
    WriteInteger(s, kRoomLayers);
    for (const CBack& b : backgrounds) {
        WriteBoolean(s, b.Visible);
        WriteBoolean(s, b.Foreground);
        WriteInteger(s, b.BackgroundIndex);
        WriteReal(s, b.X);
        WriteReal(s, b.Y);
        WriteBoolean(s, b.HTiled);
        WriteBoolean(s, b.VTiled);
        WriteReal(s, b.XScale);
        WriteReal(s, b.YScale);
        WriteReal(s, b.HSpeed);
        WriteReal(s, b.VSpeed);
        WriteInteger(s, b.Blend);
        WriteReal(s, b.Alpha);
    }
    WriteBoolean(s, ViewsEnabled);
    WriteInteger(s, kRoomLayers);
    for (const CView& v : views) {
        WriteBoolean(s, v.Visible);
        for (int32_t n : {v.XView, v.YView, v.WView, v.HView, v.XPort, v.YPort, v.WPort, v.HPort})
            WriteInteger(s, n);
        WriteReal(s, v.Angle);
        for (int32_t n : {v.HBorder, v.VBorder, v.HSpeed, v.VSpeed, v.Object}) WriteInteger(s, n);
    }
    for (const auto* list : {&instances, &inactive_instances}) {
        WriteInteger(s, int32_t(list->size()));
        for (const auto& inst : *list) write_instance(s, *inst);
    }
    WriteInteger(s, int32_t(tiles.size()));
    for (const CTile& t : tiles) {
        WriteReal(s, t.X);
        WriteReal(s, t.Y);
        WriteInteger(s, t.Background);
        WriteInteger(s, t.Left);
        WriteInteger(s, t.Top);
        WriteInteger(s, t.Width);
        WriteInteger(s, t.Height);
        WriteReal(s, t.Depth);
        WriteInteger(s, t.Id);
        WriteReal(s, t.XScale);
        WriteReal(s, t.YScale);
        WriteInteger(s, t.Blend);
        WriteReal(s, t.Alpha);
        WriteBoolean(s, t.Visible);
    }
}

void CRoom::Assign(const CRoom& other, const ObjectList& objects) {
    if (&other == this) return;
    Caption = other.Caption;
    Speed = other.Speed;
    Width = other.Width;
    Height = other.Height;
    Persistent = other.Persistent;
    Color = other.Color;
    ShowColor = other.ShowColor;
    backgrounds = other.backgrounds;
    ViewsEnabled = other.ViewsEnabled;
    views = other.views;
    CreationCode = other.CreationCode;
    auto copy = [](const std::vector<std::unique_ptr<CInstance>>& from) {
        std::vector<std::unique_ptr<CInstance>> to;
        to.reserve(from.size());
        for (const auto& inst : from) to.push_back(std::make_unique<CInstance>(*inst));
        return to;
    };
    instances = copy(other.instances);
    inactive_instances = copy(other.inactive_instances);
    tiles = other.tiles;
    last_tile_found = other.last_tile_found;
    RebuildObjectLists(objects);
}

CBack* CRoom::GetBack(int i) {
    return i >= 0 && i < kRoomLayers ? &backgrounds[size_t(i)] : nullptr;
}

CView* CRoom::GetView(int i) {
    return i >= 0 && i < kRoomLayers ? &views[size_t(i)] : nullptr;
}

CInstance* CRoom::GetInstance(int i) const {
    return i >= 0 && i < InstanceCount() ? instances[size_t(i)].get() : nullptr;
}

void CRoom::EnterInObjectLists(CInstance* inst, const ObjectList& objects) {
    size_t count = size_t(objects.Count());
    if (object_instances.size() < count) object_instances.resize(count);
    if (family_instances.size() < count) family_instances.resize(count);
    int32_t o = inst->object_index;
    if (o < 0 || size_t(o) >= object_instances.size()) return;
    object_instances[size_t(o)].push_back(inst);
    family_instances[size_t(o)].push_back(inst);
    // Walk the ancestors. A family list that already ends with this instance means the
    // parent chain has come round again: a cycle that only a malformed file can hold.
    const CObject* obj = objects.Get(o);
    while (obj) {
        int32_t p = obj->ParentIndex;
        obj = objects.Get(p);
        if (!obj || size_t(p) >= family_instances.size()) break;
        auto& family = family_instances[size_t(p)];
        if (!family.empty() && family.back() == inst) break;
        family.push_back(inst);
    }
}

void CRoom::RebuildObjectLists(const ObjectList& objects) {
    ++table_rebuilds;
    object_instances.assign(size_t(objects.Count()), {});
    family_instances.assign(size_t(objects.Count()), {});
    for (const auto& inst : instances) EnterInObjectLists(inst.get(), objects);
}

CInstance& CRoom::AddInstance(const ObjectList& objects, int32_t& last_instance_id, int32_t object,
                              double x, double y) {
    auto inst = std::make_unique<CInstance>();
    inst->id = NextId(last_instance_id);
    inst->object_index = object;
    inst->object = objects.Get(object);
    inst->x = inst->xstart = inst->xprevious = x;
    inst->y = inst->ystart = inst->yprevious = y;
    CInstance* raw = inst.get();
    instances.push_back(std::move(inst));
    EnterInObjectLists(raw, objects);
    return *raw;
}

void CRoom::ClearInstances() {
    ++table_rebuilds;
    instances.clear();
    inactive_instances.clear();
    object_instances.clear();
    family_instances.clear();
}

std::span<CInstance* const> CRoom::InstancesOfObject(int32_t object) const {
    if (object < 0 || size_t(object) >= object_instances.size()) return {};
    return object_instances[size_t(object)];
}

std::span<CInstance* const> CRoom::InstancesOfFamily(int32_t object) const {
    if (object < 0 || size_t(object) >= family_instances.size()) return {};
    return family_instances[size_t(object)];
}

void CRoom::RemoveDeletedInstances(const ObjectList& objects) {
    auto removed = std::erase_if(instances, [](const auto& inst) { return inst->destroyed; });
    if (removed > 0) RebuildObjectLists(objects);
}

void CRoom::ApplyActivation(const ObjectList& objects) {
    bool changes = std::any_of(instances.begin(), instances.end(),
                               [](const auto& i) { return i->deactivated; }) ||
                   std::any_of(inactive_instances.begin(), inactive_instances.end(),
                               [](const auto& i) { return !i->deactivated; });
    if (!changes) return;
    std::vector<std::unique_ptr<CInstance>> active, inactive;
    for (auto& inst : instances)
        if (!inst->deactivated) active.push_back(std::move(inst));
    for (auto& inst : inactive_instances)
        (inst->deactivated ? inactive : active).push_back(std::move(inst));
    for (auto& inst : instances)
        if (inst) inactive.push_back(std::move(inst));
    instances = std::move(active);
    inactive_instances = std::move(inactive);
    RebuildObjectLists(objects);
}

void CRoom::SortByDepth() {
    if (InsertionSortByDepth(instances,
                             [](const std::unique_ptr<CInstance>& i) { return i->depth; }))
        ++table_rebuilds;  // the positions in `instances` changed
}

void CRoom::MoveBackgrounds() {
    for (CBack& b : backgrounds) {
        b.X += b.HSpeed;
        b.Y += b.VSpeed;
    }
}

CTile* CRoom::GetTile(int i) {
    return i >= 0 && i < TileCount() ? &tiles[size_t(i)] : nullptr;
}

bool CRoom::SetTile(int i, const CTile& tile) {
    CTile* t = GetTile(i);
    if (!t) return false;
    *t = tile;
    return true;
}

int CRoom::AddTile(const CTile& tile, int32_t& last_tile_id) {
    tiles.push_back(tile);
    tiles.back().Id = NextId(last_tile_id);
    last_tile_found = TileCount() - 1;
    return last_tile_found;
}

void CRoom::ClearTiles() {
    tiles.clear();
    last_tile_found = -1;
}

int CRoom::FindTileById(int32_t id) {
    if (last_tile_found >= 0 && last_tile_found < TileCount() &&
        tiles[size_t(last_tile_found)].Id == id)
        return last_tile_found;
    for (int i = 0; i < TileCount(); ++i) {
        if (tiles[size_t(i)].Id == id) return last_tile_found = i;
    }
    return -1;
}

int CRoom::FindTileAt(double x, double y, bool foreground) {
    for (int i = 0; i < TileCount(); ++i) {
        const CTile& t = tiles[size_t(i)];
        if ((t.Depth < 0) == foreground && Contains(t, x, y)) return last_tile_found = i;
    }
    return -1;
}

void CRoom::DeleteTileIndex(int i) {
    if (i < 0 || i >= TileCount()) return;
    tiles.erase(tiles.begin() + i);
}

void CRoom::DeleteTilesAt(int32_t x, int32_t y, bool foreground) {
    std::erase_if(tiles, [&](const CTile& t) {
        bool side = foreground ? t.Depth <= 0 : t.Depth >= 0;
        return side && t.X <= x && x <= t.X + t.Width && t.Y <= y && y <= t.Y + t.Height;
    });
}

void CRoom::SortTilesByDepth() {
    InsertionSortByDepth(tiles, [](const CTile& t) { return t.Depth; });
}

void CRoom::HideLayer(double depth) {
    for (CTile& t : tiles)
        if (t.Depth == depth) t.Visible = false;
}

void CRoom::ShowLayer(double depth) {
    for (CTile& t : tiles)
        if (t.Depth == depth) t.Visible = true;
}

void CRoom::DeleteLayer(double depth) {
    std::erase_if(tiles, [&](const CTile& t) { return t.Depth == depth; });
}

void CRoom::ShiftLayer(double depth, double dx, double dy) {
    for (CTile& t : tiles) {
        if (t.Depth != depth) continue;
        t.X += dx;
        t.Y += dy;
    }
}

int CRoom::FindInLayer(double depth, double x, double y) {
    for (int i = 0; i < TileCount(); ++i) {
        const CTile& t = tiles[size_t(i)];
        if (t.Depth == depth && Contains(t, x, y)) return last_tile_found = i;
    }
    return -1;
}

void CRoom::DeleteInLayerAt(double depth, double x, double y) {
    std::erase_if(tiles, [&](const CTile& t) { return t.Depth == depth && Contains(t, x, y); });
}

void CRoom::SetLayerDepth(double depth, double new_depth) {
    for (CTile& t : tiles)
        if (t.Depth == depth) t.Depth = new_depth;
}

bool CRoom::operator==(const CRoom& o) const {
    auto same = [](const std::vector<std::unique_ptr<CInstance>>& a,
                   const std::vector<std::unique_ptr<CInstance>>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                          [](const auto& x, const auto& y) { return *x == *y; });
    };
    return Caption == o.Caption && Speed == o.Speed && Width == o.Width && Height == o.Height &&
           Persistent == o.Persistent && Color == o.Color && ShowColor == o.ShowColor &&
           backgrounds == o.backgrounds && ViewsEnabled == o.ViewsEnabled && views == o.views &&
           CreationCode == o.CreationCode && same(instances, o.instances) &&
           same(inactive_instances, o.inactive_instances) && tiles == o.tiles;
}

bool ReadRoomOrder(CStream& s, std::vector<int32_t>& order) {
    order.clear();
    if (ReadInteger(s) != kRoomOrderVersion) return false;
    int32_t n = ReadCount(s, 4);
    if (n <= 0) return false;
    for (int32_t i = 0; i < n; ++i) order.push_back(ReadInteger(s));
    return true;
}

void WriteRoomOrder(CStream& s, const std::vector<int32_t>& order) {
    WriteInteger(s, kRoomOrderVersion);
    WriteInteger(s, int32_t(order.size()));
    for (int32_t r : order) WriteInteger(s, r);
}

int32_t FirstRoom(const std::vector<int32_t>& order) {
    return order.empty() ? -1 : order.front();
}

int32_t LastRoom(const std::vector<int32_t>& order) {
    return order.empty() ? -1 : order.back();
}

int32_t PreviousRoom(const std::vector<int32_t>& order, int32_t room) {
    auto it = std::find(order.begin(), order.end(), room);
    if (it == order.end() || it == order.begin()) return -1;
    return *(it - 1);
}

int32_t NextRoom(const std::vector<int32_t>& order, int32_t room) {
    auto it = std::find(order.begin(), order.end(), room);
    if (it == order.end() || it + 1 == order.end()) return -1;
    return *(it + 1);
}

}  // namespace tb
