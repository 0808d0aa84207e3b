// The built-in retained-mode layer: frames, lights, mesh builders, devices, viewports, the
// DirectDraw stand-ins and the replaceable platform object.
#include "scene/d3drm.h"

#include "formats/xreader.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace
{
constexpr int kMaxDeviceSize = 8192;
constexpr float kDefaultBack = 100.0f;
constexpr float kDefaultFront = 1.0f;
constexpr float kDefaultField = 0.5f;
constexpr DWORD kDefaultShades = 32;

// A rigid placement, row-vector convention: p' = p * R + T. The rows of R are the axes.
struct TRigid
{
    float R[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    float T[3] = {0, 0, 0};
};

D3DVECTOR Vec(float x, float y, float z)
{
    return {x, y, z};
}

D3DVECTOR DirToWorld(const D3DVECTOR& v, const TRigid& w)
{
    const float* r = w.R;
    return Vec(v.x * r[0] + v.y * r[3] + v.z * r[6], v.x * r[1] + v.y * r[4] + v.z * r[7],
               v.x * r[2] + v.y * r[5] + v.z * r[8]);
}

D3DVECTOR DirFromWorld(const D3DVECTOR& v, const TRigid& w)
{
    const float* r = w.R;
    return Vec(v.x * r[0] + v.y * r[1] + v.z * r[2], v.x * r[3] + v.y * r[4] + v.z * r[5],
               v.x * r[6] + v.y * r[7] + v.z * r[8]);
}

D3DVECTOR PointToWorld(const D3DVECTOR& p, const TRigid& w)
{
    const D3DVECTOR d = DirToWorld(p, w);
    return Vec(d.x + w.T[0], d.y + w.T[1], d.z + w.T[2]);
}

D3DVECTOR PointFromWorld(const D3DVECTOR& p, const TRigid& w)
{
    return DirFromWorld(Vec(p.x - w.T[0], p.y - w.T[1], p.z - w.T[2]), w);
}

// local, then parent.
TRigid Compose(const TRigid& local, const TRigid& parent)
{
    TRigid r;
    for (int row = 0; row < 3; ++row)
    {
        const D3DVECTOR axis =
            DirToWorld(Vec(local.R[row * 3], local.R[row * 3 + 1], local.R[row * 3 + 2]), parent);
        r.R[row * 3] = axis.x;
        r.R[row * 3 + 1] = axis.y;
        r.R[row * 3 + 2] = axis.z;
    }
    const D3DVECTOR t = PointToWorld(Vec(local.T[0], local.T[1], local.T[2]), parent);
    r.T[0] = t.x;
    r.T[1] = t.y;
    r.T[2] = t.z;
    return r;
}

TMatrix43 ToMatrix(const TRigid& w)
{
    TMatrix43 m;
    std::copy(w.R, w.R + 9, m.M.begin());
    std::copy(w.T, w.T + 3, m.M.begin() + 9);
    return m;
}

// The inverse of a rigid placement: world to local.
TMatrix43 InverseMatrix(const TRigid& w)
{
    TMatrix43 m;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            m.M[row * 3 + col] = w.R[col * 3 + row];
    const D3DVECTOR t = DirFromWorld(Vec(-w.T[0], -w.T[1], -w.T[2]), w);
    m.M[9] = t.x;
    m.M[10] = t.y;
    m.M[11] = t.z;
    return m;
}

// Axes from a direction (Z) and an up vector (Y); false when they give no frame.
bool AxesFrom(const D3DVECTOR& dir, const D3DVECTOR& up, float (&r)[9])
{
    const float dirLength = VectorLength(dir);
    if (!(dirLength > 0))
        return false;
    const D3DVECTOR z = VectorScale(dir, 1.0f / dirLength);
    const D3DVECTOR side = VectorCross(up, z);
    const float sideLength = VectorLength(side);
    if (!(sideLength > 0))
        return false;
    const D3DVECTOR x = VectorScale(side, 1.0f / sideLength);
    const D3DVECTOR y = VectorCross(z, x);
    const float axes[9] = {x.x, x.y, x.z, y.x, y.y, y.z, z.x, z.y, z.z};
    std::copy(axes, axes + 9, r);
    return true;
}

// Row-vector rotation by theta about a unit axis: v' = v cos + (a x v) sin + a (a.v)(1 - cos).
void RotationMatrix(const D3DVECTOR& a, float theta, float (&m)[9])
{
    const float c = std::cos(theta), s = std::sin(theta), t = 1 - c;
    m[0] = c + a.x * a.x * t;
    m[1] = a.x * a.y * t + a.z * s;
    m[2] = a.x * a.z * t - a.y * s;
    m[3] = a.y * a.x * t - a.z * s;
    m[4] = c + a.y * a.y * t;
    m[5] = a.y * a.z * t + a.x * s;
    m[6] = a.z * a.x * t + a.y * s;
    m[7] = a.z * a.y * t - a.x * s;
    m[8] = c + a.z * a.z * t;
}

class TLight : public IDirect3DRMLight
{
public:
    TLight(D3DRMLIGHTTYPE type, D3DVECTOR color) : FType(type), FColor(color) {}
    D3DRMLIGHTTYPE GetType() override { return FType; }
    D3DVECTOR GetColor() override { return FColor; }

private:
    D3DRMLIGHTTYPE FType;
    D3DVECTOR FColor;
};

class TFrame;

class TMeshBuilder : public IDirect3DRMMeshBuilder
{
public:
    HRESULT Load(const std::string& fileName, const char*, D3DRMLOADOPTIONS, void*, void*) override;
    HRESULT LoadMesh(const TXMesh& mesh) override;
    HRESULT Scale(D3DVALUE sx, D3DVALUE sy, D3DVALUE sz) override;
    HRESULT AddFrame(const LPDIRECT3DRMFRAME& frame) override;
    HRESULT SetFaceLooks(const TFaceLooks& looks) override;
    HRESULT GetVertices(std::vector<float>& positions) override
    {
        positions = FMesh->Positions;
        return D3DRM_OK;
    }
    HRESULT SetVertices(const std::vector<float>& positions) override
    {
        if (positions.size() != FMesh->Positions.size())
            return D3DRMERR_BADVALUE;
        std::copy(positions.begin(), positions.end(), FMesh->Positions.begin());
        ++FMesh->Version;
        return D3DRM_OK;
    }
    HRESULT GetBox(D3DRMBOX& box) override;
    int GetVertexCount() override { return static_cast<int>(FMesh->Positions.size() / 3); }
    int GetFaceCount() override { return static_cast<int>(FMesh->FaceSizes.size()); }

    std::shared_ptr<const TRenderMesh> Mesh() const { return FMesh; }
    void Append(const TRenderMesh& source, const TRigid& placement);

private:
    std::shared_ptr<TRenderMesh> FMesh = std::make_shared<TRenderMesh>();
};

class TFrame : public IDirect3DRMFrame, public std::enable_shared_from_this<TFrame>
{
public:
    HRESULT AddLight(const LPDIRECT3DRMLIGHT& light) override
    {
        auto own = std::dynamic_pointer_cast<TLight>(light);
        if (!own)
            return light ? D3DRMERR_BADOBJECT : DDERR_INVALIDPARAMS;
        FLights.push_back(own);
        return D3DRM_OK;
    }

    HRESULT AddVisual(const LPDIRECT3DRMMESHBUILDER& visual) override
    {
        auto own = std::dynamic_pointer_cast<TMeshBuilder>(visual);
        if (!own)
            return visual ? D3DRMERR_BADOBJECT : DDERR_INVALIDPARAMS;
        FVisuals.push_back(own);
        return D3DRM_OK;
    }

    HRESULT DeleteChild(const LPDIRECT3DRMFRAME& child) override
    {
        if (!child)
            return DDERR_INVALIDPARAMS;
        const auto it = std::find_if(FChildren.begin(), FChildren.end(),
                                     [&](const auto& c) { return c.get() == child.get(); });
        if (it == FChildren.end())
            return D3DRMERR_NOTFOUND;
        (*it)->FParent.reset();
        FChildren.erase(it);
        return D3DRM_OK;
    }

    HRESULT Move(D3DVALUE delta) override
    {
        if (FTheta != 0)
        {
            float turn[9], r[9];
            RotationMatrix(FAxis, FTheta * delta, turn);
            for (int row = 0; row < 3; ++row)
                for (int col = 0; col < 3; ++col)
                    r[row * 3 + col] = FLocal.R[row * 3] * turn[col] +
                                       FLocal.R[row * 3 + 1] * turn[3 + col] +
                                       FLocal.R[row * 3 + 2] * turn[6 + col];
            // Re-square the axes so that rounding does not pile up over many steps.
            AxesFrom(Vec(r[6], r[7], r[8]), Vec(r[3], r[4], r[5]), FLocal.R);
        }
        for (int i = 0; i < 3; ++i)
            FLocal.T[i] += (&FVelocity.x)[i] * delta;
        for (const auto& child : FChildren)
            child->Move(delta);
        return D3DRM_OK;
    }

    HRESULT SetPosition(const LPDIRECT3DRMFRAME& reference, D3DVALUE x, D3DVALUE y,
                        D3DVALUE z) override
    {
        TRigid ref;
        if (!ReferenceWorld(reference, ref))
            return D3DRMERR_BADOBJECT;
        const D3DVECTOR t = PointFromWorld(PointToWorld(Vec(x, y, z), ref), ParentWorld());
        FLocal.T[0] = t.x;
        FLocal.T[1] = t.y;
        FLocal.T[2] = t.z;
        return D3DRM_OK;
    }

    HRESULT SetOrientation(const LPDIRECT3DRMFRAME& reference, D3DVALUE dx, D3DVALUE dy,
                           D3DVALUE dz, D3DVALUE ux, D3DVALUE uy, D3DVALUE uz) override
    {
        TRigid ref;
        if (!ReferenceWorld(reference, ref))
            return D3DRMERR_BADOBJECT;
        const TRigid parent = ParentWorld();
        const D3DVECTOR dir = DirFromWorld(DirToWorld(Vec(dx, dy, dz), ref), parent);
        const D3DVECTOR up = DirFromWorld(DirToWorld(Vec(ux, uy, uz), ref), parent);
        float r[9];
        if (!AxesFrom(dir, up, r))
            return D3DRMERR_BADVALUE;
        std::copy(r, r + 9, FLocal.R);
        return D3DRM_OK;
    }

    HRESULT SetRotation(const LPDIRECT3DRMFRAME& reference, D3DVALUE x, D3DVALUE y, D3DVALUE z,
                        D3DVALUE theta) override
    {
        TRigid ref;
        if (!ReferenceWorld(reference, ref))
            return D3DRMERR_BADOBJECT;
        const D3DVECTOR axis = DirFromWorld(DirToWorld(Vec(x, y, z), ref), ParentWorld());
        const float length = VectorLength(axis);
        if (!(length > 0))
        {
            FTheta = 0;
            return D3DRM_OK;
        }
        FAxis = VectorScale(axis, 1.0f / length);
        FTheta = theta;
        return D3DRM_OK;
    }

    HRESULT SetVelocity(const LPDIRECT3DRMFRAME& reference, D3DVALUE x, D3DVALUE y, D3DVALUE z,
                        BOOL) override
    {
        TRigid ref;
        if (!ReferenceWorld(reference, ref))
            return D3DRMERR_BADOBJECT;
        FVelocity = DirFromWorld(DirToWorld(Vec(x, y, z), ref), ParentWorld());
        return D3DRM_OK;
    }

    HRESULT GetPosition(const LPDIRECT3DRMFRAME& reference, D3DVECTOR& position) override
    {
        TRigid ref;
        if (!ReferenceWorld(reference, ref))
            return D3DRMERR_BADOBJECT;
        const TRigid world = World();
        position = PointFromWorld(Vec(world.T[0], world.T[1], world.T[2]), ref);
        return D3DRM_OK;
    }

    HRESULT GetOrientation(const LPDIRECT3DRMFRAME& reference, D3DVECTOR& direction,
                           D3DVECTOR& up) override
    {
        TRigid ref;
        if (!ReferenceWorld(reference, ref))
            return D3DRMERR_BADOBJECT;
        const TRigid world = World();
        direction = DirFromWorld(Vec(world.R[6], world.R[7], world.R[8]), ref);
        up = DirFromWorld(Vec(world.R[3], world.R[4], world.R[5]), ref);
        return D3DRM_OK;
    }

    LPDIRECT3DRMFRAME GetParent() override { return FParent.lock(); }
    int GetChildCount() override { return static_cast<int>(FChildren.size()); }

    void AddChild(const std::shared_ptr<TFrame>& child)
    {
        if (auto old = child->FParent.lock())
            old->DeleteChild(child);
        child->FParent = weak_from_this();
        FChildren.push_back(child);
    }

    TRigid World() const
    {
        const auto parent = FParent.lock();
        return parent ? Compose(FLocal, parent->World()) : FLocal;
    }

    // Lights and visuals of this frame and all below it, `world` being this frame's placement.
    void Collect(const TRigid& world, TRenderView& view) const
    {
        for (const auto& visual : FVisuals)
            view.Items.push_back({visual->Mesh(), ToMatrix(world)});
        for (const auto& light : FLights)
        {
            const D3DVECTOR c = light->GetColor();
            if (light->GetType() == D3DRMLIGHT_AMBIENT)
            {
                view.Lights.Ambient[0] += c.x;
                view.Lights.Ambient[1] += c.y;
                view.Lights.Ambient[2] += c.z;
            }
            else if (light->GetType() == D3DRMLIGHT_DIRECTIONAL)
                view.Lights.Directional.push_back(
                    {{world.R[6], world.R[7], world.R[8]}, {c.x, c.y, c.z}});
        }
        for (const auto& child : FChildren)
            child->Collect(Compose(child->FLocal, world), view);
    }

    // Visuals below this frame, placed in this frame's coordinates.
    void AppendTo(TMeshBuilder& builder, const TRigid& placement) const
    {
        for (const auto& visual : FVisuals)
        {
            const TRenderMesh copy = *visual->Mesh(); // the builder may be one of them
            builder.Append(copy, placement);
        }
        for (const auto& child : FChildren)
            child->AppendTo(builder, Compose(child->FLocal, placement));
    }

private:
    TRigid ParentWorld() const
    {
        const auto parent = FParent.lock();
        return parent ? parent->World() : TRigid{};
    }

    static bool ReferenceWorld(const LPDIRECT3DRMFRAME& reference, TRigid& world)
    {
        if (!reference)
        {
            world = TRigid{};
            return true;
        }
        const auto own = std::dynamic_pointer_cast<TFrame>(reference);
        if (!own)
            return false;
        world = own->World();
        return true;
    }

    std::weak_ptr<TFrame> FParent;
    std::vector<std::shared_ptr<TFrame>> FChildren;
    std::vector<std::shared_ptr<TMeshBuilder>> FVisuals;
    std::vector<std::shared_ptr<TLight>> FLights;
    TRigid FLocal;
    D3DVECTOR FAxis = {0, 1, 0};
    float FTheta = 0;
    D3DVECTOR FVelocity = {0, 0, 0};
};

HRESULT TMeshBuilder::Load(const std::string& fileName, const char*, D3DRMLOADOPTIONS, void*, void*)
{
    TXMesh x;
    if (const HRESULT result = ReadXFile(fileName, x); result != D3DRM_OK)
        return result;
    return LoadMesh(x);
}

HRESULT TMeshBuilder::LoadMesh(const TXMesh& x)
{
    auto mesh = std::make_shared<TRenderMesh>();
    mesh->Positions = x.Positions;
    mesh->FaceSizes = x.FaceSizes;
    mesh->Indices = x.Indices;
    mesh->FaceColors.reserve(mesh->FaceSizes.size() * 3);
    for (const std::uint32_t material : x.FaceMaterials)
    {
        const TXMaterial& m = x.Materials[material];
        mesh->FaceColors.insert(mesh->FaceColors.end(), {m.Red, m.Green, m.Blue});
    }
    // Continues the count: a new mesh may take the place of the one it replaces.
    mesh->Version = FMesh->Version + 1;
    FMesh = std::move(mesh);
    return D3DRM_OK;
}

HRESULT TMeshBuilder::Scale(D3DVALUE sx, D3DVALUE sy, D3DVALUE sz)
{
    auto& p = FMesh->Positions;
    for (std::size_t i = 0; i + 2 < p.size(); i += 3)
    {
        p[i] *= sx;
        p[i + 1] *= sy;
        p[i + 2] *= sz;
    }
    ++FMesh->Version;
    return D3DRM_OK;
}

HRESULT TMeshBuilder::AddFrame(const LPDIRECT3DRMFRAME& frame)
{
    const auto own = std::dynamic_pointer_cast<TFrame>(frame);
    if (!own)
        return frame ? D3DRMERR_BADOBJECT : DDERR_INVALIDPARAMS;
    own->AppendTo(*this, TRigid{});
    return D3DRM_OK;
}

namespace
{
bool LooksFit(const TRenderMesh& mesh, const TFaceLooks& looks)
{
    const std::size_t faces = mesh.FaceSizes.size();
    if (looks.FaceTextures.size() != faces || looks.FaceFlags.size() != faces ||
        looks.FaceColors.size() != 3 * faces || looks.TexCoords.size() != 2 * mesh.Indices.size())
        return false;
    for (const auto& texture : looks.Textures)
        if (!texture || texture->Width <= 0 || texture->Height <= 0 ||
            texture->Texels.size() != static_cast<std::size_t>(texture->Width) *
                                          static_cast<std::size_t>(texture->Height))
            return false;
    const auto count = static_cast<std::int64_t>(looks.Textures.size());
    return std::all_of(looks.FaceTextures.begin(), looks.FaceTextures.end(),
                       [count](std::int32_t t) { return t >= -1 && t < count; });
}

// Looks for faces that have none: flat, single-sided, lit.
void PlainLooks(TFaceLooks& looks, std::size_t faces, std::size_t corners)
{
    looks.FaceTextures.resize(looks.FaceTextures.size() + faces, -1);
    looks.FaceFlags.resize(looks.FaceFlags.size() + faces, 0);
    looks.TexCoords.resize(looks.TexCoords.size() + 2 * corners, 0.0f);
}
} // namespace

HRESULT TMeshBuilder::SetFaceLooks(const TFaceLooks& looks)
{
    if (!LooksFit(*FMesh, looks))
        return D3DRMERR_BADVALUE;
    FMesh->FaceColors = looks.FaceColors;
    FMesh->Looks = looks;
    FMesh->Looks.FaceColors.clear();
    ++FMesh->Version;
    return D3DRM_OK;
}

HRESULT TMeshBuilder::GetBox(D3DRMBOX& box)
{
    const auto& p = FMesh->Positions;
    box = D3DRMBOX{};
    if (p.size() < 3)
        return D3DRM_OK;
    box.min = box.max = Vec(p[0], p[1], p[2]);
    for (std::size_t i = 3; i + 2 < p.size(); i += 3)
    {
        box.min = Vec(std::min(box.min.x, p[i]), std::min(box.min.y, p[i + 1]),
                      std::min(box.min.z, p[i + 2]));
        box.max = Vec(std::max(box.max.x, p[i]), std::max(box.max.y, p[i + 1]),
                      std::max(box.max.z, p[i + 2]));
    }
    return D3DRM_OK;
}

void TMeshBuilder::Append(const TRenderMesh& source, const TRigid& placement)
{
    TRenderMesh& mesh = *FMesh;
    const auto base = static_cast<std::uint32_t>(mesh.Positions.size() / 3);
    for (std::size_t i = 0; i + 2 < source.Positions.size(); i += 3)
    {
        const D3DVECTOR p = PointToWorld(
            Vec(source.Positions[i], source.Positions[i + 1], source.Positions[i + 2]), placement);
        mesh.Positions.insert(mesh.Positions.end(), {p.x, p.y, p.z});
    }
    mesh.FaceSizes.insert(mesh.FaceSizes.end(), source.FaceSizes.begin(), source.FaceSizes.end());
    for (const std::uint32_t index : source.Indices)
        mesh.Indices.push_back(base + index);
    mesh.FaceColors.insert(mesh.FaceColors.end(), source.FaceColors.begin(),
                           source.FaceColors.end());
    if (!source.Looks.Empty() || !mesh.Looks.Empty())
    {
        TFaceLooks& looks = mesh.Looks;
        const std::size_t faces = mesh.FaceSizes.size() - source.FaceSizes.size();
        const std::size_t corners = mesh.Indices.size() - source.Indices.size();
        if (looks.Empty())
            PlainLooks(looks, faces, corners);
        if (source.Looks.Empty())
            PlainLooks(looks, source.FaceSizes.size(), source.Indices.size());
        else
        {
            const auto base = static_cast<std::int32_t>(looks.Textures.size());
            for (const std::int32_t t : source.Looks.FaceTextures)
                looks.FaceTextures.push_back(t < 0 ? t : base + t);
            looks.FaceFlags.insert(looks.FaceFlags.end(), source.Looks.FaceFlags.begin(),
                                   source.Looks.FaceFlags.end());
            looks.TexCoords.insert(looks.TexCoords.end(), source.Looks.TexCoords.begin(),
                                   source.Looks.TexCoords.end());
            looks.Textures.insert(looks.Textures.end(), source.Looks.Textures.begin(),
                                  source.Looks.Textures.end());
        }
    }
    ++mesh.Version;
}

class TClipper : public IDirectDrawClipper
{
public:
    HRESULT SetHWnd(DWORD, HWND window) override
    {
        FWindow = window;
        return DD_OK;
    }
    HWND GetHWnd() override { return FWindow; }

private:
    HWND FWindow = nullptr;
};

class TDevice : public IDirect3DRMDevice,
                public IDirect3DRMWinDevice,
                public std::enable_shared_from_this<TDevice>
{
public:
    TDevice(std::unique_ptr<TDeviceDriver> driver, LPDIRECTDRAWCLIPPER clipper, int width,
            int height)
        : FDriver(std::move(driver)), FClipper(std::move(clipper)), FWidth(width), FHeight(height)
    {
    }

    HRESULT QueryInterface(LPDIRECT3DRMWINDEVICE& winDevice) override
    {
        winDevice =
            LPDIRECT3DRMWINDEVICE(shared_from_this(), static_cast<IDirect3DRMWinDevice*>(this));
        return D3DRM_OK;
    }

    HRESULT Update() override
    {
        if (HWND window = FClipper->GetHWnd())
            window->Present(FDriver->Frame());
        return D3DRM_OK;
    }

    DWORD GetWidth() override { return static_cast<DWORD>(FWidth); }
    DWORD GetHeight() override { return static_cast<DWORD>(FHeight); }
    BOOL GetDither() override { return FDither; }
    D3DRMRENDERQUALITY GetQuality() override { return FQuality; }
    DWORD GetShades() override { return FShades; }

    HRESULT SetDither(BOOL dither) override
    {
        FDither = dither;
        return D3DRM_OK;
    }

    HRESULT SetQuality(D3DRMRENDERQUALITY quality) override
    {
        FQuality = quality;
        return D3DRM_OK;
    }

    HRESULT SetShades(DWORD shades) override
    {
        if (shades < 1 || shades > 256 || (shades & (shades - 1)) != 0)
            return D3DRMERR_BADVALUE;
        FShades = shades;
        return D3DRM_OK;
    }

    const TFrameBuffer& GetFrameBuffer() override { return FDriver->Frame(); }

    HRESULT SetCoverage(BOOL coverage) override
    {
        FCoverage = coverage;
        return D3DRM_OK;
    }
    BOOL Coverage() const { return FCoverage; }

    HRESULT HandlePaint(HDC dc) override
    {
        if (!dc)
            return DDERR_INVALIDPARAMS;
        dc->Present(FDriver->Frame());
        return D3DRM_OK;
    }

    HRESULT HandleActivate(WORD) override { return D3DRM_OK; }

    TDeviceDriver& Driver() { return *FDriver; }

private:
    std::unique_ptr<TDeviceDriver> FDriver;
    LPDIRECTDRAWCLIPPER FClipper;
    int FWidth, FHeight;
    D3DRMRENDERQUALITY FQuality = D3DRMRENDER_FLAT;
    DWORD FShades = kDefaultShades;
    BOOL FDither = 1;
    BOOL FCoverage = 0;
};

class TViewport : public IDirect3DRMViewport
{
public:
    TViewport(std::shared_ptr<TDevice> device, std::shared_ptr<TFrame> camera, int x, int y,
              int width, int height)
        : FDevice(std::move(device)), FCamera(std::move(camera)), FX(x), FY(y), FWidth(width),
          FHeight(height)
    {
    }

    HRESULT Clear() override
    {
        FDevice->Driver().Clear(FX, FY, FWidth, FHeight, 0xFF000000u);
        return D3DRM_OK;
    }

    HRESULT Render(const LPDIRECT3DRMFRAME& scene) override
    {
        const auto root = std::dynamic_pointer_cast<TFrame>(scene);
        if (!root)
            return scene ? D3DRMERR_BADOBJECT : DDERR_INVALIDPARAMS;
        TRenderView view;
        view.X = FX;
        view.Y = FY;
        view.Width = FWidth;
        view.Height = FHeight;
        view.Front = kDefaultFront;
        view.Back = FBack;
        view.Field = kDefaultField;
        view.View = InverseMatrix(FCamera->World());
        view.Quality = FDevice->GetQuality();
        view.Shades = FDevice->GetShades();
        view.Coverage = FDevice->Coverage() != 0;
        root->Collect(root->World(), view);
        FDevice->Driver().Render(view);
        return D3DRM_OK;
    }

    HRESULT SetBack(D3DVALUE back) override
    {
        if (!(back > kDefaultFront))
            return D3DRMERR_BADVALUE;
        FBack = back;
        return D3DRM_OK;
    }

    D3DVALUE GetBack() override { return FBack; }

private:
    std::shared_ptr<TDevice> FDevice;
    std::shared_ptr<TFrame> FCamera;
    int FX, FY, FWidth, FHeight;
    float FBack = kDefaultBack;
};

class TDirect3D : public IDirect3D
{
public:
    HRESULT EnumDevices(const LPD3DENUMDEVICESCALLBACK& callback, void* context) override
    {
        if (!callback)
            return DDERR_INVALIDPARAMS;
        // A copy, so a callback that registers drivers does not disturb the walk.
        const std::vector<TDriverRegistration> drivers = D3DDrivers();
        for (const TDriverRegistration& d : drivers)
            if (callback(&d.Guid, d.Description, d.Name, d.HWDesc, d.HELDesc, context) ==
                D3DENUMRET_CANCEL)
                break;
        return D3D_OK;
    }

private:
    static constexpr HRESULT D3D_OK = 0;
};

class TDirectDraw : public IDirectDraw
{
public:
    HRESULT QueryInterface(LPDIRECT3D& direct3D) override
    {
        direct3D = std::make_shared<TDirect3D>();
        return DD_OK;
    }
};

class TD3DRM : public IDirect3DRM
{
public:
    HRESULT CreateFrame(const LPDIRECT3DRMFRAME& parent, LPDIRECT3DRMFRAME& frame) override
    {
        std::shared_ptr<TFrame> parentFrame;
        if (parent)
        {
            parentFrame = std::dynamic_pointer_cast<TFrame>(parent);
            if (!parentFrame)
                return D3DRMERR_BADOBJECT;
        }
        auto created = std::make_shared<TFrame>();
        if (parentFrame)
            parentFrame->AddChild(created);
        frame = created;
        return D3DRM_OK;
    }

    HRESULT CreateLightRGB(D3DRMLIGHTTYPE type, D3DVALUE red, D3DVALUE green, D3DVALUE blue,
                           LPDIRECT3DRMLIGHT& light) override
    {
        if (type > D3DRMLIGHT_PARALLELPOINT)
            return D3DRMERR_BADVALUE;
        light = std::make_shared<TLight>(type, Vec(red, green, blue));
        return D3DRM_OK;
    }

    HRESULT CreateMeshBuilder(LPDIRECT3DRMMESHBUILDER& builder) override
    {
        builder = std::make_shared<TMeshBuilder>();
        return D3DRM_OK;
    }

    HRESULT CreateDeviceFromClipper(const LPDIRECTDRAWCLIPPER& clipper, const GUID* driverGuid,
                                    int width, int height, LPDIRECT3DRMDEVICE& device) override
    {
        if (!clipper || width < 1 || height < 1 || width > kMaxDeviceSize ||
            height > kMaxDeviceSize)
            return DDERR_INVALIDPARAMS;
        const TDriverRegistration* driver = FindD3DDriver(driverGuid);
        if (!driver)
            return DDERR_INVALIDDIRECTDRAWGUID;
        std::unique_ptr<TDeviceDriver> implementation =
            driver->Factory ? driver->Factory(width, height) : nullptr;
        if (!implementation)
            return D3DRMERR_BADDEVICE;
        device = std::make_shared<TDevice>(std::move(implementation), clipper, width, height);
        return D3DRM_OK;
    }

    HRESULT CreateViewport(const LPDIRECT3DRMDEVICE& device, const LPDIRECT3DRMFRAME& camera,
                           DWORD x, DWORD y, DWORD width, DWORD height,
                           LPDIRECT3DRMVIEWPORT& viewport) override
    {
        const auto ownDevice = std::dynamic_pointer_cast<TDevice>(device);
        const auto ownCamera = std::dynamic_pointer_cast<TFrame>(camera);
        if (!ownDevice || !ownCamera)
            return device && camera ? D3DRMERR_BADOBJECT : DDERR_INVALIDPARAMS;
        if (width == 0 || height == 0 || x + width > ownDevice->GetWidth() ||
            y + height > ownDevice->GetHeight() || x > ownDevice->GetWidth() ||
            y > ownDevice->GetHeight())
            return DDERR_INVALIDPARAMS;
        viewport = std::make_shared<TViewport>(ownDevice, ownCamera, static_cast<int>(x),
                                               static_cast<int>(y), static_cast<int>(width),
                                               static_cast<int>(height));
        return D3DRM_OK;
    }

    HRESULT SetDefaultTextureColors(DWORD colors) override
    {
        FTextureColors = colors;
        return D3DRM_OK;
    }

    HRESULT SetDefaultTextureShades(DWORD shades) override
    {
        FTextureShades = shades;
        return D3DRM_OK;
    }

private:
    // Kept for fidelity; nothing is textured.
    DWORD FTextureColors = 0;
    DWORD FTextureShades = 0;
};

class TBuiltinPlatform : public TD3DPlatform
{
public:
    HRESULT Direct3DRMCreate(LPDIRECT3DRM& d3drm) override
    {
        d3drm = std::make_shared<TD3DRM>();
        return D3DRM_OK;
    }

    HRESULT DirectDrawCreate(const GUID* guid, LPDIRECTDRAW& directDraw, void*) override
    {
        if (guid)
            return DDERR_INVALIDDIRECTDRAWGUID;
        directDraw = std::make_shared<TDirectDraw>();
        return DD_OK;
    }

    HRESULT DirectDrawCreateClipper(DWORD, LPDIRECTDRAWCLIPPER& clipper, void*) override
    {
        clipper = std::make_shared<TClipper>();
        return DD_OK;
    }
};

std::shared_ptr<TD3DPlatform>& CurrentPlatform()
{
    static std::shared_ptr<TD3DPlatform> platform = std::make_shared<TBuiltinPlatform>();
    return platform;
}
} // namespace

TD3DPlatform& BuiltinD3DPlatform()
{
    static TBuiltinPlatform platform;
    return platform;
}

void SetD3DPlatform(std::shared_ptr<TD3DPlatform> platform)
{
    CurrentPlatform() = platform ? std::move(platform) : std::make_shared<TBuiltinPlatform>();
}

TD3DPlatform& D3DPlatform()
{
    return *CurrentPlatform();
}

HRESULT Direct3DRMCreate(LPDIRECT3DRM& d3drm)
{
    return D3DPlatform().Direct3DRMCreate(d3drm);
}

HRESULT DirectDrawCreate(const GUID* guid, LPDIRECTDRAW& directDraw, void* outer)
{
    return D3DPlatform().DirectDrawCreate(guid, directDraw, outer);
}

HRESULT DirectDrawCreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER& clipper, void* outer)
{
    return D3DPlatform().DirectDrawCreateClipper(flags, clipper, outer);
}

D3DVECTOR* D3DRMVectorCrossProduct(D3DVECTOR* result, const D3DVECTOR* a, const D3DVECTOR* b)
{
    *result = VectorCross(*a, *b);
    return result;
}

D3DVALUE D3DRMVectorModulus(const D3DVECTOR* v)
{
    return VectorLength(*v);
}
