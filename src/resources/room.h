// Rooms: the resource loaded from the game file and the live room of a running game.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "resources/resource_list.h"
#include "runner/stream.h"
#include "world/instance.h"

namespace tb {

struct Game;
class CObject;

constexpr int32_t kRoomVersion = 541;
constexpr int32_t kRoomStateVersion = 540;
constexpr int32_t kRoomListVersion = 420;
constexpr int32_t kRoomOrderVersion = 700;
constexpr int kRoomLayers = 8;

// One background or foreground layer.
struct CBack {
    bool Visible = false;
    bool Foreground = false;
    int32_t BackgroundIndex = -1;
    double X = 0;
    double Y = 0;
    bool HTiled = true;
    bool VTiled = true;
    double XScale = 1.0;
    double YScale = 1.0;
    double HSpeed = 0;
    double VSpeed = 0;
    int32_t Blend = 16777215;
    double Alpha = 1.0;
    // The stored "stretch to the room" flag; the scales above are derived from it on load.
    bool Stretch = false;

    bool operator==(const CBack&) const = default;
};

struct CView {
    bool Visible = false;
    int32_t XView = 0;
    int32_t YView = 0;
    int32_t WView = 640;
    int32_t HView = 480;
    int32_t XPort = 0;
    int32_t YPort = 0;
    int32_t WPort = 640;
    int32_t HPort = 480;
    double Angle = 0;
    int32_t HBorder = 32;
    int32_t VBorder = 32;
    int32_t HSpeed = -1;  // -1 = unlimited
    int32_t VSpeed = -1;
    int32_t Object = -1;  // object or instance followed

    bool operator==(const CView&) const = default;
};

struct CTile {
    double X = 0;
    double Y = 0;
    int32_t Background = 0;
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    double Depth = 0;
    int32_t Id = 0;
    double XScale = 1.0;
    double YScale = 1.0;
    int32_t Blend = 16777215;
    double Alpha = 1.0;
    bool Visible = true;

    bool operator==(const CTile&) const = default;
};

using ObjectList = ResourceList<CObject>;

// Instance records of saved games are read and written by their owner; the room state
// record only frames them with their counts.
using InstanceStateReader = std::function<bool(CStream&, CInstance&)>;
using InstanceStateWriter = std::function<void(CStream&, const CInstance&)>;

class CRoom {
  public:
    CRoom() = default;
    CRoom(CRoom&&) = default;
    CRoom& operator=(CRoom&&) = default;
    // Copies go through Assign: the by-object lists must point at the copy's instances.
    CRoom(const CRoom&) = delete;
    CRoom& operator=(const CRoom&) = delete;

    // Record 541. Needs the backgrounds (stretched layers) and objects (by-object lists)
    // already loaded.
    bool LoadFromStream(CStream& s, const Game& game);
    void WriteToStream(CStream& s) const;

    // Record 540, the saved form. The instance records go through the two callbacks; a
    // callback that returns false fails the read.
    bool ReadState(CStream& s, const ObjectList& objects, const InstanceStateReader& read_instance);
    void WriteState(CStream& s, const InstanceStateWriter& write_instance) const;

    // Defaults; frees instances and tiles.
    void Reset() { *this = CRoom(); }
    // Deep copy of every field, instances (active and deactivated) and tiles.
    void Assign(const CRoom& other, const ObjectList& objects);

    CBack* GetBack(int i);
    CView* GetView(int i);

    // Instances.
    int InstanceCount() const { return int(instances.size()); }
    CInstance* GetInstance(int i) const;
    // Hands out ++last_instance_id; appends the instance and enters it in the by-object lists.
    CInstance& AddInstance(const ObjectList& objects, int32_t& last_instance_id, int32_t object,
                           double x, double y);
    void ClearInstances();
    // Active instances of exactly this object / of this object and its descendants; empty for
    // an index outside the lists.
    std::span<CInstance* const> InstancesOfObject(int32_t object) const;
    std::span<CInstance* const> InstancesOfFamily(int32_t object) const;
    void RemoveDeletedInstances(const ObjectList& objects);
    void ApplyActivation(const ObjectList& objects);
    // Non-increasing depth, stable; untouched when already in order.
    void SortByDepth();
    void RebuildObjectLists(const ObjectList& objects);

    void MoveBackgrounds();

    // Tiles.
    int TileCount() const { return int(tiles.size()); }
    CTile* GetTile(int i);
    bool SetTile(int i, const CTile& tile);
    // Gives the tile id ++last_tile_id and returns its index.
    int AddTile(const CTile& tile, int32_t& last_tile_id);
    void ClearTiles();
    int FindTileById(int32_t id);
    int FindTileAt(double x, double y, bool foreground);
    void DeleteTileIndex(int i);
    void DeleteTilesAt(int32_t x, int32_t y, bool foreground);
    void SortTilesByDepth();
    void HideLayer(double depth);
    void ShowLayer(double depth);
    void DeleteLayer(double depth);
    void ShiftLayer(double depth, double dx, double dy);
    int FindInLayer(double depth, double x, double y);
    void DeleteInLayerAt(double depth, double x, double y);
    void SetLayerDepth(double depth, double new_depth);

    // Compares the stored state: fields, instances by value, tiles. The by-object lists and
    // the tile lookup cache are derived and left out.
    bool operator==(const CRoom& other) const;

    std::string Caption;
    int32_t Speed = 30;
    int32_t Width = 640;
    int32_t Height = 480;
    bool Persistent = false;
    int32_t Color = 12632256;
    bool ShowColor = true;
    std::array<CBack, kRoomLayers> backgrounds{};
    bool ViewsEnabled = false;
    std::array<CView, kRoomLayers> views{};
    std::string CreationCode;
    std::vector<std::unique_ptr<CInstance>> instances;           // active, drawing order
    std::vector<std::unique_ptr<CInstance>> inactive_instances;  // in deactivation order
    std::vector<std::vector<CInstance*>> object_instances;       // per object index, exact
    std::vector<std::vector<CInstance*>> family_instances;       // per object index, family
    uint64_t table_rebuilds = 0;  // counts the rebuilds of the per-object tables
    std::vector<CTile> tiles;
    int last_tile_found = -1;

  private:
    void EnterInObjectLists(CInstance* inst, const ObjectList& objects);
    // The fields both room records start with, from the caption to the creation code.
    void ReadHeader(CStream& s);
    void WriteHeader(CStream& s) const;
};

// Record 700 with at least one entry; false otherwise.
bool ReadRoomOrder(CStream& s, std::vector<int32_t>& order);
void WriteRoomOrder(CStream& s, const std::vector<int32_t>& order);

// -1 where there is none (an empty order, an end of the order, a room not in the order).
int32_t FirstRoom(const std::vector<int32_t>& order);
int32_t LastRoom(const std::vector<int32_t>& order);
int32_t PreviousRoom(const std::vector<int32_t>& order, int32_t room);
int32_t NextRoom(const std::vector<int32_t>& order, int32_t room);

}  // namespace tb
