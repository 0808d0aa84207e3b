// How the faces of one geometry set look as the game draws them (texture, colour, sides,
// translucency, light), for the preview: laid out as the .X writer writes the set, so that they
// fit the mesh the preview loads from that file.
#pragma once

#include "game/assets.h"
#include "scene/d3ddriver.h"
#include "game/materiallook.h"
#include "model/model.h"
#include "game/materialreport.h"
#include "game/modelmaterials.h"

#include <optional>
#include <string>
#include <vector>

// Warnings: the model is still shown.
inline constexpr const char* kFaceMaterialBeyondList =
    "Mesh '%s' has faces whose material is beyond the material list; they are not drawn";
inline constexpr const char* kFaceTexVertexBeyondList =
    "Mesh '%s' has face corners beyond its texture vertex list; they take texture vertex 0";

// The texture a face of a missing material shows: magenta and black squares of 8 texels.
inline constexpr int kPlaceholderSide = 64;

// The looks of geoset `geoSet`: its meshes' faces in order, each face's corners reversed, as
// the .X writer writes them. `materials[i]` describes model.Materials[i]; entries past its end
// are missing. Per face, with g = the lower of the mesh's and the face's geometry mode:
// - g <= 0, material -1 or a material beyond the model's list: not drawn (the last with a
//   warning per mesh);
// - g >= 4 and a texture material: its texture, texture coordinates = texture vertex / the
//   texture's size (a corner beyond the texture vertex list takes vertex 0, with a warning);
// - a missing material: the placeholder texture for g >= 4, its magenta otherwise;
// - otherwise (g 1 to 3, or a colour material): the material's flat colour. Deliberate: points
//   (1) and wireframe (2) are drawn solid like 3; the preview draws only solid faces.
// Flag 0x1 makes a face double-sided, 0x2 translucent; the lower of the mesh's and the face's
// lighting mode being 0 makes it full-bright. Returns no looks at all (the design's white
// faces) when no material is usable. Throws EListError for a geoset outside the model.
TFaceLooks BuildFaceLooks(const T3DO& model, int geoSet,
                          const std::vector<TMaterialLook>& materials,
                          std::vector<std::string>* warnings = nullptr);

// A model's materials as found for the user, and the looks they give one of its geometry sets.
struct TModelLooks
{
    TFoundMaterials Found;
    TFaceLooks Faces; // empty when no material is usable: drawn as the design draws it
    std::vector<std::string> FaceWarnings;

    // For the user, in this order: Found's (asset source, colormap), one per missing or unusable
    // material, the faces'.
    std::vector<std::string> Warnings() const;
};

// FindModelMaterials for the model's material list, then BuildFaceLooks of `geoSet`; without a
// geoset only the materials (no faces, none of the faces' warnings), as export needs. A model
// without materials looks for nothing. A geoset outside the model throws EListError before any
// file is read; a chosen colormap that cannot be used throws as LoadModelColormap does, a `saved`
// one gives way to the default (FindModelMaterials); nothing in the game's files makes it throw
// otherwise.
TModelLooks LoadModelLooks(const T3DO& model, std::optional<int> geoSet,
                           const TModelLocation& location, const std::string& gameFolder,
                           const std::string& colormap, bool saved = false);
