// quillmark-cli render: the first frame a new preview window shows, written as a PNG.
// A still picture (stillpicture.h) in the preview's own scene: two lights on one frame, the camera
// framed on the model's box, one step of the default rotation, then one render. Added: --fit moves
// the camera so the model fills the picture, --background replaces what was not drawn; a .3do is
// drawn with its materials, found beside it and in the game folder (--game, else the one the
// program saved), unless --no-textures. Added: --key with --frame draws a .3do in a key's pose
// (the geometry set's .X text with the pose's vertices, as the preview poses it, then the same
// scene); --frames draws one picture per whole frame.
#include "commands.h"
#include "keyinput.h"
#include "materialoptions.h"
#include "modelinput.h"

#include "base/U_String.h"
#include "formats/pngwrite.h"
#include "formats/xexport.h"
#include "model/loader.h"
#include "model/model.h"
#include "model/pose.h"
#include "scene/d3ddriver.h"
#include "scene/drivertable.h"
#include "scene/dxerror.h"
#include "scene/stillpicture.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr const char* kUnknownDriver = "Unknown driver '%s'; the drivers are %s";
constexpr const char* kDriversHelp = "--driver takes one of these drivers (letter case ignored):\n";
// Added: short names for the drivers, taken as the name they stand for. "OpenGL" is the
// OpenGL driver's name (gl/gldriver.h), which builds without it do not have.
constexpr std::pair<const char*, const char*> kDriverShortNames[] = {
    {"software", kSoftwareDriverName}, {"opengl", "OpenGL"}};
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
// The screen depth the preview is assumed to run at: the drivers listed are those for it.
constexpr int kBitsPerPixel = 32;

// "transparent" or "#RRGGBB" (hex digits in either case).
bool ReadBackground(const std::string& text, TBackground& background)
{
    if (text == "transparent")
    {
        background.Kind = TBackgroundKind::bkTransparent;
        return true;
    }
    if (text.size() != 7 || text[0] != '#' ||
        !std::all_of(text.begin() + 1, text.end(),
                     [](unsigned char c) { return std::isxdigit(c) != 0; }))
        return false;
    background.Kind = TBackgroundKind::bkColour;
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

// The named driver's GUID; nullptr (the default driver) for no name.
const GUID* ChosenDriver(const std::string& name)
{
    if (name.empty())
        return nullptr;
    std::string full = name;
    for (const auto& [shortName, driverName] : kDriverShortNames)
        if (SameText(name, shortName))
            full = driverName;
    const int index = FindDriver(full);
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

    // Added: the drivers this build has, each by its short name and its name.
    std::string HelpNotes() const override
    {
        EnumerateDrivers(kBitsPerPixel);
        const TDriverRegistration* standard = FindD3DDriver(nullptr);
        std::string notes = kDriversHelp;
        for (int i = 0; i < DriverTableCount; ++i)
        {
            std::string shortName;
            for (const auto& [s, driverName] : kDriverShortNames)
                if (SameText(DriverTable[i].Name, driverName))
                    shortName = s;
            notes += "  " + (shortName.empty() ? "" : shortName + " or ") + "\"" +
                     DriverTable[i].Name + "\" (" + DriverTable[i].Description + ")" +
                     (standard && standard->Guid == DriverTable[i].Guid ? ", the default" : "") +
                     "\n";
        }
        return notes;
    }

    int Run(const TSharedOptions& shared) override
    {
        CheckFrameOptions();
        MaskFloatingPointExceptions();
        EnumerateDrivers(kBitsPerPixel);
        TStillPicture picture;
        picture.Driver = ChosenDriver(FDriver);
        picture.Width = FWidth;
        picture.Height = FHeight;
        picture.Fit = FFit;
        picture.Background = FBackground;

        FModel = LocateModel(FInput, shared);
        if (!FKey.empty())
            return RenderPosed(picture);
        WritePicture(Draw(picture), FOutput);
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

    static void WritePicture(const TFrameBuffer& frame, const std::string& output)
    {
        // The encoder takes the bytes R, G, B, A.
        std::vector<std::uint32_t> rgba(frame.Pixels.size());
        std::transform(frame.Pixels.begin(), frame.Pixels.end(), rgba.begin(),
                       [](std::uint32_t p)
                       { return (p & 0xFF00FF00u) | (p & 0xFF) << 16 | (p >> 16 & 0xFF); });
        WritePng(output, frame.Width, frame.Height, rgba.data());
    }

    // Added: the model in the key's pose at --frame, or at each frame of --frames, each picture
    // drawn as plain render draws the model, with the vertices the posed .X text would give.
    int RenderPosed(TStillPicture& picture) const
    {
        if (LowerExtension(ModelName(FModel)) != ".3do")
            throw EUsage(kKeyNeeds3DO);
        TSilentProgress progress;
        const TLoadedModel loaded = ParseModel(FModel, progress);
        const TNodeList& nodes = *loaded.Nodes;
        loaded.Model->Get(FGeoSet);
        const TAssetSource source = ModelAssetSource(FModel, FMaterials.Settings().Folder);
        const TLoadedKey key = LoadKey(FKey, source, nodes);
        picture.Looks = FMaterials.Load(*loaded.Model, FGeoSet, FModel).Faces;
        const std::vector<int> keyNodes = KeyNodesFor(key.Key, nodes);
        const auto draw = [&](double frame, const std::string& output)
        {
            TPose pose;
            PoseAt(nodes, key.Key, keyNodes, KeyTime(key.Key, frame), pose);
            WritePicture(DrawStillPicture(*loaded.Model, nodes, FGeoSet, pose, picture), output);
        };
        if (!FFramesGiven)
            draw(FFrame, FOutput);
        for (int frame = FFirst; FFramesGiven && frame <= FLast; ++frame)
            draw(frame, FrameFileName(FOutput, frame));
        return 0;
    }

    // A .3do goes through the program's own .X writer, exactly as the main window converts it,
    // and is drawn with the looks of its faces; anything else is taken as a .X file.
    TFrameBuffer Draw(TStillPicture& picture) const
    {
        if (LowerExtension(ModelName(FModel)) != ".3do")
            return FModel.Archive ? DrawStillPicture(ReadModelEntry(FModel), picture)
                                  : DrawStillXFile(FInput, picture);
        TSilentProgress progress;
        const TLoadedModel loaded = ParseModel(FModel, progress);
        const std::string text = XText(*loaded.Model, *loaded.Nodes, FGeoSet);
        picture.Looks = FMaterials.Load(*loaded.Model, FGeoSet, FModel).Faces;
        return DrawStillPicture(text, picture);
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
