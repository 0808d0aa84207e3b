// The OpenGL driver against the software one, and the preview window on a real X server.
#include "F_D3D.h"
#include "dialogs.h"
#include "testsupport.h"
#include "d3drmwnd.h"
#include "gldriver.h"

#include <QDir>
#include <QLabel>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <memory>

namespace
{
const std::string kTestData = QUILLMARK_TESTDATA;

// Two quads seen from the front: the left one faces the light straight on (0.1 ambient + 0.9
// directional = 1.0, white), the right one is tilted by 60 degrees (0.1 + 0.9 * 0.5 = 0.55,
// which is channel value 140 at 256 shades).
constexpr const char* kTwoQuads = R"(xof 0302txt 0064
Mesh {
 8;
 -2.5;-1.0;0.0;, -2.5;1.0;0.0;, -0.5;1.0;0.0;, -0.5;-1.0;0.0;,
 0.5;-0.5;-0.8660254;, 0.5;0.5;0.8660254;, 2.5;0.5;0.8660254;, 2.5;-0.5;-0.8660254;;
 2;
 4;0,1,2,3;,
 4;4,5,6,7;;
}
)";

struct TRender
{
    std::unique_ptr<TD3DRMWindow> Window;
    QImage Picture;
};

int DriverIndexOf(const TD3DRMWindow& w, const std::string& name)
{
    for (int i = 0; i < w.DriverCount(); ++i)
        if (w.DriverNames(i) == name)
            return i;
    return -1;
}

// The first frame of `file` on the named driver, as the preview would show it after `frames`
// steps of the default rotation, its faces looking as `looks` says.
QImage RenderWith(const std::string& driver, const std::string& file, int frames,
                  const TFaceLooks& looks = {})
{
    TD3DRMWindow w;
    w.resize(400, 300);
    w.InitScene();
    const int index = DriverIndexOf(w, driver);
    if (index < 0)
        return {};
    w.SetDriverIndex(index);
    w.SetFaceLooks(looks);
    w.LoadModel(file);
    DXCheck(w.ModelFrame()->SetRotation(w.Scene(), 0, -1, 0, 0.0025f * 40));
    for (int i = 0; i < frames; ++i)
        w.RenderFrame();
    const TFrameBuffer& frame = w.Device()->GetFrameBuffer();
    return QImage(reinterpret_cast<const uchar*>(frame.Pixels.data()), frame.Width, frame.Height,
                  frame.Width * 4, QImage::Format_RGB32)
        .copy();
}

bool Differs(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) > 2 || std::abs(qGreen(a) - qGreen(b)) > 2 ||
           std::abs(qBlue(a) - qBlue(b)) > 2;
}

int CountCovered(const QImage& image)
{
    int covered = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            covered += (image.pixel(x, y) & 0xFFFFFF) != 0;
    return covered;
}
} // namespace

class TPreviewGLTest : public QObject
{
    Q_OBJECT

    QTemporaryDir FDir;
    TFakeDialogs FDialogs;

private slots:
    void initTestCase()
    {
        SetDialogs(&FDialogs);
        // An X server with Mesa is there in this test's run: OpenGL must be found.
        QVERIFY(RegisterOpenGLDriver());
        QVERIFY(FDir.isValid());
        std::ofstream(FDir.filePath("quads.x").toStdString()) << kTwoQuads;
    }

    void BothDriversAreListed()
    {
        TD3DRMWindow w;
        w.InitScene();
        QVERIFY(DriverIndexOf(w, "RGB Emulation") >= 0);
        QVERIFY(DriverIndexOf(w, "OpenGL") >= 0);
    }

    void DefaultDriverIsOpenGLOnlyOnGraphicsHardware()
    {
        // Mesa under Xvfb draws on the processor; a machine with a graphics driver says so too.
        const std::string renderer = OpenGLRenderer();
        QVERIFY(!renderer.empty());
        const TDriverRegistration* chosen = FindD3DDriver(nullptr);
        QVERIFY(chosen);
        QCOMPARE(chosen->Guid == kOpenGLDriverGuid, !IsSoftwareOpenGLRenderer(renderer));
    }

    void LightingMatchesHandWorkedShades_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::newRow("software") << "RGB Emulation";
        QTest::newRow("opengl") << "OpenGL";
    }

    void LightingMatchesHandWorkedShades()
    {
        QFETCH(QString, driver);
        const std::string file = FDir.filePath("quads.x").toStdString();
        TD3DRMWindow w;
        w.resize(320, 240);
        w.InitScene();
        w.SetDriverIndex(DriverIndexOf(w, driver.toStdString()));
        w.LoadModel(file);
        w.RenderFrame();
        const TFrameBuffer& frame = w.Device()->GetFrameBuffer();
        QMap<std::uint32_t, int> colours;
        for (const std::uint32_t p : frame.Pixels)
            ++colours[p & 0xFFFFFF];
        // No blending: every pixel is background or one of the two face shades.
        QCOMPARE(colours.keys(), (QList<std::uint32_t>{0x000000, 0x8C8C8C, 0xFFFFFF}));
        QVERIFY(colours[0xFFFFFF] > 800);
        QVERIFY(colours[0x8C8C8C] > 400);
    }

    void DriversDrawTheSamePicture_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("frames");
        QTest::newRow("house") << "house_crlf.x" << 1;
        QTest::newRow("house turned") << "house_crlf.x" << 7;
        QTest::newRow("nested frames") << "frames_cube.x" << 3;
        QTest::newRow("top") << "top_lf.x" << 2;
        QTest::newRow("top turned") << "top_lf.x" << 5;
    }

    void DriversDrawTheSamePicture()
    {
        QFETCH(QString, file);
        QFETCH(int, frames);
        const std::string path = kTestData + "/" + file.toStdString();
        const QImage software = RenderWith("RGB Emulation", path, frames);
        const QImage opengl = RenderWith("OpenGL", path, frames);
        QCOMPARE(software.size(), QSize(400, 300));
        QCOMPARE(opengl.size(), software.size());
        const int covered = std::max(CountCovered(software), CountCovered(opengl));
        // The model is in view, not a speck.
        QVERIFY2(covered > 400 * 300 / 40, qPrintable(QString::number(covered)));
        int differing = 0;
        for (int y = 0; y < software.height(); ++y)
            for (int x = 0; x < software.width(); ++x)
                differing += Differs(software.pixel(x, y), opengl.pixel(x, y));
        const QString name = QString(file).replace(".x", "");
        software.save(QDir::temp().filePath("quillmark_" + name + "_software.png"));
        opengl.save(QDir::temp().filePath("quillmark_" + name + "_opengl.png"));
        // Only pixels along edges may differ.
        QVERIFY2(differing < covered / 50,
                 qPrintable(QString("%1 of %2 pixels differ").arg(differing).arg(covered)));
    }

    void TexturedModelLooksAlikeOnBothDrivers()
    {
        // The two quads with a 4 x 4 texture of four colours, repeated twice across each. The
        // left quad is full-bright (texels as they are) with texel (0, 0) cut out; the right
        // one is lit and translucent over the black background.
        const std::uint32_t red = 0xFFFF0000u, green = 0xFF00FF00u, blue = 0xFF0000FFu,
                            yellow = 0xFFFFFF00u;
        auto texture = std::make_shared<TRenderTexture>();
        texture->Width = texture->Height = 4;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                texture->Texels.push_back(y < 2 ? (x < 2 ? red : green) : (x < 2 ? blue : yellow));
        texture->Texels[0] = 0x00FF0000u;
        TFaceLooks looks;
        looks.FaceTextures = {0, 0};
        looks.FaceFlags = {kFaceFullBright, kFaceTranslucent};
        // Corners bottom left, top left, top right, bottom right: v = 2 at the bottom.
        for (int face = 0; face < 2; ++face)
            looks.TexCoords.insert(looks.TexCoords.end(), {0, 2, 0, 0, 2, 0, 2, 2});
        looks.Textures.push_back(texture);
        looks.FaceColors.assign(6, 1.0f);

        const std::string file = FDir.filePath("quads.x").toStdString();
        const QImage software = RenderWith("RGB Emulation", file, 1, looks);
        const QImage opengl = RenderWith("OpenGL", file, 1, looks);
        QCOMPARE(opengl.size(), software.size());
        software.save(QDir::temp().filePath("quillmark_textured_software.png"));
        opengl.save(QDir::temp().filePath("quillmark_textured_opengl.png"));
        // The texture's colours where the full-bright quad is: every one of the four, in both.
        for (const QImage* picture : {&software, &opengl})
        {
            QMap<QRgb, int> colours;
            for (int y = 0; y < picture->height(); ++y)
                for (int x = 0; x < picture->width(); ++x)
                    ++colours[picture->pixel(x, y)];
            for (const QRgb c : {red, green, blue, yellow})
                QVERIFY2(colours[c] > 300,
                         qPrintable(QString("%1: %2").arg(c, 0, 16).arg(colours[c])));
        }
        // Tolerance: a pixel may differ only where the software picture changes colour within
        // one pixel of it (a triangle's edge or a texel boundary, where the drivers' rounding of
        // positions and texture coordinates may fall either way). Elsewhere, up to 2 per channel.
        auto changesNear = [&](int x, int y)
        {
            const QRgb c = software.pixel(x, y);
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                {
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < software.width() && ny < software.height() &&
                        software.pixel(nx, ny) != c)
                        return true;
                }
            return false;
        };
        int differing = 0, unexplained = 0;
        for (int y = 0; y < software.height(); ++y)
            for (int x = 0; x < software.width(); ++x)
                if (Differs(software.pixel(x, y), opengl.pixel(x, y)))
                {
                    ++differing;
                    unexplained += !changesNear(x, y);
                }
        const int covered = CountCovered(software);
        QVERIFY2(unexplained == 0 && differing < covered / 20,
                 qPrintable(QString("%1 of %2 pixels differ, %3 away from edges")
                                .arg(differing)
                                .arg(covered)
                                .arg(unexplained)));
    }

    void MeshChangedInPlaceIsDrawnAnew()
    {
        // One scene seen through a device of each driver; the builder is scaled between two
        // pictures, which changes its mesh where it is.
        LPDIRECT3DRM rm;
        LPDIRECTDRAWCLIPPER clipper;
        LPDIRECT3DRMFRAME scene, camera, lights, model;
        LPDIRECT3DRMLIGHT light;
        LPDIRECT3DRMMESHBUILDER builder;
        QCOMPARE(Direct3DRMCreate(rm), 0);
        QCOMPARE(DirectDrawCreateClipper(0, clipper, nullptr), 0);
        QCOMPARE(rm->CreateFrame(nullptr, scene), 0);
        QCOMPARE(rm->CreateFrame(scene, camera), 0);
        QCOMPARE(rm->CreateFrame(scene, lights), 0);
        QCOMPARE(rm->CreateLightRGB(D3DRMLIGHT_DIRECTIONAL, 0.9f, 0.9f, 0.9f, light), 0);
        QCOMPARE(lights->AddLight(light), 0);
        QCOMPARE(rm->CreateLightRGB(D3DRMLIGHT_AMBIENT, 0.1f, 0.1f, 0.1f, light), 0);
        QCOMPARE(lights->AddLight(light), 0);
        QCOMPARE(rm->CreateFrame(scene, model), 0);
        QCOMPARE(rm->CreateMeshBuilder(builder), 0);
        QCOMPARE(builder->Load(FDir.filePath("quads.x").toStdString(), nullptr, D3DRMLOAD_FROMFILE,
                               nullptr, nullptr),
                 0);
        QCOMPARE(model->AddVisual(builder), 0);
        QCOMPARE(camera->SetPosition(scene, 0, 0, -10), 0);

        struct TView
        {
            LPDIRECT3DRMDEVICE Device;
            LPDIRECT3DRMVIEWPORT Viewport;
        } views[2];
        const GUID guids[2] = {kSoftwareDriverGuid, kOpenGLDriverGuid};
        for (int i = 0; i < 2; ++i)
        {
            QCOMPARE(rm->CreateDeviceFromClipper(clipper, &guids[i], 200, 150, views[i].Device), 0);
            QCOMPARE(views[i].Device->SetShades(256), 0);
            QCOMPARE(rm->CreateViewport(views[i].Device, camera, 0, 0, 200, 150, views[i].Viewport),
                     0);
        }
        auto pictures = [&]
        {
            std::vector<std::vector<std::uint32_t>> out;
            for (TView& v : views)
            {
                v.Viewport->Clear();
                v.Viewport->Render(scene);
                out.push_back(v.Device->GetFrameBuffer().Pixels);
            }
            return out;
        };
        auto lit = [](const std::vector<std::uint32_t>& p)
        { return std::count_if(p.begin(), p.end(), [](std::uint32_t c) { return c & 0xFFFFFF; }); };
        const auto before = pictures();
        QCOMPARE(builder->Scale(0.5f, 0.5f, 0.5f), 0);
        const auto after = pictures();
        QVERIFY(lit(before[0]) > 3 * lit(after[0]));
        QCOMPARE(lit(before[1]), lit(before[0]));
        QCOMPARE(lit(after[1]), lit(after[0]));
    }

    void PreviewSpinsAndCountsFrames()
    {
        const std::string path = kTestData + "/house_crlf.x";
        TD3DForm* form = TD3DForm::Create(nullptr, path);
        std::unique_ptr<TD3DForm> owner(form);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form, kEventually));
        QTRY_VERIFY_WITH_TIMEOUT(form->D3DWin->FrameCount() > 20, kEventually);
        // The counter's first sample with frames in it, however fast this machine draws.
        QTRY_VERIFY_WITH_TIMEOUT(form->FPSPane->text().toInt() > 0, kEventually);
        const QImage first = form->grab().toImage();
        const int frames = form->D3DWin->FrameCount();
        QTRY_VERIFY_WITH_TIMEOUT(form->D3DWin->FrameCount() > frames + 5, kEventually);
        const QImage later = form->grab().toImage();
        first.save(QDir::temp().filePath("quillmark_preview.png"));
        // The model turns: the picture changes between two moments.
        QVERIFY(first != later);
        const QRect area = form->D3DWin->geometry().translated(form->BorderPane->pos());
        const int covered = CountCovered(first.copy(area));
        QVERIFY2(covered > area.width() * area.height() / 40 &&
                     covered < area.width() * area.height() * 9 / 10,
                 qPrintable(QString::number(covered)));
        QVERIFY(FDialogs.Messages.empty());
    }
};

QTEST_MAIN(TPreviewGLTest)
#include "preview_gl_test.moc"
