// quillmark-cli view: paints what a view window's paint area shows, into a PNG file.
#include "commands.h"
#include "modelinput.h"

#include "view/colors.h"
#include "model/loader.h"
#include "model/model.h"
#include "formats/pngwrite.h"
#include "view/softcanvas.h"
#include "view/viewcore.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace
{
constexpr std::int32_t kWhite = 0xFFFFFF;
constexpr std::int32_t kBlack = 0x000000;
constexpr std::int32_t kBlue = 0xFF0000; // 0x00BBGGRR
constexpr std::int32_t kGrey = 0x808080;

class TViewCommand : public TCommand
{
public:
    void Declare(TOptionParser& parser) override
    {
        parser.Model("MODEL.3do", FModel);
        parser.File("OUT.png", FOutput);
        parser.Choice("--plane", FPlane, {{"front", vpFront}, {"side", vpSide}, {"top", vpTop}});
        parser.Size("--size WxH", FWidth, FHeight);
        parser.Value("--zoom Z",
                     [this](const std::string& v) { return ReadReal(v, FZoom) && FZoom > 0; });
        parser.Value("--pan X,Y",
                     [this](const std::string& v)
                     {
                         const std::size_t comma = v.find(',');
                         const std::string_view text(v);
                         return comma != std::string::npos &&
                                ReadReal(text.substr(0, comma), FPanX) &&
                                ReadReal(text.substr(comma + 1), FPanY);
                     });
        parser.Whole("--geoset N", FGeoSet, 0, kMaxGeoSet);
        parser.Flag("--vertices", FVertices);
        parser.Flag("--boxes", FBoxes);
        parser.Flag("--grid", FGrid);
        parser.Flag("--mesh-only", FMeshOnly);
        parser.Flag("--no-offsets", FNoOffsets);
    }

    int Run(const TSharedOptions& shared) override;

private:
    std::string FModel, FOutput;
    int FPlane = vpFront;
    int FWidth = 640, FHeight = 480;
    double FZoom = kDefaultZoom, FPanX = 0, FPanY = 0;
    int FGeoSet = 0;
    bool FVertices = false, FBoxes = false, FGrid = false, FMeshOnly = false, FNoOffsets = false;
};

int TViewCommand::Run(const TSharedOptions& shared)
{
    const int width = FWidth, height = FHeight;
    TSilentProgress progress;
    const TLoadedModel loaded = ParseModel(LocateModel(FModel, shared), progress);

    // The same steps a new window takes, then the options in place of key presses.
    TViewCore view;
    view.ResetView(width, height);
    view.FPlane = static_cast<TViewPlane>(FPlane);
    view.FZoom = FZoom;
    view.FPanX = FPanX;
    view.FPanY = FPanY;
    view.FPickMode = FVertices ? pkVertex : pkPolygon;
    view.FShowBoxes = FBoxes;
    view.FShowGrid = FGrid;
    view.FShowHierarchy = !FMeshOnly;
    view.FUseOffsets = !FNoOffsets;

    BackgroundColor = kWhite;
    PolygonWireColor = kBlack;
    VertexColor = kBlue;
    GridMarksColor = kGrey;
    // The window's background panel fills the area before the paint.
    TSoftCanvas canvas(width, height, BackgroundColor);
    const TViewScene scene{loaded.Model.get(), loaded.Nodes.get(),
                           static_cast<std::uint16_t>(FGeoSet), 0};
    view.PaintView(canvas, scene, width, height);
    WritePng(FOutput, width, height, canvas.Pixels().data());
    return 0;
}

const TCommandRegistrar<TViewCommand> kView("view");
} // namespace
