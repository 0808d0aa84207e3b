// Thumbnails of models.
#include "scene/thumbnail.h"

#include "scene/d3ddriver.h"
#include "scene/dxerror.h"
#include "game/facelooks.h"
#include "model/loader.h"
#include "base/platform.h"
#include "scene/previewscene.h"
#include "formats/xexport.h"

#include <filesystem>
#include <new>
#include <system_error>

namespace
{
constexpr int kBitsPerPixel = 32;
constexpr int kRotationSpeed = 1;
constexpr double kFitFill = 0.9;

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

// Keeps the last picture the device shows.
class TCaptureTarget : public TRenderTarget
{
public:
    void Present(const TFrameBuffer& frame) override { Frame = frame; }
    TFrameBuffer Frame;
};

// A file name of its own in the temporary folder, removed when it goes.
class TScratchFile
{
public:
    TScratchFile()
    {
        static std::atomic<unsigned> counter{0};
        const std::string title = "quillmark-thumbnail-" + std::to_string(ProcessId()) + "-" +
                                  std::to_string(counter.fetch_add(1)) + ".x";
        FName = Utf8FromPath(std::filesystem::temp_directory_path() / title);
    }
    ~TScratchFile()
    {
        std::error_code ignored;
        std::filesystem::remove(PathFromUtf8(FName), ignored);
    }
    TScratchFile(const TScratchFile&) = delete;
    TScratchFile& operator=(const TScratchFile&) = delete;
    const std::string& Name() const { return FName; }

private:
    std::string FName;
};

void Draw(std::string_view bytes, const std::atomic<bool>* cancel, const TModelLocation* materials,
          TThumbnail& thumbnail)
{
    TCancellableProgress progress(cancel);
    const TScratchFile xFile;
    TFaceLooks looks;
    {
        const TLoadedModel loaded = Parse3DO(bytes, progress);
        WriteXFile(xFile.Name(), *loaded.Model, *loaded.Nodes, 0);
        if (materials)
            looks = LoadModelLooks(*loaded.Model, 0, *materials, {}, {}).Faces;
    }
    progress.Poll();
    TCaptureTarget window;
    // Separate objects from the built-in layer: nothing is shared with another thread's
    // thumbnail or with the preview windows.
    TPreviewScene scene(&BuiltinD3DPlatform());
    scene.SetFaceLooks(std::move(looks));
    scene.Build(&window);
    scene.CreateDevice(&kSoftwareDriverGuid, thumbnail.Width, thumbnail.Height, kBitsPerPixel);
    scene.LoadModelFitted(xFile.Name(), kRotationSpeed, kFitFill);
    scene.DrawFrame();

    const TFrameBuffer& frame = window.Frame;
    if (frame.Width != thumbnail.Width || frame.Height != thumbnail.Height ||
        frame.Coverage.size() != frame.Pixels.size())
        throw EDirectX(DXErrorMessage(D3DRMERR_BADDEVICE));
    thumbnail.Pixels.resize(frame.Pixels.size());
    for (std::size_t i = 0; i < frame.Pixels.size(); ++i)
        thumbnail.Pixels[i] = frame.Coverage[i] ? (0xFF000000u | frame.Pixels[i]) : 0;
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
