// quillmark-cli render: the first frame a new preview window shows, written as a PNG.
// The scene is the preview's own (previewscene.h): two lights on one frame, the camera framed
// on the model's box, one step of the default rotation, then one render. Added: --fit moves the
// camera so the model fills the picture, --background replaces what was not drawn; a .3do is
// drawn with its materials, found beside it and in the game folder (--game, else the one the
// program saved), unless --no-textures.
#include "commands.h"
#include "materialoptions.h"
#include "modelinput.h"

#include "scene/d3drm.h"
#include "view/colors.h"
#include "scene/dxerror.h"
#include "model/loader.h"
#include "model/model.h"
#include "base/platform.h"
#include "formats/pngwrite.h"
#include "scene/drivertable.h"
#include "scene/previewscene.h"
#include "formats/xexport.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace
{
constexpr const char* kUnknownDriver = "Unknown driver '%s'; the drivers are %s";
constexpr const char* kNoCoverage =
    "The 3D driver does not tell the model from the background; --background needs one that does";

// The preview's 3D area: the 521 x 446 form less its frame, the 30-pixel bottom panel and the
// bordered pane around the control.
constexpr int kDefaultWidth = 505;
constexpr int kDefaultHeight = 377;
// The screen depth the preview is assumed to run at.
constexpr int kBitsPerPixel = 32;
// The preview's speed bar at its first position.
constexpr int kRotationSpeed = 1;
// How much of the picture's width or height a fitted model takes.
constexpr double kFitFill = 0.9;

// What shows where the model is not: the device's own clear colour, a colour, or nothing.
enum class TBackgroundKind
{
    Cleared,
    Colour,
    Transparent
};

struct TBackground
{
    TBackgroundKind Kind = TBackgroundKind::Cleared;
    std::uint32_t Rgb = 0; // 0xRRGGBB
};

// "transparent" or "#RRGGBB" (hex digits in either case).
bool ReadBackground(const std::string& text, TBackground& background)
{
    if (text == "transparent")
    {
        background.Kind = TBackgroundKind::Transparent;
        return true;
    }
    if (text.size() != 7 || text[0] != '#' ||
        !std::all_of(text.begin() + 1, text.end(),
                     [](unsigned char c) { return std::isxdigit(c) != 0; }))
        return false;
    background.Kind = TBackgroundKind::Colour;
    background.Rgb = static_cast<std::uint32_t>(std::stoul(text.substr(1), nullptr, 16));
    return true;
}

// The device's picture (0xFFRRGGBB) in the encoder's byte order R, G, B, A, with the background
// put in where nothing was drawn.
std::vector<std::uint32_t> PngPixels(const TFrameBuffer& frame, const TBackground& background)
{
    const auto rgba = [](std::uint32_t p)
    { return 0xFF000000u | (p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF); };
    std::vector<std::uint32_t> out(frame.Pixels.size());
    std::transform(frame.Pixels.begin(), frame.Pixels.end(), out.begin(), rgba);
    if (background.Kind == TBackgroundKind::Cleared)
        return out;
    if (frame.Coverage.size() != frame.Pixels.size())
        throw EOptionValue(kNoCoverage);
    const std::uint32_t fill =
        background.Kind == TBackgroundKind::Transparent ? 0 : rgba(background.Rgb);
    for (std::size_t i = 0; i < out.size(); ++i)
        if (!frame.Coverage[i])
            out[i] = fill;
    return out;
}

// Keeps the last picture the device shows.
class TCaptureTarget : public TRenderTarget
{
public:
    void Present(const TFrameBuffer& frame) override { Frame = frame; }
    TFrameBuffer Frame;
};

// A temporary file removed when the render ends, however it ends.
class TTemporaryFile
{
public:
    TTemporaryFile()
    {
        std::random_device random;
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        const std::string title = "quillmark-render-" + std::to_string(random()) + "-" +
                                  std::to_string(static_cast<unsigned long long>(now)) + ".x";
        FName = Utf8FromPath(std::filesystem::temp_directory_path() / title);
    }
    ~TTemporaryFile()
    {
        std::error_code ignored;
        std::filesystem::remove(PathFromUtf8(FName), ignored);
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;
    const std::string& Name() const { return FName; }

private:
    std::string FName;
};

// The named driver's GUID; nullptr (the default driver) for no name.
const GUID* ChosenDriver(const std::string& name)
{
    if (name.empty())
        return nullptr;
    const int index = FindDriver(name);
    if (index >= 0)
        return &DriverTable[index].Guid;
    std::string names;
    for (int i = 0; i < DriverTableCount; ++i)
        names += (i == 0 ? "'" : ", '") + DriverTable[i].Name + "'";
    throw EOptionValue(FormatText(kUnknownDriver, {name, names}));
}

class TRenderCommand : public TCommand
{
public:
    void Declare(TOptionParser& parser) override
    {
        parser.Model("MODEL.3do|MODEL.x", FInput);
        parser.File("OUT.png", FOutput);
        parser.Whole("--geoset N", FGeoSet, 0, kMaxGeoSet);
        parser.Size("--size WxH", FWidth, FHeight);
        parser.Text("--driver NAME", FDriver);
        parser.Flag("--fit", FFit);
        parser.Value("--background transparent|#RRGGBB",
                     [this](const std::string& v) { return ReadBackground(v, FBackground); });
        FMaterials.Declare(parser);
    }

    int Run(const TSharedOptions& shared) override
    {
        MaskFloatingPointExceptions();
        EnumerateDrivers(kBitsPerPixel);
        const GUID* driver = ChosenDriver(FDriver);

        const TTemporaryFile temporary;
        FModel = LocateModel(FInput, shared);
        TFaceLooks looks;
        const std::string fileName = PreviewFile(temporary, looks);
        TCaptureTarget window;
        TPreviewScene scene;
        scene.SetFaceLooks(std::move(looks));
        scene.Build(&window);
        scene.CreateDevice(driver, FWidth, FHeight, kBitsPerPixel);
        if (FFit)
        {
            scene.LoadModelFitted(fileName, kRotationSpeed, kFitFill);
            scene.DrawFrame();
        }
        else
        {
            scene.LoadModel(fileName);
            scene.SetRotationSpeed(kRotationSpeed);
            scene.RenderFrame();
        }
        const std::vector<std::uint32_t> rgba = PngPixels(window.Frame, FBackground);
        WritePng(FOutput, window.Frame.Width, window.Frame.Height, rgba.data());
        return 0;
    }

private:
    // The .X file the preview loads: a .3do goes through the program's own .X writer, exactly
    // as the main window converts it, and gives the looks of its faces; anything else is taken
    // as a .X file (an archive entry copied out first).
    std::string PreviewFile(const TTemporaryFile& temporary, TFaceLooks& looks) const
    {
        if (LowerExtension(ModelName(FModel)) != ".3do")
        {
            if (!FModel.Archive)
                return FInput;
            WriteFileReplacing(temporary.Name(),
                               [this](const TByteSink& sink) { sink(ReadModelEntry(FModel)); });
            return temporary.Name();
        }
        TSilentProgress progress;
        const TLoadedModel loaded = ParseModel(FModel, progress);
        WriteXFile(temporary.Name(), *loaded.Model, *loaded.Nodes, FGeoSet);
        looks = FMaterials.Load(*loaded.Model, FGeoSet, FModel).Faces;
        return temporary.Name();
    }

    std::string FInput, FOutput, FDriver;
    TModelLocation FModel; // the file, or the archive and entry, FInput names
    TMaterialOptions FMaterials;
    bool FFit = false;
    TBackground FBackground;
    int FGeoSet = 0;
    int FWidth = kDefaultWidth, FHeight = kDefaultHeight;
};

const TCommandRegistrar<TRenderCommand> kRender("render");
} // namespace
