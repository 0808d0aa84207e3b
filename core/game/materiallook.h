// What drawing and export need of one entry of a model's material list: a flat colour, cel 0's
// texture, or nothing usable. Filled from the game's files by modelmaterials.h.
#pragma once

#include "scene/d3ddriver.h"

#include <cstdint>
#include <memory>
#include <string>

enum class TMaterialKind
{
    Missing, // not found or not readable: shown as a placeholder named after the material
    Colour,
    Texture,
};

struct TMaterialLook
{
    std::string Name; // as in the model's list
    TMaterialKind Kind = TMaterialKind::Missing;
    std::uint32_t Colour = 0xFFFFFFFF; // cel 0's flat colour, 0xAARRGGBB as displayed (sRGB)
    // Cel 0 of a texture: its size, and its texels (0xAARRGGBB, rows from the top), shared by
    // every name of the list that reaches the same material. No texels when the texture budget
    // was spent before it: drawn and exported as the placeholder.
    int Width = 0, Height = 0;
    std::shared_ptr<const TRenderTexture> Texture;
    bool CutOut = false; // some texels are transparent (alpha 0)
};

// A texture look whose texels fill its size: one drawing and export can use.
inline bool UsableTexture(const TMaterialLook& look)
{
    return look.Kind == TMaterialKind::Texture && look.Texture && look.Width > 0 &&
           look.Height > 0 && look.Texture->Width == look.Width &&
           look.Texture->Height == look.Height &&
           look.Texture->Texels.size() ==
               static_cast<std::uint64_t>(look.Width) * static_cast<std::uint64_t>(look.Height);
}
