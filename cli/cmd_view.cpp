// quillmark-cli view: paints what a view window's paint area shows, into a PNG file.
#include "commands.h"

#include "colors.h"
#include "loader.h"
#include "model.h"
#include "pngwrite.h"
#include "softcanvas.h"
#include "viewcore.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>
#include <string_view>

namespace
{
constexpr const char* kViewUsage =
    "IN.3do OUT.png [--plane front|side|top] [--size WxH] [--zoom Z] [--pan X,Y] [--geoset N] "
    "[--vertices] [--boxes] [--grid] [--mesh-only] [--no-offsets]";
constexpr int kMaxSide = 8192;

constexpr std::int32_t kWhite = 0xFFFFFF;
constexpr std::int32_t kBlack = 0x000000;
constexpr std::int32_t kBlue = 0xFF0000; // 0x00BBGGRR
constexpr std::int32_t kGrey = 0x808080;

[[noreturn]] void Fail(const std::string& message)
{
    throw std::runtime_error(message);
}

// `whole` is the option's full value, named in the message.
double ParseReal(std::string_view text, const std::string& option, std::string_view whole)
{
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        Fail("Invalid value for " + option + ": '" + std::string(whole) + "'");
    return v;
}

long ParseWhole(std::string_view text, const std::string& option, std::string_view whole, long min,
                long max)
{
    long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < min || v > max)
        Fail("Invalid value for " + option + ": '" + std::string(whole) + "'");
    return v;
}

// Splits "AsepB" at the first sep; fails when there is none.
std::pair<std::string_view, std::string_view> SplitPair(std::string_view text, char sep,
                                                        const std::string& option)
{
    const std::size_t at = text.find(sep);
    if (at == std::string_view::npos)
        Fail("Invalid value for " + option + ": '" + std::string(text) + "'");
    return {text.substr(0, at), text.substr(at + 1)};
}

int RunView(const std::vector<std::string>& args)
{
    std::string in, out;
    int width = 640, height = 480;
    TViewCore view;
    std::uint16_t geoSet = 0;
    TViewPlane plane = vpFront;
    double zoom = kDefaultZoom, panX = 0, panY = 0;
    bool vertices = false, boxes = false, grid = false, meshOnly = false, noOffsets = false;

    for (std::size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];
        const auto value = [&]() -> const std::string&
        {
            if (i + 1 >= args.size())
                Fail("Missing value for " + a);
            return args[++i];
        };
        if (a == "--plane")
        {
            const std::string& p = value();
            if (p == "front")
                plane = vpFront;
            else if (p == "side")
                plane = vpSide;
            else if (p == "top")
                plane = vpTop;
            else
                Fail("Invalid value for --plane: '" + p + "'");
        }
        else if (a == "--size")
        {
            const std::string& v = value();
            const auto [w, h] = SplitPair(v, 'x', a);
            width = static_cast<int>(ParseWhole(w, a, v, 1, kMaxSide));
            height = static_cast<int>(ParseWhole(h, a, v, 1, kMaxSide));
        }
        else if (a == "--zoom")
        {
            const std::string& v = value();
            zoom = ParseReal(v, a, v);
            if (!(zoom > 0))
                Fail("Invalid value for --zoom: '" + v + "'");
        }
        else if (a == "--pan")
        {
            const std::string& v = value();
            const auto [x, y] = SplitPair(v, ',', a);
            panX = ParseReal(x, a, v);
            panY = ParseReal(y, a, v);
        }
        else if (a == "--geoset")
        {
            const std::string& v = value();
            geoSet = static_cast<std::uint16_t>(ParseWhole(v, a, v, 0, 65535));
        }
        else if (a == "--vertices")
            vertices = true;
        else if (a == "--boxes")
            boxes = true;
        else if (a == "--grid")
            grid = true;
        else if (a == "--mesh-only")
            meshOnly = true;
        else if (a == "--no-offsets")
            noOffsets = true;
        else if (a.rfind("--", 0) == 0)
            Fail("Unknown option " + a);
        else if (in.empty())
            in = a;
        else if (out.empty())
            out = a;
        else
            Fail("Unexpected argument " + a);
    }
    if (in.empty() || out.empty())
        Fail(std::string("usage: quillmark-cli view ") + kViewUsage);

    TSilentProgress progress;
    const TLoadedModel loaded = Parse3DOFile(in, progress);

    // The same steps a new window takes, then the options in place of key presses.
    view.ResetView(width, height);
    view.FPlane = plane;
    view.FZoom = zoom;
    view.FPanX = panX;
    view.FPanY = panY;
    view.FPickMode = vertices ? pkVertex : pkPolygon;
    view.FShowBoxes = boxes;
    view.FShowGrid = grid;
    view.FShowHierarchy = !meshOnly;
    view.FUseOffsets = !noOffsets;

    BackgroundColor = kWhite;
    PolygonWireColor = kBlack;
    VertexColor = kBlue;
    GridMarksColor = kGrey;
    // The window's background panel fills the area before the paint.
    TSoftCanvas canvas(width, height, BackgroundColor);
    const TViewScene scene{loaded.Model.get(), loaded.Nodes.get(), geoSet, 0};
    view.PaintView(canvas, scene, width, height);
    WritePng(out, width, height, canvas.Pixels().data());
    return 0;
}

const TCommandRegistrar kView("view", kViewUsage, RunView);
} // namespace
