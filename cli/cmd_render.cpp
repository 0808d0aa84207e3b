// quillmark-cli render: the first frame a new preview window shows, written as a PNG.
// A still picture (stillpicture.h) in the preview's own scene: two lights on one frame, the camera
// framed on the model's box, one step of the default rotation, then one render. Added: --fit moves
// the camera so the model fills the picture, --background replaces what was not drawn; a .3do is
// drawn with its materials, found beside it and in the game folder (--game, else the one the
// program saved), unless --no-textures.
#include "commands.h"
#include "materialoptions.h"
#include "modelinput.h"

#include "base/U_String.h"
#include "formats/pngwrite.h"
#include "formats/xexport.h"
#include "model/loader.h"
#include "model/model.h"
#include "scene/drivertable.h"
#include "scene/dxerror.h"
#include "scene/stillpicture.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

namespace
{
constexpr const char* kUnknownDriver = "Unknown driver '%s'; the drivers are %s";

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
        TStillPicture picture;
        picture.Driver = ChosenDriver(FDriver);
        picture.Width = FWidth;
        picture.Height = FHeight;
        picture.Fit = FFit;
        picture.Background = FBackground;

        FModel = LocateModel(FInput, shared);
        const TFrameBuffer frame = Draw(picture);
        // The encoder takes the bytes R, G, B, A.
        std::vector<std::uint32_t> rgba(frame.Pixels.size());
        std::transform(frame.Pixels.begin(), frame.Pixels.end(), rgba.begin(),
                       [](std::uint32_t p)
                       { return (p & 0xFF00FF00u) | (p & 0xFF) << 16 | (p >> 16 & 0xFF); });
        WritePng(FOutput, frame.Width, frame.Height, rgba.data());
        return 0;
    }

private:
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
