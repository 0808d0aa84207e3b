// Thumbnails of models.
#include "scene/thumbnail.h"

#include "game/facelooks.h"
#include "model/loader.h"
#include "scene/dxerror.h"
#include "scene/stillpicture.h"

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
