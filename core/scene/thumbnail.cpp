// Thumbnails of models.
#include "scene/thumbnail.h"

#include "formats/material.h"
#include "game/facelooks.h"
#include "model/loader.h"
#include "scene/dxerror.h"
#include "scene/stillpicture.h"

#include <algorithm>
#include <new>

namespace
{
struct ECancelled
{
};

// A load without a window that stops when asked to.
class TCancellableProgress : public TSilentProgress
{
public:
    explicit TCancellableProgress(const std::atomic<bool>* cancel) : FCancel(cancel) {}
    void Update() override { Poll(); }
    void Tick(std::uint64_t, std::uint64_t) override { Poll(); }
    void Poll() const
    {
        if (FCancel && FCancel->load(std::memory_order_relaxed))
            throw ECancelled();
    }

private:
    const std::atomic<bool>* FCancel;
};

void Draw(std::string_view bytes, const std::atomic<bool>* cancel, const TModelLocation* materials,
          TThumbnail& thumbnail)
{
    TCancellableProgress progress(cancel);
    const TLoadedModel loaded = Parse3DO(bytes, progress);
    TStillPicture picture;
    picture.Width = thumbnail.Width;
    picture.Height = thumbnail.Height;
    picture.Driver = &kSoftwareDriverGuid;
    picture.Fit = true;
    picture.Background.Kind = TBackgroundKind::bkTransparent;
    if (materials)
        picture.Looks = LoadModelLooks(*loaded.Model, 0, *materials, {}, {}).Faces;
    progress.Poll();
    thumbnail.Pixels = DrawStillPicture(*loaded.Model, *loaded.Nodes, 0, picture).Pixels;
}
} // namespace

TThumbnail DrawThumbnail(std::string_view bytes, int width, int height,
                         const std::atomic<bool>* cancel, const TModelLocation* materials)
{
    TThumbnail thumbnail;
    thumbnail.Width = width;
    thumbnail.Height = height;
    MaskFloatingPointExceptions(); // for this thread
    try
    {
        Draw(bytes, cancel, materials, thumbnail);
    }
    catch (const ECancelled&)
    {
        thumbnail.Cancelled = true;
    }
    catch (const std::bad_alloc&)
    {
        thumbnail.Error = kOutOfMemory;
    }
    catch (const std::exception& e)
    {
        thumbnail.Error = e.what();
    }
    if (!thumbnail.Error.empty() || thumbnail.Cancelled)
        thumbnail.Pixels.clear();
    return thumbnail;
}

TThumbnail DrawMaterialThumbnail(std::string_view bytes, int width, int height,
                                 const TColormap& colormap)
{
    TThumbnail thumbnail;
    thumbnail.Width = width;
    thumbnail.Height = height;
    try
    {
        const TMaterial material(bytes);
        const TArgbImage cel = DecodeCel(material, 0, colormap);
        thumbnail.Pixels.assign(static_cast<std::size_t>(width) * height, 0);
        const bool colour = !material.Cels().front().Textured;
        // A colour fills the picture; a texture keeps its proportions.
        const double scale =
            colour ? 0 : std::min(double(width) / cel.Width, double(height) / cel.Height);
        const int w = colour ? width : std::max(1, static_cast<int>(cel.Width * scale));
        const int h = colour ? height : std::max(1, static_cast<int>(cel.Height * scale));
        const int left = (width - w) / 2, top = (height - h) / 2;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
            {
                const std::uint32_t texel =
                    cel.Pixels[static_cast<std::size_t>(y * cel.Height / h) * cel.Width +
                               static_cast<std::size_t>(x * cel.Width / w)];
                thumbnail.Pixels[static_cast<std::size_t>(top + y) * width + left + x] =
                    texel >> 24 == 0 ? 0 : texel | 0xFF000000u;
            }
    }
    catch (const std::bad_alloc&)
    {
        thumbnail.Error = kOutOfMemory;
    }
    catch (const std::exception& e)
    {
        thumbnail.Error = e.what();
    }
    if (!thumbnail.Error.empty())
        thumbnail.Pixels.clear();
    return thumbnail;
}
