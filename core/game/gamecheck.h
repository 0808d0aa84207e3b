// Added: "will it load in the game?": a loaded model checked against the limits of the game's own
// reader (mesh sizes, corners, geometry sets, names, indices) and its materials as the game
// would find them, as plain findings for the command line and the window to show.
#pragma once

#include "game/assets.h"
#include "formats/keyframes.h"
#include "game/modelmaterials.h"
#include "model/model.h"

#include <string>
#include <string_view>
#include <vector>

// The game's limits.
inline constexpr int kGameMeshVertices = 512;
inline constexpr int kGameMeshTexVertices = 768;
inline constexpr int kGameMeshFaces = 512;
inline constexpr int kGameFaceCorners = 24;
inline constexpr int kGameGeoSets = 4;
inline constexpr int kGameNameLength = 31; // names live in 32-byte fields
inline constexpr int kGameAnimatedNodes = 64;

// The messages; the first %s of each (but the model's) is where: "geoset G, mesh M 'NAME'",
// that with ", face F", "node N 'NAME'" or "material I 'NAME'".
inline constexpr const char* kCheckMeshVertices =
    "%s has %s vertices; the game refuses a mesh of more than 512: the model fails to load";
inline constexpr const char* kCheckMeshTexVertices =
    "%s has %s texture vertices; the game refuses a mesh of more than 768: the model fails to load";
inline constexpr const char* kCheckMeshFaces =
    "%s has %s faces; the game refuses a mesh of more than 512: the model fails to load";
inline constexpr const char* kCheckFaceCorners =
    "%s has %s corners; the game refuses a face of none or more than 24: the model fails to load";
inline constexpr const char* kCheckGeoSets =
    "the model has %s geometry sets; the game keeps 4 in a fixed table and writes the others past "
    "it: memory corruption";
inline constexpr const char* kCheckNodeNameLength =
    "%s has a name of %s characters; the game copies it into a 32-byte field and writes past it: "
    "memory corruption";
inline constexpr const char* kCheckMaterialIndex =
    "%s takes %s, beyond the model's %s materials; the game reads past its material table";
inline constexpr const char* kCheckVertexIndex =
    "%s has a corner with %s, beyond the mesh's %s vertices; the game reads past its vertex "
    "table: garbage or a crash";
inline constexpr const char* kCheckTexVertexIndex =
    "%s has a corner with %s, beyond the mesh's %s texture vertices; the game reads past its "
    "table: garbage or a crash";
inline constexpr const char* kCheckMeshNameLength =
    "%s has a name of %s characters; the game cuts it to 31";
inline constexpr const char* kCheckMeshNameCollision =
    "%s has the name of %s once the game cuts both to 31 characters";
inline constexpr const char* kCheckMaterialMissing =
    "%s is not found; in a level the game draws dflt.mat instead";
inline constexpr const char* kCheckMaterialUnreadable =
    "%s cannot be read (%s): %s; in a level the game draws dflt.mat instead";
inline constexpr const char* kCheckTextureSize =
    "%s has a texture of %s x %s; a side that is not a power of two is drawn, but hardware paths "
    "may stretch or reject it";
inline constexpr const char* kCheckHierarchyNodes =
    "the model has %s hierarchy nodes; the game's animations drive only the first 64";
inline constexpr const char* kCheckFileNameLength =
    "the model's file name '%s' has %s characters; the game cuts it to 31";
// The first %s of the key messages is the key's name.
inline constexpr const char* kCheckKeyNode =
    "key %s animates node %s '%s'; the model has %s hierarchy nodes: the game leaves the node out";
inline constexpr const char* kCheckKeyJoints =
    "key %s is for %s joints; the model has %s hierarchy nodes: the key was made for another model";
inline constexpr const char* kCheckKeyNodeName =
    "key %s names node %s '%s'; the model's node %s is '%s': the game animates the model's node";
inline constexpr const char* kCheckSummary = "%s errors, %s warnings";

enum TFindingSeverity
{
    fsError,
    fsWarning
};

// One thing the game would refuse or mishandle. The location fields are -1 where they do not
// apply: a face has its geoset, mesh and face; a mesh its geoset and mesh; a node its node; the
// model as a whole, a material or a load failure none.
struct TGameFinding
{
    TFindingSeverity Severity = fsError;
    std::string Code;    // a fixed name such as "mesh-vertices", for scripts
    std::string Message; // UTF-8: where, and what the game does with it
    int GeoSet = -1, Mesh = -1, Face = -1, Node = -1;
};

// The findings of a loaded model: its sizes, indices and names, the name of its file (the game
// sees the part of the file's or entry's name after the last separator) and, when given, what
// the game makes of each entry of its material list (`materials`, as FindModelMaterials finds
// them). Errors first, then warnings, each in the model's order.
std::vector<TGameFinding> CheckModelForGame(const T3DO& model, const TNodeList& nodes,
                                            const TModelLocation& location,
                                            const TModelMaterials* materials);

// The same with the model's materials found as the preview finds them (FindModelMaterials with
// the default colormap); the warnings of that search (a game folder not found, an archive left
// out) are added to `warnings` when given. Nothing in the game's files makes it throw.
std::vector<TGameFinding> CheckModelWithGameFolder(const T3DO& model, const TNodeList& nodes,
                                                   const TModelLocation& location,
                                                   const std::string& gameFolder,
                                                   std::vector<std::string>* warnings = nullptr);

// Adds to `findings` what the game makes of playing `key` (named `keyName`) on the model: a key
// node beyond the model's hierarchy (kept or left out by the reader) is an error, a JOINTS other
// than the model's node count and a node named otherwise than the model's are warnings. Errors
// stay first.
void CheckKeyForGame(const TKeyframes& key, std::string_view keyName, const TNodeList& nodes,
                     std::vector<TGameFinding>& findings);

// The one finding of a model that does not load: code "load", the loader's message.
TGameFinding LoadFailure(std::string_view message);

// "error: MESSAGE" or "warning: MESSAGE".
std::string FindingLine(const TGameFinding& finding);
// "N errors, M warnings".
std::string FindingsSummary(const std::vector<TGameFinding>& findings);
int ErrorCount(const std::vector<TGameFinding>& findings);
