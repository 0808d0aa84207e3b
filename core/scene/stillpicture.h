// Added: still pictures of a model, drawn without a window as a new preview window shows its
// first frame (its scene, lights and one step of the default rotation), for `quillmark-cli
// render` and the archive browser's thumbnails. The .X text is made and read in memory, and each
// text is parsed once. Safe on any thread: every picture has objects of its own from the
// built-in 3D layer, whatever platform is installed.
#pragma once

#include "formats/xreader.h"
#include "model/model.h"
#include "model/pose.h"
#include "scene/d3ddriver.h"

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr const char* kNoCoverage =
    "The 3D driver does not tell the model from the background; --background needs one that does";

// What shows where the model is not: the device's own clear colour (black), a colour, or nothing.
enum class TBackgroundKind : std::uint8_t
{
    bkCleared,
    bkColour,
    bkTransparent
};

struct TBackground
{
    TBackgroundKind Kind = TBackgroundKind::bkCleared;
    std::uint32_t Rgb = 0; // 0xRRGGBB, for bkColour
};

struct TStillPicture
{
    int Width = 0, Height = 0;
    const GUID* Driver = nullptr; // nullptr: the default driver
    // The camera moves, keeping its direction, so that the drawn faces fill nine tenths of the
    // picture, centred; else the preview's framing.
    bool Fit = false;
    TBackground Background;
    TFaceLooks Looks; // empty: the design's white faces
};

// Geoset `geoSet` of the model, placed by `nodes`, as its .X text (XText), so a caller may hand
// over a model in any pose. The picture: Width x Height pixels 0xAARRGGBB, rows from the top,
// opaque except where the background is transparent and nothing was drawn. Throws the errors
// of XText, EDirectX for a failed 3D call (a text the reader rejects among them), and
// EDirectX(kNoCoverage) when a background of its own is asked of a driver that cannot tell
// the model from the rest.
TFrameBuffer DrawStillPicture(const T3DO& model, const TNodeList& nodes, int geoSet,
                              const TStillPicture& picture);
// Added: the same in `pose`: the geoset's .X text read once, its vertices those of the pose as
// PosedXPositions gives them (as the preview poses its model), so the picture is the one the
// posed text gives. Throws also as PosedXPositions.
TFrameBuffer DrawStillPicture(const T3DO& model, const TNodeList& nodes, int geoSet,
                              const TPose& pose, const TStillPicture& picture);
// The same from .X text in memory, or from a .X file read once the device is made (a file
// that cannot be read is EDirectX of D3DRMERR_FILENOTFOUND, as the preview reports it).
TFrameBuffer DrawStillPicture(std::string_view xText, const TStillPicture& picture);
TFrameBuffer DrawStillXFile(const std::string& fileName, const TStillPicture& picture);
