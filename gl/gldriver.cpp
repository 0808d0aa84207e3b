// OpenGL device driver: one shared context on an offscreen surface, a framebuffer object per
// device, lighting worked out per face in the vertex shader with the software driver's rules.
#include "gldriver.h"

#include "raster/rastershared.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QPointer>

#if defined(__GLIBC__)
#include <dlfcn.h>
#include <link.h>
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace
{
constexpr GLenum kGLBGRA = 0x80E1;
constexpr int kMaxLights = 8;
// Floats per vertex: position, face normal, the face's first corner, material colour.
constexpr int kVertexFloats = 12;

// FacesEye, FaceColor and ShadeChannel (rastershared.h) for the graphics card: keep them in
// step. Vertex lighting gives each corner of a face the same colour, since they share every
// input; the colour is snapped to the 8-bit value the software driver would store. Both
// programs' vertex shaders start with this.
constexpr const char* kLightingShader = R"(
attribute vec3 aPosition;
attribute vec3 aNormal;
attribute vec3 aCorner;
attribute vec3 aMaterial;
uniform mat4 uToCamera;
uniform mat4 uProjection;
uniform int uLit;
uniform vec3 uAmbient;
uniform int uLightCount;
uniform vec3 uLightDirection[8];
uniform vec3 uLightColor[8];
uniform float uShades;
varying vec3 vColor;

float Shade(float value)
{
    float v = clamp(value, 0.0, 1.0);
    if (uShades >= 2.0)
        v = floor(v * (uShades - 1.0) + 0.5) / (uShades - 1.0);
    return floor(v * 255.0 + 0.5) / 255.0;
}

// The face's material lit through its unit normal (camera space), or unlit when `lit` is off.
vec3 LitColor(vec3 normal, bool lit)
{
    vec3 light = vec3(1.0);
    if (lit)
    {
        light = uAmbient;
        for (int i = 0; i < 8; ++i)
        {
            if (i >= uLightCount)
                break;
            float facing = -dot(normal, uLightDirection[i]);
            if (facing > 0.0)
                light += facing * uLightColor[i];
        }
    }
    vec3 c = min(light, vec3(1.0)) * aMaterial;
    return vec3(Shade(c.r), Shade(c.g), Shade(c.b));
}
)";

constexpr const char* kVertexShader = R"(
void main()
{
    vec3 normal = mat3(uToCamera) * aNormal;
    vec3 corner = (uToCamera * vec4(aCorner, 1.0)).xyz;
    // A face turned away from the eye at the origin is moved out of the view whole.
    if (!(dot(normal, corner) < 0.0))
    {
        gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
        vColor = vec3(0.0);
        return;
    }
    vColor = LitColor(normalize(normal), uLit != 0);
    gl_Position = uProjection * (uToCamera * vec4(aPosition, 1.0));
}
)";

constexpr const char* kFragmentShader = R"(
varying vec3 vColor;
void main()
{
    gl_FragColor = vec4(vColor, 1.0);
}
)";

// Added: the program for meshes with looks. The same lighting, with a face's double-sided and
// full-bright style; the fragment takes the nearest texel of the face's texture inside an atlas
// page (repeating), drops cut-out texels and multiplies the rest by the lit white. Keep it in
// step with the software rasterizer's look shader and rastershared.h.
constexpr const char* kLookVertexShader = R"(
attribute vec2 aTexCoord;
attribute vec4 aTexRect;
attribute vec2 aStyle;
varying vec2 vTexCoord;
varying vec4 vTexRect;

void main()
{
    vec3 normal = mat3(uToCamera) * aNormal;
    vec3 corner = (uToCamera * vec4(aCorner, 1.0)).xyz;
    vTexCoord = aTexCoord;
    vTexRect = aTexRect;
    if (!(dot(normal, corner) < 0.0))
    {
        // Seen from behind: a double-sided face is lit as if turned to the eye.
        if (aStyle.x == 0.0)
        {
            gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
            vColor = vec3(0.0);
            return;
        }
        normal = -normal;
    }
    vColor = LitColor(normalize(normal), uLit != 0 && aStyle.y == 0.0);
    gl_Position = uProjection * (uToCamera * vec4(aPosition, 1.0));
}
)";

constexpr const char* kLookFragmentShader = R"(
uniform sampler2D uAtlas;
uniform vec2 uAtlasSize;
uniform float uAlpha;
varying vec3 vColor;
varying vec2 vTexCoord;
varying vec4 vTexRect;
void main()
{
    vec3 c = vColor;
    // Texel offset and size in the page; every corner holds the same, so round off what
    // interpolation added.
    vec4 rect = floor(vTexRect + 0.5);
    if (rect.z > 0.0)
    {
        vec2 t = min(floor(fract(vTexCoord) * rect.zw), rect.zw - 1.0);
        vec4 texel = texture2D(uAtlas, (rect.xy + t + 0.5) / uAtlasSize);
        if (texel.a < 0.5)
            discard;
        c = texel.rgb * vColor;
    }
    gl_FragColor = vec4(c, uAlpha);
}
)";
// Floats per vertex of a mesh with looks: those above, texture coordinates, the texture's
// place in its page (x, y, width, height in texels; width 0 for a flat face), and the face's
// style (double-sided, full-bright).
constexpr int kLookVertexFloats = kVertexFloats + 2 + 4 + 2;
// Atlas pages are made this wide unless a texture is wider.
constexpr int kAtlasWidth = 2048;

// A row-vector transform as an OpenGL column-major matrix: its rows become the columns.
std::array<GLfloat, 16> ColumnMajor(const TMatrix43& m)
{
    std::array<GLfloat, 16> out{};
    for (int column = 0; column < 4; ++column)
    {
        out[column * 4] = m.M[column * 3];
        out[column * 4 + 1] = m.M[column * 3 + 1];
        out[column * 4 + 2] = m.M[column * 3 + 2];
        out[column * 4 + 3] = column == 3 ? 1.0f : 0.0f;
    }
    return out;
}

// Camera space (x right, y up, z ahead) to clip space with the software driver's numbers:
// PixelsPerUnit around the viewport's centre, clipped at Front and Back. Y is flipped so that
// framebuffer row 0 is the picture's top row.
std::array<GLfloat, 16> Projection(const TRenderView& view)
{
    const float k = PixelsPerUnit(view);
    const float f = view.Front;
    const float b = view.Back;
    std::array<GLfloat, 16> p{};
    p[0] = 2.0f * k / static_cast<float>(view.Width);
    p[5] = -2.0f * k / static_cast<float>(view.Height);
    p[10] = (b + f) / (b - f);
    p[11] = 1.0f;
    p[14] = -2.0f * b * f / (b - f);
    return p;
}

// Added: the system's OpenGL driver modules (Mesa's *_dri.so) are unloaded when the display
// connection closes. Keeping them loaded once used lets leak checkers still name what they
// allocated, and spares a later context the reload.
void PinDriverModules()
{
#if defined(__GLIBC__)
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void*)
        {
            const std::string_view name = info->dlpi_name ? info->dlpi_name : "";
            if (name.size() > 7 && name.substr(name.size() - 7) == "_dri.so")
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
#endif
}

// One fan triangle per face corner beyond the second, each corner carrying its face's data.
std::vector<float> TriangleVertices(const TRenderMesh& mesh)
{
    std::vector<float> out;
    const std::size_t vertexCount = mesh.Positions.size() / 3;
    auto vertex = [&](std::uint32_t i) {
        return D3DVECTOR{mesh.Positions[3 * i], mesh.Positions[3 * i + 1],
                         mesh.Positions[3 * i + 2]};
    };
    std::size_t corner = 0;
    for (std::size_t f = 0; f < mesh.FaceSizes.size(); ++f)
    {
        const std::uint32_t size = mesh.FaceSizes[f];
        const std::size_t first = corner;
        corner += size;
        if (size < 3 || corner > mesh.Indices.size() || 3 * f + 2 >= mesh.FaceColors.size())
            continue;
        const std::uint32_t* corners = mesh.Indices.data() + first;
        if (std::any_of(corners, corners + size, [&](std::uint32_t i) { return i >= vertexCount; }))
            continue;
        const D3DVECTOR v0 = vertex(corners[0]);
        const D3DVECTOR normal = FaceNormal(mesh.Positions.data(), corners, size);
        const float* material = &mesh.FaceColors[3 * f];
        auto pushVertex = [&](const D3DVECTOR& p)
        {
            out.insert(out.end(), {p.x, p.y, p.z, normal.x, normal.y, normal.z, v0.x, v0.y, v0.z,
                                   material[0], material[1], material[2]});
        };
        for (std::uint32_t k = 1; k + 1 < size; ++k)
        {
            pushVertex(v0);
            pushVertex(vertex(corners[k]));
            pushVertex(vertex(corners[k + 1]));
        }
    }
    return out;
}

// Added: where each texture of a mesh's looks lies in the atlas pages; Page -1 when it fits
// none (its faces are then drawn flat).
struct TAtlasPlace
{
    int Page = -1;
    int X = 0, Y = 0;
};

struct TAtlasPage
{
    int Width = 0, Height = 0;
};

// Shelves of textures in pages at most `limit` texels on a side, in the order given.
std::vector<TAtlasPlace> PlaceTextures(const TFaceLooks& looks, int limit,
                                       std::vector<TAtlasPage>& pages)
{
    std::vector<TAtlasPlace> places(looks.Textures.size());
    int widest = 0;
    for (const auto& t : looks.Textures)
        if (t->Width <= limit)
            widest = std::max(widest, t->Width);
    const int width = std::min(limit, std::max(kAtlasWidth, widest));
    int x = 0, y = 0, shelf = 0;
    for (std::size_t i = 0; i < looks.Textures.size(); ++i)
    {
        const TRenderTexture& t = *looks.Textures[i];
        if (t.Width > limit || t.Height > limit)
            continue;
        if (pages.empty() || x + t.Width > width)
        {
            y += shelf;
            x = 0;
            shelf = 0;
        }
        if (pages.empty() || y + t.Height > limit)
        {
            pages.push_back({});
            x = y = shelf = 0;
        }
        places[i] = {static_cast<int>(pages.size()) - 1, x, y};
        TAtlasPage& page = pages.back();
        page.Width = std::max(page.Width, x + t.Width);
        page.Height = std::max(page.Height, y + t.Height);
        x += t.Width;
        shelf = std::max(shelf, t.Height);
    }
    return places;
}

// A stretch of triangles drawn with one atlas page (-1: flat faces only).
struct TLookRun
{
    int First = 0, Count = 0, Page = -1;
    bool Translucent = false;
};

// Added: the triangles of a mesh with looks, opaque faces first, then translucent ones, each in
// face order; hidden faces are left out.
std::vector<float> LookTriangleVertices(const TRenderMesh& mesh,
                                        const std::vector<TAtlasPlace>& places,
                                        std::vector<TLookRun>& runs)
{
    std::vector<float> out;
    const TFaceLooks& looks = mesh.Looks;
    const std::size_t vertexCount = mesh.Positions.size() / 3;
    auto vertex = [&](std::uint32_t i) {
        return D3DVECTOR{mesh.Positions[3 * i], mesh.Positions[3 * i + 1],
                         mesh.Positions[3 * i + 2]};
    };
    std::vector<float> uv;
    for (const bool translucentPass : {false, true})
    {
        std::size_t corner = 0;
        for (std::size_t f = 0; f < mesh.FaceSizes.size(); ++f)
        {
            const std::uint32_t size = mesh.FaceSizes[f];
            const std::size_t first = corner;
            corner += size;
            const std::uint8_t flags = looks.FaceFlags[f];
            if (size < 3 || (flags & kFaceHidden) ||
                ((flags & kFaceTranslucent) != 0) != translucentPass)
                continue;
            const std::uint32_t* corners = mesh.Indices.data() + first;
            if (std::any_of(corners, corners + size,
                            [&](std::uint32_t i) { return i >= vertexCount; }))
                continue;
            const std::int32_t texture = looks.FaceTextures[f];
            const TAtlasPlace place =
                texture >= 0 ? places[static_cast<std::size_t>(texture)] : TAtlasPlace{};
            float rect[4] = {0, 0, 0, 0};
            uv.assign(2 * static_cast<std::size_t>(size), 0.0f);
            if (place.Page >= 0)
            {
                const TRenderTexture& t = *looks.Textures[static_cast<std::size_t>(texture)];
                rect[0] = static_cast<float>(place.X);
                rect[1] = static_cast<float>(place.Y);
                rect[2] = static_cast<float>(t.Width);
                rect[3] = static_cast<float>(t.Height);
                ReduceTexCoords(&looks.TexCoords[2 * first], size, uv.data());
            }
            if (runs.empty() || runs.back().Translucent != translucentPass ||
                (place.Page >= 0 && runs.back().Page >= 0 && runs.back().Page != place.Page))
            {
                const int at = static_cast<int>(out.size() / kLookVertexFloats);
                runs.push_back({at, 0, -1, translucentPass});
            }
            if (place.Page >= 0)
                runs.back().Page = place.Page;
            const D3DVECTOR v0 = vertex(corners[0]);
            const D3DVECTOR normal = FaceNormal(mesh.Positions.data(), corners, size);
            const float* material = &mesh.FaceColors[3 * f];
            const float style[2] = {(flags & kFaceDoubleSided) ? 1.0f : 0.0f,
                                    (flags & kFaceFullBright) ? 1.0f : 0.0f};
            auto pushVertex = [&](std::uint32_t k)
            {
                const D3DVECTOR p = vertex(corners[k]);
                out.insert(out.end(),
                           {p.x,         p.y,         p.z,       normal.x,      normal.y,
                            normal.z,    v0.x,        v0.y,      v0.z,          material[0],
                            material[1], material[2], uv[2 * k], uv[2 * k + 1], rect[0],
                            rect[1],     rect[2],     rect[3],   style[0],      style[1]});
            };
            for (std::uint32_t k = 1; k + 1 < size; ++k)
            {
                pushVertex(0);
                pushVertex(k);
                pushVertex(k + 1);
                runs.back().Count += 3;
            }
        }
    }
    return out;
}

// A mesh uploaded once. The layer may change a mesh in place (scaling), which changes its
// version; the version uploaded is kept and compared before each use.
struct TUploadedMesh
{
    std::weak_ptr<const TRenderMesh> Source;
    std::uint64_t Version = 0;
    QOpenGLBuffer Buffer{QOpenGLBuffer::VertexBuffer};
    int VertexCount = 0;
    // Added: for a mesh with looks, its atlas pages and the stretches drawn with each.
    bool HasLooks = false;
    std::vector<GLuint> Pages;
    std::vector<TAtlasPage> PageSizes;
    std::vector<TLookRun> Runs;
};

// The process-wide OpenGL state: context, surface, shader program and uploaded meshes. As in
// hellogl2, the GL resources are made in Initialize and freed in Cleanup, which runs when the
// context is about to go.
class TGLShared : public QObject, protected QOpenGLFunctions
{
public:
    static TGLShared* Instance()
    {
        static QPointer<TGLShared> instance;
        // The application in which making a context failed: no point trying again in it.
        static const QCoreApplication* failedIn = nullptr;
        if (instance)
            return instance;
        QCoreApplication* application = QCoreApplication::instance();
        if (!qobject_cast<QGuiApplication*>(application) || application == failedIn)
            return nullptr;
        auto* shared = new TGLShared(application);
        if (!shared->Initialize())
        {
            delete shared;
            failedIn = application;
            return nullptr;
        }
        instance = shared;
        return instance;
    }

    ~TGLShared() override
    {
        Cleanup();
        // The context goes before the surface it was current on.
        FContext.reset();
    }

    bool MakeCurrent() { return FContext && FContext->makeCurrent(&FSurface); }
    QOpenGLFunctions& Functions() { return *this; }
    QOpenGLShaderProgram& Program() { return *FProgram; }
    bool IsES() const { return FContext->isOpenGLES(); }
    const std::string& Renderer() const { return FRenderer; }

    struct TLocations
    {
        int Position, Normal, Corner, Material;
        int ToCamera, Projection, Lit, Ambient, LightCount, LightDirection, LightColor, Shades;
    };
    const TLocations& Locations() const { return FLocations; }

    QOpenGLShaderProgram& LookProgram() { return *FLookProgram; }

    struct TLookLocations
    {
        int TexCoord, TexRect, Style, Atlas, AtlasSize, Alpha;
    };
    // The look program's own attributes and uniforms; the rest are at the same names as in
    // Locations(), looked up in the look program.
    const TLookLocations& LookLocations() const { return FLookLocations; }
    const TLocations& LookCommonLocations() const { return FLookCommon; }

    // Lets go of the buffers of meshes that are gone (the context current).
    void ForgetExpiredMeshes() { ForgetExpired(); }

    // The buffer holding `mesh`, uploaded when it is new or has changed.
    TUploadedMesh& Upload(const std::shared_ptr<const TRenderMesh>& mesh)
    {
        ForgetExpired();
        TUploadedMesh& entry = FMeshes[mesh.get()];
        const bool same = !entry.Source.expired() && entry.Source.lock() == mesh &&
                          entry.Version == mesh->Version;
        if (same)
            return entry;
        ReleasePages(entry);
        entry.HasLooks = !mesh->Looks.Empty();
        std::vector<float> vertices;
        if (entry.HasLooks)
        {
            const std::vector<TAtlasPlace> places =
                PlaceTextures(mesh->Looks, FMaxTextureSize, entry.PageSizes);
            vertices = LookTriangleVertices(*mesh, places, entry.Runs);
            MakePages(mesh->Looks, places, entry);
        }
        else
            vertices = TriangleVertices(*mesh);
        if (!entry.Buffer.isCreated())
            entry.Buffer.create();
        entry.Buffer.bind();
        entry.Buffer.setUsagePattern(QOpenGLBuffer::StaticDraw);
        entry.Buffer.allocate(vertices.data(), static_cast<int>(vertices.size() * sizeof(float)));
        entry.Buffer.release();
        entry.VertexCount = static_cast<int>(vertices.size() /
                                             (entry.HasLooks ? kLookVertexFloats : kVertexFloats));
        entry.Source = mesh;
        entry.Version = mesh->Version;
        return entry;
    }

private:
    explicit TGLShared(QObject* parent) : QObject(parent) {}

    bool Initialize()
    {
        FContext = std::make_unique<QOpenGLContext>();
        if (!FContext->create())
            return false;
        FSurface.setFormat(FContext->format());
        FSurface.create();
        if (!FSurface.isValid() || !MakeCurrent())
            return false;
        connect(FContext.get(), &QOpenGLContext::aboutToBeDestroyed, this, &TGLShared::Cleanup);
        initializeOpenGLFunctions();
        if (const GLubyte* renderer = glGetString(GL_RENDERER))
            FRenderer = reinterpret_cast<const char*>(renderer);
        PinDriverModules();
        if (!QOpenGLFramebufferObject::hasOpenGLFramebufferObjects())
            return false;

        const QByteArray header =
            IsES() ? "#version 100\nprecision highp float;\n" : "#version 120\n";
        FProgram = std::make_unique<QOpenGLShaderProgram>();
        if (!FProgram->addShaderFromSourceCode(QOpenGLShader::Vertex,
                                               header + kLightingShader + kVertexShader) ||
            !FProgram->addShaderFromSourceCode(QOpenGLShader::Fragment, header + kFragmentShader) ||
            !FProgram->link())
            return false;
        FLocations = CommonLocations(*FProgram);
        FLookProgram = std::make_unique<QOpenGLShaderProgram>();
        if (!FLookProgram->addShaderFromSourceCode(QOpenGLShader::Vertex,
                                                   header + kLightingShader + kLookVertexShader) ||
            !FLookProgram->addShaderFromSourceCode(QOpenGLShader::Fragment,
                                                   header + kLookFragmentShader) ||
            !FLookProgram->link())
            return false;
        QOpenGLShaderProgram& l = *FLookProgram;
        FLookCommon = CommonLocations(l);
        FLookLocations = {l.attributeLocation("aTexCoord"), l.attributeLocation("aTexRect"),
                          l.attributeLocation("aStyle"),    l.uniformLocation("uAtlas"),
                          l.uniformLocation("uAtlasSize"),  l.uniformLocation("uAlpha")};
        GLint maxSize = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
        FMaxTextureSize = std::max(64, std::min(maxSize, 8192));
        return true;
    }

    static TLocations CommonLocations(QOpenGLShaderProgram& p)
    {
        return {p.attributeLocation("aPosition"), p.attributeLocation("aNormal"),
                p.attributeLocation("aCorner"),   p.attributeLocation("aMaterial"),
                p.uniformLocation("uToCamera"),   p.uniformLocation("uProjection"),
                p.uniformLocation("uLit"),        p.uniformLocation("uAmbient"),
                p.uniformLocation("uLightCount"), p.uniformLocation("uLightDirection"),
                p.uniformLocation("uLightColor"), p.uniformLocation("uShades")};
    }

    // One GL texture per page, the textures copied in at their places (as R, G, B, A bytes).
    void MakePages(const TFaceLooks& looks, const std::vector<TAtlasPlace>& places,
                   TUploadedMesh& entry)
    {
        for (std::size_t p = 0; p < entry.PageSizes.size(); ++p)
        {
            const TAtlasPage& page = entry.PageSizes[p];
            std::vector<std::uint32_t> rgba(static_cast<std::size_t>(page.Width) *
                                            static_cast<std::size_t>(page.Height));
            for (std::size_t i = 0; i < places.size(); ++i)
            {
                if (places[i].Page != static_cast<int>(p))
                    continue;
                const TRenderTexture& t = *looks.Textures[i];
                for (int y = 0; y < t.Height; ++y)
                    for (int x = 0; x < t.Width; ++x)
                    {
                        const std::uint32_t c = t.Texels[static_cast<std::size_t>(y) * t.Width + x];
                        const std::uint8_t bytes[4] = {
                            static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                            static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 24)};
                        std::memcpy(&rgba[static_cast<std::size_t>(places[i].Y + y) * page.Width +
                                          static_cast<std::size_t>(places[i].X + x)],
                                    bytes, 4);
                    }
            }
            GLuint name = 0;
            glGenTextures(1, &name);
            glBindTexture(GL_TEXTURE_2D, name);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, page.Width, page.Height, 0, GL_RGBA,
                         GL_UNSIGNED_BYTE, rgba.data());
            glBindTexture(GL_TEXTURE_2D, 0);
            entry.Pages.push_back(name);
        }
    }

    void ReleasePages(TUploadedMesh& entry)
    {
        if (!entry.Pages.empty())
            glDeleteTextures(static_cast<GLsizei>(entry.Pages.size()), entry.Pages.data());
        entry.Pages.clear();
        entry.PageSizes.clear();
        entry.Runs.clear();
    }

    void Cleanup()
    {
        if (!FContext || !MakeCurrent())
            return;
        for (auto& entry : FMeshes)
            ReleasePages(entry.second);
        FMeshes.clear();
        FProgram.reset();
        FLookProgram.reset();
        FContext->doneCurrent();
    }

    void ForgetExpired()
    {
        for (auto it = FMeshes.begin(); it != FMeshes.end();)
        {
            if (!it->second.Source.expired())
            {
                ++it;
                continue;
            }
            ReleasePages(it->second);
            it = FMeshes.erase(it);
        }
    }

    QOffscreenSurface FSurface;
    std::unique_ptr<QOpenGLContext> FContext;
    std::unique_ptr<QOpenGLShaderProgram> FProgram;
    TLocations FLocations{};
    std::unique_ptr<QOpenGLShaderProgram> FLookProgram;
    TLocations FLookCommon{};
    TLookLocations FLookLocations{};
    int FMaxTextureSize = 64;
    std::map<const TRenderMesh*, TUploadedMesh> FMeshes;
    std::string FRenderer;
};

// One device's picture: a framebuffer object in the shared context, read back on demand.
class TOpenGLDriver : public TDeviceDriver
{
public:
    TOpenGLDriver(TGLShared& shared, int width, int height) : FShared(&shared)
    {
        FFrame.Width = width;
        FFrame.Height = height;
        FFrame.Pixels.assign(static_cast<std::size_t>(width) * height, 0xFF000000u);
        FShared->MakeCurrent();
        FTarget = std::make_unique<QOpenGLFramebufferObject>(width, height,
                                                             QOpenGLFramebufferObject::Depth);
        Clear(0, 0, width, height, 0xFF000000u);
    }

    ~TOpenGLDriver() override
    {
        // Without the context Qt has already let go of the framebuffer's GL names.
        if (FShared && FShared->MakeCurrent())
        {
            // Added: a preview closed on a big model must not leave its buffers behind until
            // some other device draws.
            FShared->ForgetExpiredMeshes();
        }
        FTarget.reset();
    }

    void Clear(int x, int y, int width, int height, std::uint32_t color) override
    {
        if (!Bind())
            return;
        QOpenGLFunctions& gl = FShared->Functions();
        gl.glEnable(GL_SCISSOR_TEST);
        gl.glScissor(x, y, width, height);
        // Alpha 0 marks the cleared pixels; every face is drawn with alpha 1.
        gl.glClearColor(static_cast<float>((color >> 16) & 0xFF) / 255.0f,
                        static_cast<float>((color >> 8) & 0xFF) / 255.0f,
                        static_cast<float>(color & 0xFF) / 255.0f, 0.0f);
        gl.glDepthMask(GL_TRUE);
        gl.glClearDepthf(1.0f);
        gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        FStale = true;
    }

    void Render(const TRenderView& view) override
    {
        if (FCoverage != view.Coverage)
            FStale = true;
        FCoverage = view.Coverage;
        if (view.Width <= 0 || view.Height <= 0 || view.Field <= 0 || view.Items.empty() || !Bind())
            return;
        QOpenGLFunctions& gl = FShared->Functions();
        QOpenGLShaderProgram& program = FShared->Program();
        const TGLShared::TLocations& at = FShared->Locations();
        // Framebuffer row 0 is the picture's top row (the projection flips Y).
        gl.glViewport(view.X, view.Y, view.Width, view.Height);
        gl.glEnable(GL_SCISSOR_TEST);
        gl.glScissor(view.X, view.Y, view.Width, view.Height);
        gl.glEnable(GL_DEPTH_TEST);
        gl.glDepthFunc(GL_LESS);
        gl.glDepthMask(GL_TRUE);
        gl.glDisable(GL_CULL_FACE);
        gl.glDisable(GL_BLEND);
        gl.glDisable(GL_DITHER);

        const std::array<GLfloat, 16> projection = Projection(view);
        program.bind();
        gl.glUniformMatrix4fv(at.Projection, 1, GL_FALSE, projection.data());
        SetLights(view, program, at);
        bool anyTranslucent = false;
        for (const TRenderItem& item : view.Items)
        {
            if (!item.Mesh)
                continue;
            TUploadedMesh& mesh = FShared->Upload(item.Mesh);
            if (mesh.VertexCount == 0)
                continue;
            const std::array<GLfloat, 16> toCamera =
                ColumnMajor(CombineTransforms(item.World, view.View));
            if (mesh.HasLooks)
            {
                BindLookProgram(view, projection);
                DrawLookRuns(mesh, toCamera, false);
                anyTranslucent =
                    anyTranslucent || std::any_of(mesh.Runs.begin(), mesh.Runs.end(),
                                                  [](const TLookRun& r) { return r.Translucent; });
                program.bind();
                continue;
            }
            gl.glUniformMatrix4fv(at.ToCamera, 1, GL_FALSE, toCamera.data());
            mesh.Buffer.bind();
            const int stride = kVertexFloats * sizeof(float);
            const int attributes[] = {at.Position, at.Normal, at.Corner, at.Material};
            for (int a = 0; a < 4; ++a)
            {
                program.enableAttributeArray(attributes[a]);
                program.setAttributeBuffer(attributes[a], GL_FLOAT, a * 3 * sizeof(float), 3,
                                           stride);
            }
            gl.glDrawArrays(GL_TRIANGLES, 0, mesh.VertexCount);
            for (const int attribute : attributes)
                program.disableAttributeArray(attribute);
            mesh.Buffer.release();
        }
        program.release();
        // Added: translucent faces after every opaque one, item by item, blended over them.
        if (anyTranslucent)
        {
            BindLookProgram(view, projection);
            gl.glEnable(GL_BLEND);
            gl.glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE,
                                   GL_ONE_MINUS_SRC_ALPHA);
            for (const TRenderItem& item : view.Items)
            {
                if (!item.Mesh)
                    continue;
                TUploadedMesh& mesh = FShared->Upload(item.Mesh);
                if (!mesh.HasLooks || mesh.VertexCount == 0)
                    continue;
                DrawLookRuns(mesh, ColumnMajor(CombineTransforms(item.World, view.View)), true);
            }
            gl.glDisable(GL_BLEND);
            FShared->LookProgram().release();
        }
        FStale = true;
    }

    const TFrameBuffer& Frame() override
    {
        if (FStale && Bind())
        {
            QOpenGLFunctions& gl = FShared->Functions();
            gl.glPixelStorei(GL_PACK_ALIGNMENT, 4);
            if (FShared->IsES())
            {
                gl.glReadPixels(0, 0, FFrame.Width, FFrame.Height, GL_RGBA, GL_UNSIGNED_BYTE,
                                FFrame.Pixels.data());
                for (std::uint32_t& p : FFrame.Pixels)
                    p = (p & 0xFF000000u) | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
            }
            else
                gl.glReadPixels(0, 0, FFrame.Width, FFrame.Height, kGLBGRA, GL_UNSIGNED_BYTE,
                                FFrame.Pixels.data());
            FFrame.Coverage.resize(FCoverage ? FFrame.Pixels.size() : 0);
            for (std::size_t i = 0; i < FFrame.Coverage.size(); ++i)
                FFrame.Coverage[i] = (FFrame.Pixels[i] >> 24) != 0 ? 1 : 0;
            for (std::uint32_t& p : FFrame.Pixels)
                p |= 0xFF000000u;
            FStale = false;
        }
        return FFrame;
    }

private:
    void BindLookProgram(const TRenderView& view, const std::array<GLfloat, 16>& projection)
    {
        QOpenGLShaderProgram& program = FShared->LookProgram();
        const TGLShared::TLocations& at = FShared->LookCommonLocations();
        program.bind();
        FShared->Functions().glUniformMatrix4fv(at.Projection, 1, GL_FALSE, projection.data());
        SetLights(view, program, at);
        program.setUniformValue(FShared->LookLocations().Atlas, 0);
    }

    // The mesh's stretches of opaque (or translucent) triangles, each with its atlas page. The
    // look program is bound.
    void DrawLookRuns(TUploadedMesh& mesh, const std::array<GLfloat, 16>& toCamera,
                      bool translucent)
    {
        QOpenGLFunctions& gl = FShared->Functions();
        QOpenGLShaderProgram& program = FShared->LookProgram();
        const TGLShared::TLocations& at = FShared->LookCommonLocations();
        const TGLShared::TLookLocations& look = FShared->LookLocations();
        gl.glUniformMatrix4fv(at.ToCamera, 1, GL_FALSE, toCamera.data());
        program.setUniformValue(
            look.Alpha, translucent ? static_cast<GLfloat>(kTranslucentAlpha) / 255.0f : 1.0f);
        mesh.Buffer.bind();
        const int stride = kLookVertexFloats * sizeof(float);
        const struct
        {
            int Location, Offset, Size;
        } attributes[] = {{at.Position, 0, 3}, {at.Normal, 3, 3},      {at.Corner, 6, 3},
                          {at.Material, 9, 3}, {look.TexCoord, 12, 2}, {look.TexRect, 14, 4},
                          {look.Style, 18, 2}};
        for (const auto& a : attributes)
        {
            program.enableAttributeArray(a.Location);
            program.setAttributeBuffer(a.Location, GL_FLOAT, a.Offset * sizeof(float), a.Size,
                                       stride);
        }
        gl.glActiveTexture(GL_TEXTURE0);
        for (const TLookRun& run : mesh.Runs)
        {
            if (run.Translucent != translucent || run.Count == 0)
                continue;
            const int page = run.Page >= 0 ? run.Page : 0;
            const bool hasPage = static_cast<std::size_t>(page) < mesh.Pages.size();
            gl.glBindTexture(GL_TEXTURE_2D,
                             hasPage ? mesh.Pages[static_cast<std::size_t>(page)] : 0);
            if (hasPage)
                program.setUniformValue(
                    look.AtlasSize,
                    static_cast<GLfloat>(mesh.PageSizes[static_cast<std::size_t>(page)].Width),
                    static_cast<GLfloat>(mesh.PageSizes[static_cast<std::size_t>(page)].Height));
            gl.glDrawArrays(GL_TRIANGLES, run.First, run.Count);
        }
        gl.glBindTexture(GL_TEXTURE_2D, 0);
        for (const auto& a : attributes)
            program.disableAttributeArray(a.Location);
        mesh.Buffer.release();
    }

    bool Bind()
    {
        if (!FShared || !FTarget || !FShared->MakeCurrent())
            return false;
        return FTarget->bind();
    }

    // The directional lights in camera coordinates, as the software driver turns them.
    void SetLights(const TRenderView& view, QOpenGLShaderProgram& program,
                   const TGLShared::TLocations& at)
    {
        const TCameraLights lights = CameraLights(view);
        const int count = std::min(static_cast<int>(lights.Directions.size()), kMaxLights);
        std::array<GLfloat, 3 * kMaxLights> directions{};
        std::array<GLfloat, 3 * kMaxLights> colors{};
        for (int i = 0; i < count; ++i)
        {
            const D3DVECTOR& d = lights.Directions[i];
            const D3DVECTOR& c = lights.Colors[i];
            directions[3 * i] = d.x;
            directions[3 * i + 1] = d.y;
            directions[3 * i + 2] = d.z;
            colors[3 * i] = c.x;
            colors[3 * i + 1] = c.y;
            colors[3 * i + 2] = c.z;
        }
        program.setUniformValue(at.Lit, lights.Lit ? 1 : 0);
        program.setUniformValue(at.Shades, static_cast<GLfloat>(lights.Shades));
        program.setUniformValue(at.Ambient, lights.Ambient[0], lights.Ambient[1],
                                lights.Ambient[2]);
        program.setUniformValue(at.LightCount, count);
        program.setUniformValueArray(at.LightDirection, directions.data(), kMaxLights, 3);
        program.setUniformValueArray(at.LightColor, colors.data(), kMaxLights, 3);
    }

    QPointer<TGLShared> FShared;
    std::unique_ptr<QOpenGLFramebufferObject> FTarget;
    TFrameBuffer FFrame;
    bool FStale = false;
    bool FCoverage = false; // the last Render asked for the drawn pixels
};

TDriverRegistration OpenGLRegistration(TDeviceDriverFactory factory)
{
    TDriverRegistration driver;
    driver.Guid = kOpenGLDriverGuid;
    driver.Name = kOpenGLDriverName;
    driver.Description = "Quillmark OpenGL renderer";
    driver.HWDesc.dcmColorModel = D3DCOLOR_RGB;
    driver.HWDesc.dwDeviceRenderBitDepth = DDBD_16 | DDBD_24 | DDBD_32;
    driver.HWDesc.dwDeviceZBufferBitDepth = DDBD_24;
    driver.Factory = std::move(factory);
    return driver;
}

// The Qt application a program without one gets for its OpenGL devices; it lives while they
// do, so that it is gone before the program's own exit.
std::shared_ptr<QGuiApplication> OwnedApplication()
{
    static std::weak_ptr<QGuiApplication> owned;
    if (auto application = owned.lock())
        return application;
    if (QCoreApplication::instance())
        return nullptr;
#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)
    // Without a display the X11 platform would abort the program; "offscreen" still reaches
    // OpenGL through a display when there is one. Windows and macOS keep their own platform:
    // it gives OpenGL on an offscreen surface without showing a window, "offscreen" none.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    static int argc = 1;
    static char name[] = "quillmark";
    static char* argv[] = {name, nullptr};
    auto application = std::make_shared<QGuiApplication>(argc, argv);
    owned = application;
    return application;
}

// An OpenGL device that keeps the application it was made in.
class TApplicationDriver : public TDeviceDriver
{
public:
    TApplicationDriver(std::shared_ptr<QGuiApplication> application,
                       std::unique_ptr<TDeviceDriver> driver)
        : FApplication(std::move(application)), FDriver(std::move(driver))
    {
    }
    void Clear(int x, int y, int width, int height, std::uint32_t color) override
    {
        FDriver->Clear(x, y, width, height, color);
    }
    void Render(const TRenderView& view) override { FDriver->Render(view); }
    const TFrameBuffer& Frame() override { return FDriver->Frame(); }

private:
    // Declared first, so it goes last.
    std::shared_ptr<QGuiApplication> FApplication;
    std::unique_ptr<TDeviceDriver> FDriver;
};
} // namespace

bool OpenGLAvailable()
{
    return TGLShared::Instance() != nullptr;
}

std::string OpenGLRenderer()
{
    const TGLShared* shared = TGLShared::Instance();
    return shared ? shared->Renderer() : std::string();
}

std::unique_ptr<TDeviceDriver> CreateOpenGLDriver(int width, int height)
{
    TGLShared* shared = TGLShared::Instance();
    if (!shared)
        return nullptr;
    return std::make_unique<TOpenGLDriver>(*shared, width, height);
}

bool RegisterOpenGLDriver(bool makeDefault)
{
    static std::optional<bool> registered;
    if (registered)
        return *registered;
    registered = OpenGLAvailable();
    if (!*registered)
        return false;
    RegisterD3DDriver(OpenGLRegistration(&CreateOpenGLDriver));
    // Added: OpenGL drawn by the processor is slower than the built-in driver.
    if (makeDefault && !IsSoftwareOpenGLRenderer(OpenGLRenderer()))
        SetDefaultD3DDriver(kOpenGLDriverGuid);
    return true;
}

void RegisterOpenGLDriverOnDemand()
{
    RegisterD3DDriver(OpenGLRegistration(
        [](int width, int height) -> std::unique_ptr<TDeviceDriver>
        {
            std::shared_ptr<QGuiApplication> application = OwnedApplication();
            std::unique_ptr<TDeviceDriver> driver = CreateOpenGLDriver(width, height);
            if (!driver || !application)
                return driver;
            return std::make_unique<TApplicationDriver>(std::move(application), std::move(driver));
        }));
}
