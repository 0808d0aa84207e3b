// quillmark-cli render: the first frame a new preview window shows, written as a PNG.
// The scene is the preview's own (previewscene.h): two lights on one frame, the camera framed
// on the model's box, one step of the default rotation, then one render. Added: --fit moves the
// camera so the model fills the picture, --background replaces what was not drawn; a .3do is
// drawn with its materials, found beside it and in the game folder (--game, else the one the
// program saved), unless --no-textures. Added: --key with --frame draws a .3do in a key's pose
// (the .X text of the posed geometry set, then the same scene); --frames draws one picture per
// whole frame.
#include "commands.h"
#include "keyinput.h"
#include "materialoptions.h"
#include "modelinput.h"

#include "scene/d3drm.h"
#include "view/colors.h"
#include "scene/dxerror.h"
#include "model/loader.h"
#include "model/model.h"
#include "base/platform.h"
#include "formats/pngwrite.h"
#include "scene/previewscene.h"
#include "formats/xexport.h"
#include "model/pose.h"

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
constexpr const char* kFrameNeedsKey = "--frame and --frames need --key";
constexpr const char* kFrameAndFrames = "--frame and --frames do not go together";
constexpr const char* kFramesNeedPattern = "--frames needs {frame} in OUT.png";
constexpr const char* kKeyNeeds3DO = "--key needs a .3do model";
constexpr const char* kFramePattern = "{frame}";
// More pictures than this from one command is a mistyped range.
constexpr long kMaxFrames = 100000;

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

// "A:B", whole frames from A to B, A <= B, at most kMaxFrames of them.
bool ReadFrameRange(const std::string& text, int& first, int& last)
{
    const std::size_t colon = text.find(':');
    long a = 0, b = 0;
    if (colon == std::string::npos ||
        !ReadWhole(std::string_view(text).substr(0, colon), 0, 1000000000, a) ||
        !ReadWhole(std::string_view(text).substr(colon + 1), a, 1000000000, b) ||
        b - a >= kMaxFrames)
        return false;
    first = static_cast<int>(a);
    last = static_cast<int>(b);
    return true;
}

// OUT with {frame} as the frame's number, four digits at least: walk_{frame}.png, walk_0007.png.
std::string FrameFileName(const std::string& pattern, int frame)
{
    std::string number = std::to_string(frame);
    if (number.size() < 4)
        number.insert(0, 4 - number.size(), '0');
    std::string name = pattern;
    for (std::size_t at; (at = name.find(kFramePattern)) != std::string::npos;)
        name.replace(at, std::string_view(kFramePattern).size(), number);
    return name;
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
        parser.Text("--key KEY", FKey);
        parser.Value("--frame T",
                     [this](const std::string& v)
                     {
                         FFrameGiven = true;
                         return ReadReal(v, FFrame);
                     });
        parser.Value("--frames A:B",
                     [this](const std::string& v)
                     {
                         FFramesGiven = true;
                         return ReadFrameRange(v, FFirst, FLast);
                     });
    }

    int Run(const TSharedOptions& shared) override
    {
        CheckFrameOptions();
        MaskFloatingPointExceptions();
        EnumerateDrivers(kBitsPerPixel);
        const GUID* driver = ChosenDriver(FDriver);

        const TTemporaryFile temporary;
        FModel = LocateModel(FInput, shared);
        if (!FKey.empty())
            return RenderPosed(driver, temporary);
        TFaceLooks looks;
        const std::string fileName = PreviewFile(temporary, looks);
        Draw(driver, fileName, std::move(looks), FOutput);
        return 0;
    }

private:
    void CheckFrameOptions() const
    {
        if ((FFrameGiven || FFramesGiven) && FKey.empty())
            throw EUsage(kFrameNeedsKey);
        if (FFrameGiven && FFramesGiven)
            throw EUsage(kFrameAndFrames);
        if (FFramesGiven && FOutput.find(kFramePattern) == std::string::npos)
            throw EUsage(kFramesNeedPattern);
    }

    // The scene of the preview's first frame on the .X file, written as a PNG.
    void Draw(const GUID* driver, const std::string& fileName, TFaceLooks looks,
              const std::string& output) const
    {
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
        WritePng(output, window.Frame.Width, window.Frame.Height, rgba.data());
    }

    // Added: the model in the key's pose at --frame, or at each frame of --frames, each picture
    // drawn as plain render draws the model, from the .X text of the posed geometry set.
    int RenderPosed(const GUID* driver, const TTemporaryFile& temporary) const
    {
        if (LowerExtension(ModelName(FModel)) != ".3do")
            throw EUsage(kKeyNeeds3DO);
        TSilentProgress progress;
        const TLoadedModel loaded = ParseModel(FModel, progress);
        const TNodeList& nodes = *loaded.Nodes;
        loaded.Model->Get(FGeoSet);
        const TAssetSource source = ModelAssetSource(FModel, FMaterials.Settings().Folder);
        const TLoadedKey key = LoadKey(FKey, source, nodes);
        const TFaceLooks looks = FMaterials.Load(*loaded.Model, FGeoSet, FModel).Faces;
        const std::vector<int> keyNodes = KeyNodesFor(key.Key, nodes);
        const auto draw = [&](double frame, const std::string& output)
        {
            TPose pose;
            PoseAt(nodes, key.Key, keyNodes, KeyTime(key.Key, frame), pose);
            WriteFileReplacing(temporary.Name(), [&](const TXSink& sink)
                               { WritePosedX(*loaded.Model, nodes, FGeoSet, pose, sink); });
            Draw(driver, temporary.Name(), looks, output);
        };
        if (!FFramesGiven)
            draw(FFrame, FOutput);
        for (int frame = FFirst; FFramesGiven && frame <= FLast; ++frame)
            draw(frame, FrameFileName(FOutput, frame));
        return 0;
    }

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
                               [this](const TXSink& sink) { sink(ReadModelEntry(FModel)); });
            return temporary.Name();
        }
        TSilentProgress progress;
        const TLoadedModel loaded = ParseModel(FModel, progress);
        WriteXFile(temporary.Name(), *loaded.Model, *loaded.Nodes, FGeoSet);
        looks = FMaterials.Load(*loaded.Model, FGeoSet, FModel).Faces;
        return temporary.Name();
    }

    std::string FInput, FOutput, FDriver, FKey;
    double FFrame = 0;
    bool FFrameGiven = false, FFramesGiven = false;
    int FFirst = 0, FLast = 0;
    TModelLocation FModel; // the file, or the archive and entry, FInput names
    TMaterialOptions FMaterials;
    bool FFit = false;
    TBackground FBackground;
    int FGeoSet = 0;
    int FWidth = kDefaultWidth, FHeight = kDefaultHeight;
};

const TCommandRegistrar<TRenderCommand> kRender("render");
} // namespace
