// The preview window against a recording fake of the 3D layer.
#include "F_D3D.h"

#include "U_Idle.h"
#include "d3drmfake.h"
#include "dialogs.h"
#include "testsupport.h"

#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace
{
class TDepthWindow : public TD3DRMWindow
{
public:
    explicit TDepthWindow(int depth) : FDepth(depth) {}

protected:
    int ScreenBitsPerPixel() const override { return FDepth; }

private:
    int FDepth;
};

// A preview whose control sees a chosen screen depth.
class TTestForm : public TD3DForm
{
public:
    static TTestForm* Make(int depth)
    {
        std::unique_ptr<TTestForm> form(new TTestForm(new TDepthWindow(depth)));
        form->Loaded();
        return form.release();
    }

private:
    explicit TTestForm(TD3DRMWindow* win) : TD3DForm(nullptr, "model.x", win) {}
};

TFakeFrame& Frame(const LPDIRECT3DRMFRAME& frame)
{
    return dynamic_cast<TFakeFrame&>(*frame);
}

int FormsAlive()
{
    int n = 0;
    for (const QWidget* w : QApplication::topLevelWidgets())
        n += w->objectName() == "D3DForm";
    return n;
}
} // namespace

class TD3DFormTest : public QObject
{
    Q_OBJECT

    TFakeLogPtr Log;
    TFakeDialogs FDialogs;

    std::unique_ptr<TD3DForm> MakeForm()
    {
        return std::unique_ptr<TD3DForm>(TD3DForm::Create(nullptr, "model.x"));
    }

    void PressAndRelease(TD3DForm& form, Qt::Key key)
    {
        QTest::keyPress(form.D3DWin, key);
        QTest::keyRelease(form.D3DWin, key);
    }

private slots:
    void init()
    {
        Log = std::make_shared<TFakeLog>();
        Log->Drivers = {FakeDriver(1, "RGB Emulation", DDBD_24 | DDBD_32),
                        FakeDriver(2, "Direct3D HAL", DDBD_24 | DDBD_32, true),
                        FakeDriver(3, "rgb emulation", DDBD_24 | DDBD_32),
                        FakeDriver(4, "RGB Emulation", DDBD_24 | DDBD_32)};
        Log->Box = {{-1, -2, -0.5f}, {3, 1, 1.5f}};
        SetD3DPlatform(std::make_shared<TFakePlatform>(Log));
        DriverTableCount = 0;
        DriversEnumerated = false;
        FDialogs.Messages.clear();
        SetDialogs(&FDialogs);
        SetMessageBoxHook([this](const std::string& text)
                          { FDialogs.Message(nullptr, "", QString::fromStdString(text)); });
    }

    void cleanup()
    {
        SetD3DPlatform(nullptr);
        SetDialogs(nullptr);
        SetMessageBoxHook({});
    }

    void LayoutFollowsTheForm()
    {
        auto form = MakeForm();
        QCOMPARE(form->windowTitle(), QString("Direct3D Model Viewer"));
        QCOMPARE(form->size(), QSize(521, 446));
        QCOMPARE(form->TopPane->geometry(), QRect(0, 416, 521, 30));
        QCOMPARE(form->DriverList->geometry(), QRect(0, 0, 129, 30));
        QCOMPARE(form->SpeedButton1->text(), QString("STOP!"));
        QVERIFY(form->SpeedButton1->font().bold());
        QCOMPARE(form->SpeedButton1->palette().color(QPalette::ButtonText), QColor(Qt::red));
        QCOMPARE(form->SpeedButton1->geometry(), QRect(136, 5, 46, 22));
        QCOMPARE(form->SpeedButton2->text(), QString("Reset"));
        QCOMPARE(form->SpeedButton2->geometry(), QRect(182, 5, 46, 22));
        QCOMPARE(form->RotSpeed->minimum(), -20);
        QCOMPARE(form->RotSpeed->maximum(), 20);
        QCOMPARE(form->RotSpeed->toolTip(), QString("Rotation Speed"));
        QCOMPARE(form->FPSPane->text(), QString("00"));
        QCOMPARE(form->FPSPane->toolTip(), QString("Frames Per Second"));
        QCOMPARE(form->FPSPane->geometry(), QRect(493, 0, 28, 30));
        QCOMPARE(form->BorderPane->geometry(), QRect(0, 0, 521, 416));
        QCOMPARE(form->D3DWin->geometry(), QRect(1, 1, 519, 414));
        // The scene was built at the control's laid-out size.
        QVERIFY(std::find(Log->Calls.begin(), Log->Calls.end(),
                          "CreateDeviceFromClipper(C4, nil, 519, 414) -> D11") != Log->Calls.end());
    }

    void SpeedBarKeepsItsGapToTheCounter()
    {
        auto form = MakeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        // Shown, the form is 521 x 446 outside, its frame included.
        QTRY_COMPARE(form->frameGeometry().size(), QSize(521, 446));
        const int counter = 521 - (form->frameGeometry().width() - form->width()) - 28;
        QCOMPARE(form->FPSPane->x(), counter);
        QCOMPARE(form->RotSpeed->geometry().right() + 1, counter - 17);
        form->resize(700, 446);
        QCOMPARE(form->FPSPane->x(), 672);
        QCOMPARE(form->RotSpeed->x() + form->RotSpeed->width(), 672 - 17);
    }

    void CreationBuildsLoadsThenListsDrivers()
    {
        auto form = MakeForm();
        const auto built = std::find(Log->Calls.begin(), Log->Calls.end(), "F5.DeleteChild(F10)");
        QVERIFY(built != Log->Calls.end());
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
            "F13.SetRotation(F5, 0, -1, 0, 0.0025)",
        };
        QCOMPARE(std::vector<std::string>(built, Log->Calls.end()), expected);
        QCOMPARE(form->RotSpeed->value(), 1);
        QCOMPARE(ApplicationIdleOwner(), static_cast<const QObject*>(form->D3DWin));
        QCOMPARE(form->FileName(), std::string("model.x"));

        QCOMPARE(form->DriverList->count(), 4);
        QCOMPARE(form->DriverList->item(1)->text(), QString("Direct3D HAL"));
        // The name of entry 0, matched with its letter case: the last match stays selected.
        QCOMPARE(form->DriverList->currentRow(), 3);
        QCOMPARE(form->DriverList->selectedItems().size(), 1);
        // Filling the list chose nothing: the device is still the first one.
        QCOMPARE(Log->Count("CreateDeviceFromClipper"), 1);
    }

    void NoQualifyingDriverLeavesTheListEmpty()
    {
        std::unique_ptr<TD3DForm> form(TTestForm::Make(15));
        QCOMPARE(form->DriverList->count(), 0);
        QCOMPARE(form->DriverList->currentRow(), -1);
        QVERIFY(form->D3DWin->Initialized());
    }

    void SpeedBarTurnsTheModel()
    {
        auto form = MakeForm();
        TFakeFrame& model = Frame(form->D3DWin->ModelFrame());
        QCOMPARE(model.Theta, 0.0025f);
        form->RotSpeed->setValue(0);
        QCOMPARE(model.Theta, 0.0f);
        form->RotSpeed->setValue(-20);
        QCOMPARE(model.Theta, -0.05f);
        QCOMPARE(Log->Calls.back(), std::string("F13.SetRotation(F5, 0, -1, 0, -0.05)"));
        form->RotSpeed->setValue(20);
        QCOMPARE(model.Theta, 0.05f);
    }

    void KeysMoveTheCamera_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QVector<float>>("velocity");
        // Camera 5 from the origin, looking along +X with +Y up: one step is 0.05, and its
        // right hand (up x direction) is -Z.
        QTest::newRow("in") << int(Qt::Key_I) << QVector<float>{0.05f, 0, 0};
        QTest::newRow("out") << int(Qt::Key_O) << QVector<float>{-0.05f, 0, 0};
        QTest::newRow("left") << int(Qt::Key_Left) << QVector<float>{0, 0, 0.05f};
        QTest::newRow("right") << int(Qt::Key_Right) << QVector<float>{0, 0, -0.05f};
        QTest::newRow("up") << int(Qt::Key_Up) << QVector<float>{0, 0.05f, 0};
        QTest::newRow("down") << int(Qt::Key_Down) << QVector<float>{0, -0.05f, 0};
    }

    void KeysMoveTheCamera()
    {
        QFETCH(int, key);
        QFETCH(QVector<float>, velocity);
        auto form = MakeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        TFakeFrame& camera = Frame(form->D3DWin->Camera());
        camera.Position = {3, 4, 0};
        camera.Direction = {1, 0, 0};
        camera.Up = {0, 1, 0};
        QTest::keyPress(form->D3DWin, static_cast<Qt::Key>(key));
        QCOMPARE(camera.Velocity.x, velocity[0]);
        QCOMPARE(camera.Velocity.y, velocity[1]);
        QCOMPARE(camera.Velocity.z, velocity[2]);
        const bool arrow = key >= Qt::Key_Left && key <= Qt::Key_Down;
        QCOMPARE(QWidget::mouseGrabber() == form->D3DWin, arrow);
        QTest::keyRelease(form->D3DWin, static_cast<Qt::Key>(key));
        QCOMPARE(camera.Velocity.x, 0.0f);
        QCOMPARE(camera.Velocity.y, 0.0f);
        QCOMPARE(camera.Velocity.z, 0.0f);
        QVERIFY(QWidget::mouseGrabber() == nullptr);
    }

    void AnyKeyReleaseStopsAndSpaceResets()
    {
        auto form = MakeForm();
        TFakeFrame& camera = Frame(form->D3DWin->Camera());
        camera.Position = {0, 0, -20};
        QTest::keyPress(form->D3DWin, Qt::Key_I);
        QCOMPARE(camera.Velocity.z, 0.2f);
        const std::size_t from = Log->Calls.size();
        QTest::keyPress(form->D3DWin, Qt::Key_Space);
        // Space frames the model again and leaves the speed alone.
        QCOMPARE(camera.Position.z, -10.0f);
        QCOMPARE(camera.Velocity.z, 0.2f);
        QCOMPARE(Log->Count("SetRotation"), 1);
        QVERIFY(Log->Since(from).size() > 5);
        QTest::keyRelease(form->D3DWin, Qt::Key_Space);
        QCOMPARE(camera.Velocity.z, 0.0f);

        // Another key moves nothing but still stops on release.
        camera.Velocity = {1, 1, 1};
        QTest::keyPress(form->D3DWin, Qt::Key_A);
        QCOMPARE(camera.Velocity.x, 1.0f);
        QTest::keyRelease(form->D3DWin, Qt::Key_A);
        QCOMPARE(camera.Velocity.x, 0.0f);
    }

    void FailedControlIgnoresKeysAndReset()
    {
        auto form = MakeForm();
        Log->Failures["HandlePaint"] = DDERR_GENERIC;
        for (int i = 0; i < 3; ++i)
            (void)form->D3DWin->grab();
        QVERIFY(form->D3DWin->HasFailed());
        const std::size_t from = Log->Calls.size();
        PressAndRelease(*form, Qt::Key_I);
        PressAndRelease(*form, Qt::Key_Space);
        form->SpeedButton2->click();
        QCOMPARE(Log->Since(from), std::vector<std::string>{});
        // The speed bar needs only an initialized control.
        form->RotSpeed->setValue(3);
        QCOMPARE(Log->Calls.back(), std::string("F13.SetRotation(F5, 0, -1, 0, 0.0075)"));
    }

    void ResetButtonFramesTheModel()
    {
        auto form = MakeForm();
        Frame(form->D3DWin->Camera()).Position = {7, 7, 7};
        form->SpeedButton1->click();
        QCOMPARE(Frame(form->D3DWin->Camera()).Position.x, 7.0f);
        form->SpeedButton2->click();
        QCOMPARE(Frame(form->D3DWin->Camera()).Position.x, -3.0f);
        QCOMPARE(Frame(form->D3DWin->Camera()).Position.z, -10.0f);
    }

    void CounterShowsFramesPerTick()
    {
        auto form = MakeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        // Ticks and frames by hand from here on.
        form->Timer->stop();
        ClearApplicationIdleHandler(form->D3DWin);
        QCOMPARE(form->FPSPane->text(), QString("00"));
        // A clock a tenth of a second on at each call: every call draws a frame.
        double now = 0;
        form->D3DWin->SetFrameClock([&] { return now += 0.1; });
        const int before = form->D3DWin->FrameCount();
        bool done = false;
        for (int i = 0; i < 12; ++i)
            form->D3DWin->IdleHandler(nullptr, done);
        form->TimerTimer();
        QCOMPARE(form->FPSPane->text(), QString::number(before + 12));
        form->D3DWin->IdleHandler(nullptr, done);
        form->TimerTimer();
        QCOMPARE(form->FPSPane->text(), QString("1"));
        form->TimerTimer();
        QCOMPARE(form->FPSPane->text(), QString("0"));
    }

    void ChoosingADriverRebuildsTheDevice()
    {
        auto form = MakeForm();
        form->DriverList->setCurrentRow(1);
        QVERIFY(std::find_if(Log->Calls.begin(), Log->Calls.end(),
                             [](const std::string& c) {
                                 return c.rfind("CreateDeviceFromClipper(C4, guid 2,", 0) == 0;
                             }) != Log->Calls.end());
        QCOMPARE(form->D3DWin->DriverName(), std::string("Direct3D HAL"));
    }

    void ClickFocusesTheControl()
    {
        auto form = MakeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->DriverList->setFocus();
        QTest::mouseClick(form->D3DWin, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->D3DWin));
    }

    void ActivationReachesTheDevice()
    {
        auto form = MakeForm();
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(form.get(), &activate);
        QCOMPARE(Log->Calls.back(), std::string("D11.HandleActivate(1)"));
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(form.get(), &deactivate);
        QCOMPARE(Log->Calls.back(), std::string("D11.HandleActivate(0)"));
    }

    void ClosingHides()
    {
        auto form = MakeForm();
        QPointer<TD3DForm> alive(form.get());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QVERIFY(form->close());
        QCoreApplication::processEvents();
        QVERIFY(alive);
        QVERIFY(form->isHidden());
        bool done = false;
        form->D3DWin->IdleHandler(nullptr, done);
        QVERIFY(done);
        // Its model is let go of: the model frame holds nothing to draw any more.
        QVERIFY(Frame(form->D3DWin->ModelFrame()).Visuals.empty());
        // Nor does a change of looks load it again while it is closed.
        const std::size_t from = Log->Calls.size();
        form->Reload({});
        QVERIFY(Log->Since(from).empty());
    }

    void FailedCreationLeavesEarlierPreviews()
    {
        auto first = MakeForm();
        Log->Failures["CreateViewport"] = DDERR_INVALIDPARAMS;
        try
        {
            (void)TD3DForm::Create(nullptr, "model.x");
            QFAIL("no exception");
        }
        catch (const EDirectX& e)
        {
            QCOMPARE(std::string(e.what()),
                     std::string("DirectX call failed: 80000003\rOne or more of the parameters "
                                 "passed to the function are incorrect."));
        }
        QCOMPARE(FormsAlive(), 1);
        QCOMPARE(ApplicationIdleOwner(), static_cast<const QObject*>(first->D3DWin));
    }

    void NewestPreviewRendersInIdleTime()
    {
        auto first = MakeForm();
        auto second = MakeForm();
        first->show();
        second->show();
        QVERIFY(QTest::qWaitForWindowExposed(second.get()));
        QTRY_VERIFY_WITH_TIMEOUT(second->D3DWin->FrameCount() > 5, kEventually);
        QCOMPARE(first->D3DWin->FrameCount(), 0);
        QVERIFY(FDialogs.Messages.empty());
    }
};

QTEST_MAIN(TD3DFormTest)
#include "F_D3D_test.moc"
