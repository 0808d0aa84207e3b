// Writes one geometry set of a 3DO model as glTF 2.0: a binary .glb or a .gltf text file with
// everything embedded, keeping the hierarchy, pivots, materials and textures.
#pragma once

#include "base/platform.h"
#include "formats/keyframes.h"
#include "game/materiallook.h"
#include "model/model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kGltfNodeLinkFormat =
    "Hierarchy node '%s' links to a node outside the node list";
inline constexpr const char* kGltfVertexIndexFormat =
    "Mesh '%s' has a face corner beyond its vertex list";
inline constexpr const char* kGltfTexVertexIndexFormat =
    "Mesh '%s' has a face corner beyond its texture vertex list";
inline constexpr const char* kGltfNotFiniteFormat =
    "'%s' holds a number that is infinite or not a number";
inline constexpr const char* kGltfTooLarge = "The model is too large for a .glb file";
inline constexpr const char* kGltfAnimationTooLongFormat =
    "Animation '%s' has too many frames to export";
inline constexpr const char* kGltfAnimationTimesFormat =
    "Animation '%s' has a frame rate that gives times a glTF file cannot hold";
// Warnings: the export goes on.
inline constexpr const char* kGltfMaterialBeyondListFormat =
    "Mesh '%s' has faces whose material is beyond the material list; they are exported with "
    "the placeholder material";
// Added: the name of the placeholder those faces take.
inline constexpr const char* kGltfBeyondListMaterial = "beyond the material list";
inline constexpr const char* kGltfBadTextureFormat =
    "Material '%s' has no usable texture; it is exported as missing";
inline constexpr const char* kGltfNodeMeshBeyondFormat =
    "Hierarchy node '%s' names a mesh the geometry set does not have";

enum class TGltfContainer
{
    Binary, // .glb: JSON and buffer in one binary file
    Text,   // .gltf: JSON with the buffer and the images as base64 data URIs
};

// Added: one key as a glTF animation, named (the key's file name without its extension).
struct TGltfAnimation
{
    std::string Name;
    const TKeyframes* Key = nullptr;
};

// Binary for a name ending in ".glb", Text for ".gltf" (any case), nothing otherwise.
std::optional<TGltfContainer> GltfContainerForName(std::string_view fileName);

// Writes geoset `geoSetIndex` of `model` placed by `nodes` as glTF 2.0 to `sink`.
// `materials[i]` describes model.Materials[i]; entries past its end are missing (placeholders
// named as in the model). What the file holds:
// - one node per hierarchy node (same order, first in the node list), named as in the model,
//   its parent and children as the parent links say, children in the order of the child and
//   sibling links; translation = position, rotation = Rz(yaw) Rx(pitch) Ry(roll) from
//   RotationB, RotationA, RotationC in degrees. Each node that names a mesh has a child node,
//   named as the mesh and translated by the node's pivot, that carries the mesh (a mesh named
//   by several nodes is drawn at each, as the game does); a mesh that no node names hangs the
//   same way on node 0 (where the views place it), or on the root when there are no nodes.
//   Every node whose parent is -1 is a child of one last root node, "game axes", that turns
//   game axes into glTF's: glTF (x, y, z) = game (x, z, -y). No scaling.
// - one glTF mesh per mesh with something to draw, named as the mesh: faces as triangle fans,
//   corners unshared between faces, flat normals from the face normals (from the corners when
//   the stored one is zero), wound so that the stored normal is the front; one primitive per
//   material and face variant. Faces with material -1 or fewer than 3 corners are left out,
//   and with a material beyond the list too, with a warning. Geometry and texture modes play
//   no part.
// - materials named as the model's, not metallic: texture materials as an embedded PNG of
//   cel 0 (nearest filtering, repeat; alpha mask when cut out), texture coordinates = texture
//   vertex / texture size; colour materials as a base colour factor, turned from sRGB into
//   the linear values glTF asks for; missing ones magenta. Face flag 0x1 makes a double-sided
//   variant, 0x2 a blended one (alpha 90/255); lighting mode 0 (the lower of mesh and face) an
//   unlit one (KHR_materials_unlit).
// - Added: one animation per entry of `animations`, named as given: translation and rotation
//   channels on the node of every node the key animates (KeyNodesFor), sampled linearly at
//   every whole frame from 0 to FRAMES at frame / FPS seconds, each sample the key's value at
//   that frame with looping playback (so the last is the first again); the key's markers in
//   its extras as {"markers": [{"frame", "type"}]}. Rest values and hierarchy come from the
//   pose unit, as every posed picture's.
// Throws EListError for a geoset outside the model, EModelError(kParentChainCycle) for a
// cyclic parent chain, EModelError for the kGltf...Format errors above and kGltfTooLarge;
// nothing reaches the sink then. Warnings go to `warnings` when given.
void WriteGltf(const T3DO& model, const TNodeList& nodes, int geoSetIndex,
               const std::vector<TMaterialLook>& materials, TGltfContainer container,
               const TByteSink& sink, std::vector<std::string>* warnings = nullptr,
               const std::vector<TGltfAnimation>& animations = {});
std::string GltfBytes(const T3DO& model, const TNodeList& nodes, int geoSetIndex,
                      const std::vector<TMaterialLook>& materials, TGltfContainer container,
                      std::vector<std::string>* warnings = nullptr,
                      const std::vector<TGltfAnimation>& animations = {});

// Writes the file through WriteFileReplacing (platform.h): complete or not at all. Also throws its
// EInOutError.
void WriteGltfFile(const std::string& fileName, const T3DO& model, const TNodeList& nodes,
                   int geoSetIndex, const std::vector<TMaterialLook>& materials,
                   TGltfContainer container, std::vector<std::string>* warnings = nullptr,
                   const std::vector<TGltfAnimation>& animations = {});
