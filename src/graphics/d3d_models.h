// Models: recorded lists of 3D primitive and shape commands, drawn at any place with any
// texture, saved to and loaded from a small text file. A model's vertices are built once into
// a device buffer and rebuilt only when its commands (or, for vertices that take the draw
// colour, that colour) change.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/device.h"

namespace tb {

struct Graphics;

// Command types; values a type does not use are 0.
enum ModelCommandType : int32_t {
    kModelBegin = 0,
    kModelEnd = 1,
    kModelVertex = 2,
    kModelVertexColor = 3,
    kModelVertexTexture = 4,
    kModelVertexTextureColor = 5,
    kModelVertexNormal = 6,
    kModelVertexNormalColor = 7,
    kModelVertexNormalTexture = 8,
    kModelVertexNormalTextureColor = 9,
    kModelBlock = 10,
    kModelCylinder = 11,
    kModelCone = 12,
    kModelEllipsoid = 13,
    kModelWall = 14,
    kModelFloor = 15,
};

struct ModelCommand {
    int32_t type = 0;
    std::array<double, 10> v{};
    bool operator==(const ModelCommand&) const = default;
};

struct C3DModel {
    std::vector<ModelCommand> commands;

    // The built vertices: runs of one list kind, with texture repeat forced on (shapes) or
    // taken from the state at draw time.
    struct Segment {
        Primitive list_kind;
        bool repeat;
        size_t first, count;
    };
    DeviceBuffer buffer = 0;
    std::vector<Segment> segments;
    bool built = false;
    bool uses_draw_color = false;
    uint32_t built_color = 0;
};

class ModelTable {
  public:
    explicit ModelTable(GraphicsDevice& device) : device_(device) {}
    ~ModelTable();
    ModelTable(const ModelTable&) = delete;
    ModelTable& operator=(const ModelTable&) = delete;

    // The lowest free index.
    int32_t Create();
    // Each does nothing (false) for an index outside the table or of a destroyed model.
    void Destroy(int32_t index);
    void Clear(int32_t index);
    void Add(int32_t index, const ModelCommand& c);
    // The model is emptied first; on any failure it stays empty.
    bool Load(int32_t index, const std::string& path);
    bool Save(int32_t index, const std::string& path) const;
    C3DModel* Get(int32_t index);
    int32_t Count() const { return int32_t(models_.size()); }
    // Forgets every built buffer (the device is going away or was remade).
    void DropBuffers();

    GraphicsDevice& Device() { return device_; }

  private:
    GraphicsDevice& device_;
    std::vector<std::unique_ptr<C3DModel>> models_;
};

// The file text: "100", the count, one line per command, lines ended by CR LF.
std::string ModelFileText(const std::vector<ModelCommand>& commands);
// False (and nothing in out) for a wrong version or any malformed or missing number.
bool ParseModelFile(std::string_view text, std::vector<ModelCommand>& out);

// Replays the commands at (x, y, z) with the texture; vertices without colour take the draw
// colour and alpha of g.
void DrawModel(Graphics& g, int32_t index, double x, double y, double z, int32_t texture);

}  // namespace tb
