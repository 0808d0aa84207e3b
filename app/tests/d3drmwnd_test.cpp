// The retained-mode window control against a recording fake of the 3D layer.
#include "d3drmwnd.h"

#include "U_Idle.h"
#include "base/platform.h"
#include "d3drmfake.h"
#include "dialogs.h"
#include "testsupport.h"

#include <QAction>
#include <QCursor>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace
{
// A control on a screen of a chosen colour depth.
class TTestWindow : public TD3DRMWindow
{
public:
    using TD3DRMWindow::TD3DRMWindow;
    int Depth = 32;
    double RefreshRate = 32;

protected:
    int ScreenBitsPerPixel() const override { return Depth; }
    double ScreenRefreshRate() const override { return RefreshRate; }
};

struct TTextBox
{
    QRect Box; // bounding box of the pure white pixels
    bool RedCorners = false;
};

TTextBox PlaceholderOf(QWidget& w)
{
    const QImage image = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    TTextBox result;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF)
                result.Box |= QRect(x, y, 1, 1);
    const int r = image.width() - 1, b = image.height() - 1;
    result.RedCorners =
        QColor(image.pixel(0, 0)) == Qt::red && QColor(image.pixel(r, b)) == Qt::red &&
        QColor(image.pixel(r, 0)) == Qt::red && QColor(image.pixel(0, b)) == Qt::red;
    return result;
}

// The placeholder shows `text` centred: its white pixels lie within the text's advance, around
// the control's centre.
bool ShowsText(QWidget& w, const char* text)
{
    const TTextBox found = PlaceholderOf(w);
    const int advance = QFontMetrics(w.font()).horizontalAdvance(QString::fromLatin1(text));
    const int left = std::max((w.width() - advance) / 2, 0);
    const int right = std::min((w.width() - advance) / 2 + advance, w.width());
    return found.RedCorners && found.Box.isValid() && found.Box.left() >= left - 1 &&
           found.Box.right() <= right + 1 && found.Box.width() >= right - left - 6;
}
} // namespace

class TD3DRMWindowTest : public QObject
{
    Q_OBJECT

private:
    TFakeLogPtr Log;
    TFakeDialogs FDialogs;
    std::vector<std::string> MessageBoxes;

    std::unique_ptr<TTestWindow> InitializedWindow(int depth = 32)
    {
        auto w = std::make_unique<TTestWindow>();
        w->Depth = depth;
        w->resize(200, 100);
        w->InitScene();
        return w;
    }

    TFakeFrame& Frame(const LPDIRECT3DRMFRAME& frame) { return dynamic_cast<TFakeFrame&>(*frame); }

private slots:
    void init()
    {
        Log = std::make_shared<TFakeLog>();
        Log->Drivers = {FakeDriver(1, "RGB Emulation", DDBD_16 | DDBD_24 | DDBD_32)};
        SetD3DPlatform(std::make_shared<TFakePlatform>(Log));
        DriverTableCount = 0;
        DriversEnumerated = false;
        FDialogs.Messages.clear();
        MessageBoxes.clear();
        SetDialogs(&FDialogs);
        SetMessageBoxHook([this](const std::string& text) { MessageBoxes.push_back(text); });
    }

    void cleanup()
    {
        SetD3DPlatform(nullptr);
        SetDialogs(nullptr);
        SetMessageBoxHook({});
    }

    void ConstructionDefaults()
    {
        TTestWindow w;
        QCOMPARE(w.size(), QSize(65, 65));
        QCOMPARE(w.Color(), QGuiApplication::palette().color(QPalette::Dark));
        QVERIFY(!w.Initialized());
        QCOMPARE(w.DriverIndex(), 0);
        QVERIFY(w.DriverGUID() == nullptr);
        QCOMPARE(Log->Calls, std::vector<std::string>{"Direct3DRMCreate"});
        QVERIFY(ShowsText(w, "(no 3D device)"));
    }

    void InitSceneCallsInOrder()
    {
        TTestWindow w;
        bool initializedWhenBuilt = false;
        w.OnBuildScene = [&](TD3DRMWindow* sender)
        {
            initializedWhenBuilt = sender == &w && sender->Initialized();
            Log->Calls.push_back("OnBuildScene");
        };
        w.InitScene();
        const std::vector<std::string> expected = {
            "Direct3DRMCreate",
            "DirectDrawCreate",
            "DD2.QueryInterface(Direct3D)",
            "E3.EnumDevices",
            "DirectDrawCreateClipper -> C4",
            "C4.SetHWnd(0, window)",
            "CreateFrame(nil) -> F5",
            "CreateFrame(F5) -> F6",
            "F6.SetPosition(F5, 0, 0, 0)",
            "CreateFrame(F5) -> F7",
            "CreateLightRGB(3, 0.9, 0.9, 0.9) -> L8",
            "F7.AddLight(L8)",
            "CreateLightRGB(0, 0.1, 0.1, 0.1) -> L9",
            "F7.AddLight(L9)",
            "F7.SetPosition(F5, 2, 0, 22)",
            "CreateFrame(F5) -> F10",
            "F6.SetPosition(F5, 0, 0, -15)",
            "F6.SetOrientation(F5, 0, 0, 1, 0, 1, 0)",
            "F10.SetPosition(F5, 0, 0, 0)",
            "F10.SetOrientation(F5, 0, 0, 1, 0, 1, 0)",
            "CreateDeviceFromClipper(C4, nil, 65, 65) -> D11",
            "D11.QueryInterface(WinDevice)",
            "CreateViewport(D11, F6, 0, 0, 65, 65) -> V12",
            "V12.SetBack(5000)",
            "D11.SetQuality(136)",
            "D11.SetShades(256)",
            "SetDefaultTextureColors(64)",
            "SetDefaultTextureShades(256)",
            "OnBuildScene",
        };
        QCOMPARE(Log->Calls, expected);
        QVERIFY(initializedWhenBuilt);
        // The scene keeps the light frame after the control let go of it.
        QCOMPARE(Frame(w.Scene()).Children.size(), std::size_t{3});
    }

    void ShadesFollowScreenDepth_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("1 bit") << 1
                               << QStringList{"D11.SetQuality(136)", "D11.SetShades(4)",
                                              "SetDefaultTextureShades(4)"};
        QTest::newRow("8 bits") << 8 << QStringList{"D11.SetQuality(136)"};
        QTest::newRow("16 bits") << 16
                                 << QStringList{"D11.SetQuality(136)", "D11.SetShades(32)",
                                                "SetDefaultTextureColors(64)",
                                                "SetDefaultTextureShades(32)"};
        QTest::newRow("24 bits") << 24
                                 << QStringList{"D11.SetQuality(136)", "D11.SetShades(256)",
                                                "SetDefaultTextureColors(64)",
                                                "SetDefaultTextureShades(256)"};
        QTest::newRow("15 bits") << 15 << QStringList{"D11.SetQuality(136)"};
    }

    void ShadesFollowScreenDepth()
    {
        QFETCH(int, depth);
        QFETCH(QStringList, calls);
        TTestWindow w;
        w.Depth = depth;
        w.InitScene();
        const auto quality = std::find(Log->Calls.begin(), Log->Calls.end(), "D11.SetQuality(136)");
        QStringList tail;
        for (auto it = quality; it != Log->Calls.end(); ++it)
            tail << QString::fromStdString(*it);
        QCOMPARE(tail, calls);
    }

    void DriverTableTakesQualifyingDrivers()
    {
        TFakeDriver hardwareOnly16 = FakeDriver(3, "Direct3D HAL", DDBD_16, true);
        hardwareOnly16.HELDesc.dcmColorModel = D3DCOLOR_RGB;
        hardwareOnly16.HELDesc.dwDeviceRenderBitDepth = DDBD_32;
        Log->Drivers = {FakeDriver(1, "Ramp Emulation", DDBD_8),
                        FakeDriver(2, "RGB Emulation", DDBD_16 | DDBD_32), hardwareOnly16,
                        FakeDriver(4, "Mono", DDBD_24 | DDBD_32)};
        auto w = InitializedWindow(32);
        // The hardware description decides when it has a colour model, so the HAL is out.
        QCOMPARE(w->DriverCount(), 2);
        QCOMPARE(w->DriverNames(0), std::string("RGB Emulation"));
        QCOMPARE(w->DriverNames(1), std::string("Mono"));
        QCOMPARE(DriverTable[0].Guid.Data1, 2u);
        QCOMPARE(DriverTable[1].Description, std::string("Mono driver"));
        QCOMPARE(DriverTable[1].HELDesc.dwDeviceRenderBitDepth, DDBD_24 | DDBD_32);

        // Listed once per run: a second control does not enumerate again.
        const std::size_t before = Log->Calls.size();
        auto second = InitializedWindow(32);
        QCOMPARE(std::count(Log->Calls.begin(), Log->Calls.end(), "DirectDrawCreate"), 1);
        QVERIFY(Log->Calls.size() > before);
        QCOMPARE(second->DriverCount(), 2);
    }

    void NinthDriverIsNotRecorded()
    {
        Log->Drivers.clear();
        for (std::uint32_t i = 1; i <= 10; ++i)
            Log->Drivers.push_back(FakeDriver(i, "Driver " + std::to_string(i), DDBD_32));
        auto w = InitializedWindow(32);
        QCOMPARE(w->DriverCount(), 8);
        QCOMPARE(Log->DriversOffered, 8);
        QCOMPARE(w->DriverNames(7), std::string("Driver 8"));
    }

    void UncoveredDepthListsNoDriver()
    {
        auto w = InitializedWindow(15);
        QCOMPARE(RenderDepthFlag(15), DWORD{0});
        QCOMPARE(w->DriverCount(), 0);
        QCOMPARE(w->DriverName(), std::string());
        QVERIFY(w->Device() != nullptr);
        QVERIFY(std::find(Log->Calls.begin(), Log->Calls.end(),
                          "CreateDeviceFromClipper(C4, nil, 200, 100) -> D11") != Log->Calls.end());
    }

    void RenderDepthFlags()
    {
        QCOMPARE(RenderDepthFlag(1), DWORD{0x4000});
        QCOMPARE(RenderDepthFlag(2), DWORD{0x2000});
        QCOMPARE(RenderDepthFlag(4), DWORD{0x1000});
        QCOMPARE(RenderDepthFlag(8), DWORD{0x800});
        QCOMPARE(RenderDepthFlag(16), DWORD{0x400});
        QCOMPARE(RenderDepthFlag(24), DWORD{0x200});
        QCOMPARE(RenderDepthFlag(32), DWORD{0x100});
        QCOMPARE(RenderDepthFlag(0), DWORD{0});
    }

    void FailedEnumerationIsNotRepeated()
    {
        Log->Failures["EnumDevices"] = DDERR_GENERIC;
        TTestWindow w;
        try
        {
            w.InitScene();
            QFAIL("InitScene did not raise");
        }
        catch (const EDirectX& e)
        {
            QCOMPARE(std::string(e.what()), std::string("DirectX call failed: 80000008\r"
                                                        "Generic failure."));
        }
        QVERIFY(DriversEnumerated);
        QVERIFY(!w.Initialized());
        // The scene was not begun.
        QCOMPARE(Log->Count("DirectDrawCreateClipper"), 0);
    }

    void DriverNamesRejectsBadIndex()
    {
        auto w = InitializedWindow();
        QCOMPARE(w->DriverCount(), 1);
        for (const int index : {-1, w->DriverCount()})
        {
            try
            {
                (void)w->DriverNames(index);
                QFAIL("no exception");
            }
            catch (const std::runtime_error& e)
            {
                QCOMPARE(std::string(e.what()), std::string("Invalid driver name index"));
            }
        }
    }

    void DriverNameChoosesByNameIgnoringCase()
    {
        Log->Drivers = {FakeDriver(1, "RGB Emulation", DDBD_32),
                        FakeDriver(2, "Direct3D HAL", DDBD_32, true),
                        FakeDriver(3, "rgb emulation", DDBD_32)};
        auto w = InitializedWindow();
        // Index 0 but no GUID: the name is the first entry's, the device the default one.
        QCOMPARE(w->DriverName(), std::string("RGB Emulation"));
        QVERIFY(w->DriverGUID() == nullptr);

        const int devices = Log->Count("CreateDeviceFromClipper");
        w->SetDriverName("rgb EMULATION");
        QCOMPARE(Log->Count("CreateDeviceFromClipper"), devices);

        w->SetDriverName("Direct3D HAL");
        QCOMPARE(w->DriverIndex(), 1);
        QCOMPARE(w->DriverGUID()->Data1, 2u);
        QCOMPARE(Log->Count("CreateDeviceFromClipper"), devices + 1);
        QVERIFY(std::find(Log->Calls.begin(), Log->Calls.end(),
                          "CreateDeviceFromClipper(C4, guid 2, 200, 100) -> D13") !=
                Log->Calls.end());

        // Two entries match; the last one counts.
        w->SetDriverName("RGB EMULATION");
        QCOMPARE(w->DriverIndex(), 2);
        QCOMPARE(w->DriverGUID()->Data1, 3u);
        QCOMPARE(w->DriverName(), std::string("rgb emulation"));

        // An unknown name falls back to the default driver.
        w->SetDriverName("Glide");
        QCOMPARE(w->DriverIndex(), -1);
        QVERIFY(w->DriverGUID() == nullptr);
        QCOMPARE(w->DriverName(), std::string());
        QCOMPARE(Log->Count("CreateDeviceFromClipper"), devices + 3);
        const auto last =
            std::find_if(Log->Calls.rbegin(), Log->Calls.rend(),
                         [](const auto& c) { return c.rfind("CreateDeviceFromClipper", 0) == 0; });
        QVERIFY(last->rfind("CreateDeviceFromClipper(C4, nil, 200, 100)", 0) == 0);
    }

    void ResizeRebuildsOnlyOnChange()
    {
        auto w = InitializedWindow();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const int devices = Log->Count("CreateDeviceFromClipper");
        w->resize(200, 100);
        QCOMPARE(Log->Count("CreateDeviceFromClipper"), devices);

        QCOMPARE(w->Device()->SetQuality(0x44), 0);
        QCOMPARE(w->Device()->SetDither(0), 0);
        QCOMPARE(w->Device()->SetShades(64), 0);
        const std::size_t from = Log->Calls.size();
        w->resize(300, 150);
        const std::vector<std::string> expected = {
            "V12.Destroyed",
            "D11.Destroyed",
            "CreateDeviceFromClipper(C4, nil, 300, 150) -> D13",
            "D13.QueryInterface(WinDevice)",
            "CreateViewport(D13, F6, 0, 0, 300, 150) -> V14",
            "V14.SetBack(5000)",
            "D13.SetQuality(68)",
            "D13.SetDither(0)",
            "D13.SetShades(64)",
        };
        QCOMPARE(Log->Since(from), expected);
    }

    void SetDriverIndexAlwaysRebuilds()
    {
        auto w = InitializedWindow();
        const int devices = Log->Count("CreateDeviceFromClipper");
        w->SetDriverIndex(0);
        w->SetDriverIndex(0);
        QCOMPARE(Log->Count("CreateDeviceFromClipper"), devices + 2);
        w->SetDriverIndex(5);
        QCOMPARE(w->DriverIndex(), -1);
        QCOMPARE(Log->Count("CreateDeviceFromClipper"), devices + 3);
    }

    void FailedViewportReleasesDeviceFirst()
    {
        auto w = InitializedWindow();
        Log->Failures["CreateViewport"] = DDERR_INVALIDPARAMS;
        const std::size_t from = Log->Calls.size();
        try
        {
            w->SetDriverIndex(0);
            QFAIL("no exception");
        }
        catch (const EDirectX& e)
        {
            QCOMPARE(std::string(e.what()),
                     std::string("DirectX call failed: 80000003\rOne or more of the parameters "
                                 "passed to the function are incorrect."));
            // Both interfaces of the new device were gone before the error came out.
            QCOMPARE(Log->Calls.back(), std::string("D13.Destroyed"));
        }
        const std::vector<std::string> expected = {
            "V12.Destroyed",
            "D11.Destroyed",
            "CreateDeviceFromClipper(C4, guid 1, 200, 100) -> D13",
            "D13.QueryInterface(WinDevice)",
            "CreateViewport(D13, F6, 0, 0, 200, 100)",
            "D13.Destroyed",
        };
        QCOMPARE(Log->Since(from), expected);
        QVERIFY(w->Device() == nullptr);

        // Without a device nothing is built again and the placeholder says so.
        Log->Failures.clear();
        const std::size_t after = Log->Calls.size();
        w->show();
        w->resize(250, 120);
        w->SetDriverIndex(0);
        w->LoadModel("model.x");
        w->ResetView();
        bool done = false;
        w->IdleHandler(nullptr, done);
        QVERIFY(done);
        QCOMPARE(Log->Since(after), std::vector<std::string>{});
        QVERIFY(!w->HasFailed());
        QVERIFY(ShowsText(*w, "(no 3D device)"));
    }

    void FailedSetBackReleasesViewportToo()
    {
        auto w = InitializedWindow();
        Log->Failures["SetBack"] = D3DRMERR_BADVALUE;
        const std::size_t from = Log->Calls.size();
        QVERIFY_THROWS_EXCEPTION(EDirectX, w->RecreateDevice(true));
        const std::vector<std::string> calls = Log->Since(from);
        QCOMPARE(calls.size(), std::size_t{8});
        QCOMPARE(calls[5], std::string("V14.SetBack(5000)"));
        QCOMPARE(calls[6], std::string("V14.Destroyed"));
        QCOMPARE(calls[7], std::string("D13.Destroyed"));
        QVERIFY(w->Device() == nullptr);
    }

    void IdleRendersOneFrame()
    {
        auto w = InitializedWindow();
        w->show();
        const std::size_t from = Log->Calls.size();
        bool done = true;
        w->IdleHandler(nullptr, done);
        QVERIFY(!done);
        QCOMPARE(w->FrameCount(), 1);
        const std::vector<std::string> calls = Log->Since(from);
        const std::vector<std::string> render = {"F5.Move(1)", "V12.Clear", "V12.Render(F5)",
                                                 "D11.Update"};
        QCOMPARE(std::vector<std::string>(calls.end() - 4, calls.end()), render);
    }

    void IdleDrawsOnePacedFramePerRefresh()
    {
        SetEnvironmentValue(kNoFrameCapVariable, std::nullopt);
        auto w = InitializedWindow();
        double now = 100;
        w->SetFrameClock([&] { return now; });
        w->show();
        std::vector<std::string> moves;
        auto idle = [&]
        {
            const std::size_t from = Log->Calls.size();
            bool done = false;
            w->IdleHandler(nullptr, done);
            for (const std::string& c : Log->Since(from))
                if (c.find(".Move(") != std::string::npos)
                    moves.push_back(c);
            return done;
        };
        QVERIFY(!idle());
        // Not again before the 32 Hz screen's next refresh: the loop sleeps instead.
        QVERIFY(idle());
        now += 0.015625;
        QVERIFY(idle());
        QCOMPARE(w->FrameCount(), 1);
        // Motion follows the clock: 1/32 s is 1.875 of the 60 Hz steps, a stall at most 6.
        now += 0.015625;
        QVERIFY(!idle());
        now += 3;
        QVERIFY(!idle());
        QCOMPARE(w->FrameCount(), 3);
        // After a time hidden, the first frame takes one step again.
        w->hide();
        QVERIFY(idle());
        w->show();
        now += 60;
        QVERIFY(!idle());
        QCOMPARE(moves, (std::vector<std::string>{"F5.Move(1)", "F5.Move(1.875)", "F5.Move(6)",
                                                  "F5.Move(1)"}));
    }

    void NoFrameCapVariableBringsBackOneStepPerIdleCall()
    {
        SetEnvironmentValue(kNoFrameCapVariable, "1");
        auto w = InitializedWindow();
        SetEnvironmentValue(kNoFrameCapVariable, std::nullopt);
        QVERIFY(!w->FrameCapped());
        w->SetFrameClock([] { return 5.0; });
        w->show();
        const std::size_t from = Log->Calls.size();
        for (int i = 0; i < 3; ++i)
        {
            bool done = true;
            w->IdleHandler(nullptr, done);
            QVERIFY(!done);
        }
        QCOMPARE(w->FrameCount(), 3);
        std::vector<std::string> moves;
        for (const std::string& c : Log->Since(from))
            if (c.find(".Move(") != std::string::npos)
                moves.push_back(c);
        QCOMPARE(moves, std::vector<std::string>(3, "F5.Move(1)"));
        QVERIFY(InitializedWindow()->FrameCapped());
    }

    void IdleDoesNotRenderHiddenOrMinimized()
    {
        QWidget form;
        auto* w = new TTestWindow(&form);
        w->resize(200, 100);
        w->InitScene();
        bool done = false;
        w->IdleHandler(nullptr, done);
        QVERIFY(done);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.setWindowState(Qt::WindowMinimized);
        QVERIFY(form.isMinimized());
        done = false;
        w->IdleHandler(nullptr, done);
        QVERIFY(done);
        QCOMPARE(w->FrameCount(), 0);
        QCOMPARE(Log->Count("Render"), 0);
    }

    void RenderFailuresStopRenderingAtTwo()
    {
        auto w = InitializedWindow();
        double now = 0;
        w->SetFrameClock([&] { return now += 1; });
        w->show();
        Log->Failures["Render"] = D3DRMERR_BADOBJECT;
        for (int attempt = 1; attempt <= 2; ++attempt)
        {
            bool done = true;
            try
            {
                w->IdleHandler(nullptr, done);
                QFAIL("no exception");
            }
            catch (const EDirectX& e)
            {
                QCOMPARE(std::string(e.what()),
                         std::string("DirectX call failed: 8876030D\rD3DRMERR_BADOBJECT"));
            }
            QVERIFY(!done);
            QCOMPARE(w->RenderFailures(), attempt);
            QCOMPARE(w->FrameCount(), 0);
        }
        bool done = false;
        w->IdleHandler(nullptr, done);
        QVERIFY(done);
        QCOMPARE(Log->Count("Render"), 2);
        // Two failed renders are not yet a failed control.
        QVERIFY(!w->HasFailed());
    }

    void PaintShowsDevicePictureThenFailsAfterThree()
    {
        auto w = InitializedWindow();
        const QImage picture = w->grab().toImage();
        QCOMPARE(picture.pixel(100, 50) & 0xFFFFFF, 0x336699u);

        Log->Failures["HandlePaint"] = DDERR_GENERIC;
        for (int i = 0; i < 3; ++i)
            (void)w->grab();
        QCOMPARE(w->PaintFailures(), 3);
        QCOMPARE(MessageTexts(FDialogs),
                 std::vector<std::string>(3, "DirectX call failed: 80000008\n"
                                             "Generic failure."));
        QVERIFY(w->HasFailed());
        const int paints = Log->Count("HandlePaint");
        QVERIFY(ShowsText(*w, "(Direct3D failure)"));
        QVERIFY(!ShowsText(*w, "(no 3D device)"));
        QCOMPARE(Log->Count("HandlePaint"), paints);

        // A failed control loads nothing.
        const std::size_t from = Log->Calls.size();
        w->LoadModel("model.x");
        w->ResetView();
        QCOMPARE(Log->Since(from), std::vector<std::string>{});
    }

    void PlaceholderTextIsCentred()
    {
        TTestWindow designing(nullptr, true);
        designing.resize(300, 80);
        designing.InitScene();
        QCOMPARE(Log->Calls, std::vector<std::string>{"Direct3DRMCreate"});
        QVERIFY(ShowsText(designing, "(designing)"));

        // Wider than the control: the text starts left of it and fills it edge to edge.
        TTestWindow narrow;
        narrow.resize(30, 40);
        const TTextBox found = PlaceholderOf(narrow);
        QVERIFY(found.RedCorners);
        QVERIFY(found.Box.left() <= 1);
        QVERIFY(found.Box.right() >= 28);
    }

    void ArrowKeysReachTheControl()
    {
        QWidget form;
        auto* w = new TTestWindow(&form);
        auto* edit = new QLineEdit(&form);
        edit->move(0, 70);
        auto* shortcut = new QAction(&form);
        shortcut->setShortcut(QKeySequence(Qt::Key_Left));
        form.addAction(shortcut);
        QSignalSpy triggered(shortcut, &QAction::triggered);
        std::vector<int> keys;
        w->OnKeyDown = [&](TD3DRMWindow*, int& key, Qt::KeyboardModifiers) { keys.push_back(key); };
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        w->setFocus();
        for (const Qt::Key key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down,
                                  Qt::Key_Space, Qt::Key_I, Qt::Key_O})
            QTest::keyClick(w, key);
        QCOMPARE(keys, (std::vector<int>{37, 38, 39, 40, 32, 73, 79}));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w));
        QCOMPARE(triggered.count(), 0);
    }

    void KeyEventsCarryVirtualKeyCodes()
    {
        TTestWindow w;
        std::vector<int> down, up;
        w.OnKeyDown = [&](TD3DRMWindow*, int& key, Qt::KeyboardModifiers) { down.push_back(key); };
        w.OnKeyUp = [&](TD3DRMWindow*, int& key, Qt::KeyboardModifiers) { up.push_back(key); };
        QTest::keyClick(&w, Qt::Key_Home);
        QTest::keyClick(&w, Qt::Key_F1);
        QTest::keyClick(&w, Qt::Key_5, Qt::KeypadModifier);
        QTest::keyClick(&w, Qt::Key_5);
        // VK_HOME, VK_F1, VK_NUMPAD5 and the digit itself.
        QCOMPARE(down, (std::vector<int>{36, 112, 101, 53}));
        QCOMPARE(up, down);
    }

    void LoadModelReplacesTheModelFrame()
    {
        auto w = InitializedWindow();
        Log->Box = {{-1, -2, -0.5f}, {3, 1, 1.5f}};
        const QCursor* cursorDuringLoad = nullptr;
        Qt::CursorShape shapeDuringLoad = Qt::ArrowCursor;
        Log->OnLoad = [&]
        {
            cursorDuringLoad = QApplication::overrideCursor();
            if (cursorDuringLoad)
                shapeDuringLoad = cursorDuringLoad->shape();
        };
        const std::size_t from = Log->Calls.size();
        w->LoadModel("model.x");
        Log->OnLoad = nullptr;
        const std::vector<std::string> expected = {
            "F5.DeleteChild(F10)",
            "CreateFrame(F5) -> F13",
            "F13.SetOrientation(F5, 0, 0, 1, 0, 1, 0)",
            "CreateMeshBuilder -> B14",
            "B14.Load(model.x)",
            "B14.Scale(2, 2, 2)",
            "F13.AddVisual(B14)",
            "CreateMeshBuilder -> B15",
            "B15.AddFrame(F13)",
            "B15.GetBox",
            "F13.SetOrientation(F5, 0, 0, 1, 0, 1, 0)",
            "F13.SetPosition(F5, -1, 0.5, -0.5)",
            "F6.SetPosition(F5, -3, 3, -10)",
            "F6.SetOrientation(F5, 0.3, -0.3, 1, 0, 1, 0)",
        };
        QCOMPARE(Log->Since(from), expected);
        QVERIFY(cursorDuringLoad);
        QCOMPARE(shapeDuringLoad, Qt::WaitCursor);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void FailedLoadLeavesEmptyFrameAndRestoresCursor()
    {
        auto w = InitializedWindow();
        Log->Failures["Load"] = D3DRMERR_FILENOTFOUND;
        try
        {
            w->LoadModel("missing.x");
            QFAIL("no exception");
        }
        catch (const EDirectX& e)
        {
            QCOMPARE(std::string(e.what()),
                     std::string("DirectX call failed: 88760313\rThe file was not found."));
        }
        QVERIFY(QApplication::overrideCursor() == nullptr);
        TFakeFrame& scene = Frame(w->Scene());
        QVERIFY(std::find(scene.Children.begin(), scene.Children.end(), w->ModelFrame()) !=
                scene.Children.end());
        QVERIFY(Frame(w->ModelFrame()).Visuals.empty());
        QCOMPARE(Frame(w->Camera()).Position.z, -15.0f);
        QCOMPARE(Log->Count("GetBox"), 0);
    }

    void ResetViewFramesTheBox_data()
    {
        QTest::addColumn<QVector<float>>("box");
        QTest::addColumn<QVector<float>>("model");
        QTest::addColumn<QVector<float>>("camera");
        QTest::newRow("x widest") << QVector<float>{-1, -2, -0.5f, 3, 1, 1.5f}
                                  << QVector<float>{-1, 0.5f, -0.5f} << QVector<float>{-3, 3, -10};
        QTest::newRow("y widest") << QVector<float>{0, 0, 0, 1, 5, 3}
                                  << QVector<float>{-0.5f, -2.5f, -1.5f}
                                  << QVector<float>{-3.6f, 3.6f, -12};
        QTest::newRow("z widest") << QVector<float>{0, 0, 0, 2, 2, 6} << QVector<float>{-1, -1, -3}
                                  << QVector<float>{-4.2f, 4.2f, -14};
        QTest::newRow("cube") << QVector<float>{-1, -1, -1, 1, 1, 1} << QVector<float>{0, 0, 0}
                              << QVector<float>{-1.8f, 1.8f, -6};
        QTest::newRow("empty") << QVector<float>{0, 0, 0, 0, 0, 0} << QVector<float>{0, 0, 0}
                               << QVector<float>{-0.6f, 0.6f, -2};
    }

    void ResetViewFramesTheBox()
    {
        QFETCH(QVector<float>, box);
        QFETCH(QVector<float>, model);
        QFETCH(QVector<float>, camera);
        auto w = InitializedWindow();
        Log->Box = {{box[0], box[1], box[2]}, {box[3], box[4], box[5]}};
        w->ResetView();
        const TFakeFrame& m = Frame(w->ModelFrame());
        const TFakeFrame& c = Frame(w->Camera());
        QCOMPARE(m.Position.x, model[0]);
        QCOMPARE(m.Position.y, model[1]);
        QCOMPARE(m.Position.z, model[2]);
        QCOMPARE(c.Position.x, camera[0]);
        QCOMPARE(c.Position.y, camera[1]);
        QCOMPARE(c.Position.z, camera[2]);
        QCOMPARE(c.Direction.x, 0.3f);
        QCOMPARE(c.Direction.y, -0.3f);
        QCOMPARE(c.Direction.z, 1.0f);
    }

    void ResetViewReleasesBuilderOnFailure()
    {
        auto w = InitializedWindow();
        Log->Failures["GetBox"] = D3DRMERR_BADOBJECT;
        QVERIFY_THROWS_EXCEPTION(EDirectX, w->ResetView());
        QCOMPARE(Frame(w->Camera()).Position.z, -15.0f);
    }

    void HandleActivatePassesTheLowWord()
    {
        auto w = InitializedWindow();
        w->HandleActivate(0x00020001);
        QCOMPARE(Log->Calls.back(), std::string("D11.HandleActivate(1)"));
        TTestWindow bare;
        const std::size_t from = Log->Calls.size();
        bare.HandleActivate(1);
        QCOMPARE(Log->Since(from), std::vector<std::string>{});
    }

    void DestructionReleasesAndLeavesIdle()
    {
        {
            auto w = InitializedWindow();
            SetApplicationIdleHandler(w.get(), [](bool&) {});
            QCOMPARE(ApplicationIdleOwner(), static_cast<const QObject*>(w.get()));
        }
        QVERIFY(ApplicationIdleOwner() == nullptr);
        QVERIFY(MessageBoxes.empty());
        QCOMPARE(Log->Count("Destroyed"), 2);

        // Deliberate: a control whose scene was never built reports its four missing objects.
        {
            TTestWindow unbuilt;
        }
        QCOMPARE(MessageBoxes, std::vector<std::string>(4, "COMRelease of NULL object"));
    }
};

QTEST_MAIN(TD3DRMWindowTest)
#include "d3drmwnd_test.moc"
