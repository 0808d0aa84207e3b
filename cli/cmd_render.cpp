// quillmark-cli render: the first frame a new preview window shows, written as a PNG.
// The scene is built with the preview's own steps (previewscene.h): two lights on one frame, the
// camera framed on the model's box, one step of the default rotation, then one render.
#include "commands.h"

#include "d3drm.h"
#include "dxerror.h"
#include "errors.h"
#include "loader.h"
#include "model.h"
#include "pngwrite.h"
#include "previewscene.h"
#include "xexport.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace
{
// The preview's 3D area: the 521 x 446 form less its frame, the 30-pixel bottom panel and the
// bordered pane around the control.
constexpr int kDefaultWidth = 505;
constexpr int kDefaultHeight = 377;
// The screen depth the preview is assumed to run at.
constexpr int kBitsPerPixel = 32;
constexpr DWORD kRenderDepthFlag = DDBD_32;
constexpr int kMaxDrivers = 8;

const char* const kUsage = "IN OUT.png [--geoset N] [--size WxH] [--driver NAME]";

struct TOptions
{
    std::string Input, Output, Driver;
    int GeoSet = 0;
    int Width = kDefaultWidth, Height = kDefaultHeight;
};

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

int ParseInt(const std::string& text, const std::string& option)
{
    std::size_t used = 0;
    int value = 0;
    try
    {
        value = std::stoi(text, &used);
    }
    catch (const std::exception&)
    {
        used = 0;
    }
    if (used != text.size() || text.empty())
        throw std::runtime_error("Invalid value for " + option + ": " + text);
    return value;
}

TOptions ParseOptions(const std::vector<std::string>& args)
{
    TOptions o;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if ((a == "--geoset" || a == "--size" || a == "--driver") && !hasValue)
            throw std::runtime_error("Missing value for " + a);
        if (a == "--geoset")
            o.GeoSet = ParseInt(args[++i], a);
        else if (a == "--driver")
            o.Driver = args[++i];
        else if (a == "--size")
        {
            const std::string v = args[++i];
            const std::size_t x = v.find_first_of("xX");
            if (x == std::string::npos)
                throw std::runtime_error("Invalid value for --size: " + v);
            o.Width = ParseInt(v.substr(0, x), a);
            o.Height = ParseInt(v.substr(x + 1), a);
            if (o.Width < 1 || o.Height < 1)
                throw std::runtime_error("Invalid value for --size: " + v);
        }
        else
            positional.push_back(a);
    }
    if (positional.size() != 2)
        throw std::runtime_error(std::string("usage: quillmark-cli render ") + kUsage);
    o.Input = positional[0];
    o.Output = positional[1];
    return o;
}

// Keeps the last picture the device shows.
class TCaptureTarget : public TRenderTarget
{
public:
    void Present(const TFrameBuffer& frame) override { Frame = frame; }
    TFrameBuffer Frame;
};

struct TDriverEntry
{
    GUID Guid;
    std::string Name;
};

// The preview's driver table: drivers whose tested description draws at the screen depth.
std::vector<TDriverEntry> EnumerateDrivers()
{
    std::vector<TDriverEntry> table;
    LPDIRECTDRAW directDraw;
    DXCheck(DirectDrawCreate(nullptr, directDraw, nullptr));
    LPDIRECT3D direct3D;
    DXCheck(directDraw->QueryInterface(direct3D));
    DXCheck(direct3D->EnumDevices(
        [&](const GUID* guid, const std::string&, const std::string& name, const D3DDEVICEDESC& hw,
            const D3DDEVICEDESC& hel, void* context)
        {
            const D3DDEVICEDESC& tested = hw.dcmColorModel != 0 ? hw : hel;
            const DWORD depth = *static_cast<const DWORD*>(context);
            if (tested.dwDeviceRenderBitDepth & depth)
                table.push_back({*guid, name});
            return static_cast<int>(table.size()) < kMaxDrivers ? D3DENUMRET_OK : D3DENUMRET_CANCEL;
        },
        const_cast<DWORD*>(&kRenderDepthFlag)));
    return table;
}

// The named driver (last match, any letter case); none names the default driver.
const GUID* FindDriver(const std::vector<TDriverEntry>& table, const std::string& name)
{
    const GUID* found = nullptr;
    for (const TDriverEntry& d : table)
        if (Lower(d.Name) == Lower(name))
            found = &d.Guid;
    return found;
}

// A temporary file removed when the render ends, however it ends.
class TTemporaryFile
{
public:
    TTemporaryFile()
        : FName((std::filesystem::temp_directory_path() /
                 ("quillmark-render-" + std::to_string(::getpid()) + ".x"))
                    .string())
    {
    }
    ~TTemporaryFile()
    {
        std::error_code ignored;
        std::filesystem::remove(FName, ignored);
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;
    const std::string& Name() const { return FName; }

private:
    std::string FName;
};

// The .X file the preview loads: a .3do goes through the program's own .X writer, exactly as
// the main window converts it; anything else is taken as a .X file.
std::string PreviewFileFor(const TOptions& o, const TTemporaryFile& temporary)
{
    const std::string ext = Lower(std::filesystem::path(o.Input).extension().string());
    if (ext != ".3do")
        return o.Input;
    TSilentProgress progress;
    const TLoadedModel loaded = Parse3DOFile(o.Input, progress);
    WriteXFile(temporary.Name(), *loaded.Model, *loaded.Nodes, o.GeoSet);
    return temporary.Name();
}

class TPreviewScene
{
public:
    void Init(const GUID* driver, int width, int height, TRenderTarget& window)
    {
        DXCheck(Direct3DRMCreate(FD3DRM));
        DXCheck(DirectDrawCreateClipper(0, FClipper, nullptr));
        DXCheck(FClipper->SetHWnd(0, &window));
        BuildPreviewScene(FD3DRM, FScene, FCamera, FModelFrame);
        BuildPreviewDevice(FD3DRM, FClipper, driver, width, height, FCamera, FDevice, FWinDevice,
                           FViewport);
        SetPreviewQuality(FD3DRM, FDevice, kBitsPerPixel);
    }

    void LoadModel(const std::string& fileName)
    {
        ReplaceModelFrame(FD3DRM, FScene, FModelFrame);
        LPDIRECT3DRMMESHBUILDER builder;
        DXCheck(FD3DRM->CreateMeshBuilder(builder));
        AddModelMeshes(builder, fileName, FModelFrame);
        COMRelease(builder);
        ApplyPreviewFraming(FrameModelBox(ModelBox(FD3DRM, FModelFrame)), FScene, FCamera,
                            FModelFrame);
    }

    void SetRotationSpeed(int position)
    {
        DXCheck(FModelFrame->SetRotation(FScene, 0, -1, 0, static_cast<float>(position * 0.0025L)));
    }

    void RenderFrame() { RenderPreviewFrame(FScene, FViewport, FDevice); }

private:
    LPDIRECT3DRM FD3DRM;
    LPDIRECTDRAWCLIPPER FClipper;
    LPDIRECT3DRMDEVICE FDevice;
    LPDIRECT3DRMWINDEVICE FWinDevice;
    LPDIRECT3DRMFRAME FCamera, FScene, FModelFrame;
    LPDIRECT3DRMVIEWPORT FViewport;
};

int RunRender(const std::vector<std::string>& args)
{
    const TOptions options = ParseOptions(args);
    MaskFloatingPointExceptions();
    const std::vector<TDriverEntry> drivers = EnumerateDrivers();
    const GUID* driver = options.Driver.empty() ? nullptr : FindDriver(drivers, options.Driver);

    const TTemporaryFile temporary;
    const std::string fileName = PreviewFileFor(options, temporary);
    TCaptureTarget window;
    TPreviewScene scene;
    scene.Init(driver, options.Width, options.Height, window);
    scene.LoadModel(fileName);
    scene.SetRotationSpeed(1);
    scene.RenderFrame();
    // 0xFFRRGGBB to the encoder's byte order R, G, B, A.
    std::vector<std::uint32_t> rgba(window.Frame.Pixels.size());
    std::transform(window.Frame.Pixels.begin(), window.Frame.Pixels.end(), rgba.begin(),
                   [](std::uint32_t p)
                   { return 0xFF000000u | (p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF); });
    WritePng(options.Output, window.Frame.Width, window.Frame.Height, rgba.data());
    return 0;
}

const TCommandRegistrar kRender("render", kUsage, RunRender);
} // namespace
