// Small pictures of models for lists: a model's .3do text drawn by the software rasterizer as a
// still picture (stillpicture.h) framed to fill it, as `quillmark-cli render --fit` frames it.
// Safe on any thread.
#pragma once

#include "formats/colormap.h"
#include "game/assets.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TThumbnail
{
    int Width = 0;
    int Height = 0;
    // 0xAARRGGBB, row by row: opaque where the model was drawn, 0 (transparent) elsewhere.
    std::vector<std::uint32_t> Pixels;
    // Why there is no picture: the message loading or drawing the model ended with.
    std::string Error;
    // The work was called off before it finished; neither a picture nor an error.
    bool Cancelled = false;
};

// Draws geoset 0 of the model in `bytes` at width x height pixels, turned one step at speed 1
// and lit as the preview lights it, on a transparent background. Never throws: a model that
// cannot be loaded or drawn gives its message in Error. `cancel`, when given, is polled while
// the model loads. Added: `materials`, when given, is where the model lies; its materials are
// looked for there (not in the game folder) and coloured by the default colormap found there.
// Without it, or when none is found, the model is white as the design draws it.
TThumbnail DrawThumbnail(std::string_view bytes, int width, int height,
                         const std::atomic<bool>* cancel = nullptr,
                         const TModelLocation* materials = nullptr);
// Added: cel 0 of the material (.mat) in `bytes` through `colormap`, scaled to fit width x
// height (nearest texel, proportions kept, centred) on a transparent ground, its cut-out texels
// transparent too; a colour cel fills the picture. Never throws: a material that cannot be read
// gives its message in Error.
TThumbnail DrawMaterialThumbnail(std::string_view bytes, int width, int height,
                                 const TColormap& colormap);
