// Writes one geoset of a 3DO model as a DirectX text (.X) file for the 3D preview, and names
// the file that the preview is written to and loaded from.
#pragma once

#include "base/platform.h"
#include "model/model.h"
#include "model/pose.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kPreviewFileTitle = "TEMP$$$$.X";

// The longest text FormatXReal can produce: sign, 309 integer digits, point, six decimals.
inline constexpr std::size_t kMaxXRealLength = 1 + 309 + 1 + 6;

// Formats a number as the .X file writes it: fixed point with six decimals, "-" whenever the
// sign bit is set, never cut. The magnitude is first rounded to nearest at 17 decimals (18
// significant digits from 10 up), then half up at the sixth decimal by the seventh digit
// alone. Infinities and not-a-number values give "INF" and "NAN" (with "-" when the sign bit
// is set). Writes at most kMaxXRealLength characters at `out` and returns the end.
char* FormatXReal(char* out, double value);
std::string FormatXReal(double value);

// Writes geoset `geoSetIndex` of `model`, each mesh placed by its chain in `nodes` and scaled
// by 1 / model radius (by 1 when the radius is 0), as one .X mesh. Throws EListError for a
// geoset or node index outside its list and EModelError(kParentChainCycle) for a cyclic
// parent chain; the sink may then have received part of the text.
void WriteX(const T3DO& model, const TNodeList& nodes, int geoSetIndex, const TByteSink& sink);
void WriteX(const T3DO& model, const TNodeList& nodes, int geoSetIndex, std::ostream& out);
std::string XText(const T3DO& model, const TNodeList& nodes, int geoSetIndex);
// Added: the same text with each mesh placed in `pose` as PlaceMesh places it, for a picture of
// the model posed by a key. A pose equal to the rest pose of a model whose nodes do not turn
// gives exactly WriteX's text. Also throws as PlaceMesh.
void WritePosedX(const T3DO& model, const TNodeList& nodes, int geoSetIndex, const TPose& pose,
                 const TByteSink& sink);
std::string PosedXText(const T3DO& model, const TNodeList& nodes, int geoSetIndex,
                       const TPose& pose);

// Added: the number the .X reader reads back from FormatXReal's text of `value` (the decimal
// rounded to the nearest double, then to a single), without the text.
float XRealReadBack(double value);

// Added: what posing a geoset again and again needs of the model, kept apart from it (the
// model may be replaced meanwhile): the scale WriteX uses and every mesh's vertices in order.
struct TPosingGeoSet
{
    struct TMeshRange
    {
        std::int32_t NodeIndex = 0;
        std::size_t First = 0, Count = 0; // vertices
    };
    double Scale = 1;
    std::vector<TMeshRange> Meshes;
    std::vector<double> Vertices; // x, y, z per vertex, meshes one after another
    std::size_t VertexCount() const { return Vertices.size() / 3; }
};
// Throws EListError for a geoset outside the model.
TPosingGeoSet PosingGeoSet(const T3DO& model, int geoSetIndex);
// Added: the vertex positions ReadXData gives for WritePosedX's text of the same geoset and
// pose, in its order (x, y, z per vertex), made straight from the numbers: the same placement
// and the same values, and no text. `out` is reused. Throws as WritePosedX.
void PosedXPositions(const TPosingGeoSet& geoSet, const TNodeList& nodes, const TPose& pose,
                     std::vector<float>& out);

// Writes the .X text to FileName through WriteFileReplacing (platform.h): a failed write leaves
// no partial file and the previous file untouched; an existing device or pipe is written in
// place; a symbolic link keeps pointing to the written file. Throws EInOutError("I/O error N",
// N the system error code) when the file cannot be created, written, closed or renamed, and the
// errors of WriteX.
void WriteXFile(const std::string& fileName, const T3DO& model, const TNodeList& nodes,
                int geoSetIndex);
// The same for geoset CurrentGeoSetIndex of CurrentModel placed by HierarchyNodes.
void WriteXFile(const std::string& fileName);

// The running program's directory followed by "TEMP$$$$.X". Where that directory cannot be
// written (an installed program), the per-user cache folder (UserFolder, created here when
// missing) takes its place.
std::string PreviewFileName();
// The same for a program in `programDirectory` (ending in a separator).
std::string PreviewFileNameFor(const std::string& programDirectory);
