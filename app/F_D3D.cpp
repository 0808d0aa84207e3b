// The 3D preview window.
#include "F_D3D.h"

#include "U_Idle.h"
#include "base/platform.h"
#include "gldriver.h"
#include "view/keycodes.h"
#include "dialogs.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include <memory>
#include <utility>

namespace
{
constexpr int kFormWidth = 521;
constexpr int kFormHeight = 446;
constexpr int kTopPaneHeight = 30;
constexpr int kDriverListWidth = 129;
constexpr int kFPSPaneWidth = 28;
constexpr int kSpeedBarGap = 17;

bool IsArrow(int key)
{
    return key >= kVkLeft && key <= kVkDown;
}

// v scaled by s; each product is worked out in double and kept as a single.
D3DVECTOR Scaled(const D3DVECTOR& v, D3DVALUE s)
{
    return {static_cast<D3DVALUE>(static_cast<double>(v.x) * s),
            static_cast<D3DVALUE>(static_cast<double>(v.y) * s),
            static_cast<D3DVALUE>(static_cast<double>(v.z) * s)};
}

QToolButton* MakeSpeedButton(QWidget* parent, const QString& caption, int left)
{
    auto* button = new QToolButton(parent);
    button->setText(caption);
    button->setGeometry(left, 5, 46, 22);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}
} // namespace

namespace
{
TKeyPlayback::TClock& ClockSlot()
{
    static TKeyPlayback::TClock clock;
    return clock;
}

double RealClock()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return static_cast<double>(timer.nsecsElapsed()) * 1e-9;
}
} // namespace

void SetAnimationClock(TKeyPlayback::TClock clock)
{
    ClockSlot() = std::move(clock);
}

TKeyPlayback::TClock AnimationClock()
{
    if (ClockSlot())
        return ClockSlot();
    return &RealClock;
}

TD3DForm* TD3DForm::Create(QWidget* parent, const std::string& xFile, TPreviewLooks looks)
{
    // Added: offer the OpenGL driver, before the drivers are first listed.
    static const bool openGL = RegisterOpenGLDriver();
    (void)openGL;
    std::unique_ptr<TD3DForm> form(new TD3DForm(parent, xFile));
    form->D3DWin->SetFaceLooks(std::move(looks.Faces));
    form->D3DWin->setToolTip(looks.Summary);
    form->Loaded();
    return form.release();
}

void TD3DForm::Reload(TPreviewLooks looks)
{
    D3DWin->SetFaceLooks(std::move(looks.Faces));
    D3DWin->setToolTip(looks.Summary);
    if (!D3DWin->Initialized() || FModelReleased)
        return;
    D3DWin->LoadModel(FFileName);
    // The model's new frame turns as the bar says.
    RotSpeedChange();
    if (FAnimation)
    {
        // Added: the new mesh is the rest model; the pose is laid on it at the next frame.
        FRestVertices = D3DWin->Preview().ModelVerticesRaw();
        FPosedFrame = -1;
    }
}

void TD3DForm::PlayKey(std::shared_ptr<const TPosingGeoSet> geoSet, const TNodeList& nodes,
                       TKeyframes key, std::string title, TLoopMode mode)
{
    auto animation = std::make_unique<TPreviewAnimation>(std::move(geoSet), nodes, std::move(key));
    if (!D3DWin->Initialized())
        return;
    std::vector<float> rest =
        FAnimation ? std::move(FRestVertices) : D3DWin->Preview().ModelVerticesRaw();
    if (rest.size() != 3 * animation->VertexCount())
    {
        if (FAnimation)
            FRestVertices = std::move(rest);
        throw EKeyError(kAnimationModelDiffers);
    }
    FRestVertices = std::move(rest);
    const TKeyframes& k = animation->Key();
    FPlayback = std::make_unique<TKeyPlayback>(k.Frames, k.Fps, AnimationClock());
    FPlayback->SetMode(mode);
    FEntryFrames = KeyEntryFrames(k);
    FAnimation = std::move(animation);
    FAnimationTitle = std::move(title);
    FPosedFrame = -1;
    D3DWin->OnBeforeFrame = [this](TD3DRMWindow*) { PoseForFrame(); };
    FPlayback->Play();
    PoseForFrame();
    if (OnAnimationChanged)
        OnAnimationChanged();
}

void TD3DForm::StopAnimation()
{
    if (!FAnimation)
        return;
    D3DWin->OnBeforeFrame = nullptr;
    FAnimation.reset();
    FPlayback.reset();
    FEntryFrames.clear();
    FAnimationTitle.clear();
    // Deliberate: the vertices as loaded, not the rest pose worked out again, so the picture is
    // the design's own even where a node turns at rest.
    D3DWin->Preview().SetModelVerticesRaw(FRestVertices);
    FRestVertices.clear();
    if (OnAnimationChanged)
        OnAnimationChanged();
}

void TD3DForm::PoseForFrame()
{
    if (!FAnimation)
        return;
    const double frame = FPlayback->Frame();
    if (FPlayback->Finished())
    {
        StopAnimation();
        return;
    }
    const bool hold = FPlayback->Holds();
    if (frame == FPosedFrame && hold == FPosedHold)
        return;
    D3DWin->Preview().PoseModel(FAnimation->PositionsAt(frame, hold));
    FPosedFrame = frame;
    FPosedHold = hold;
}

TD3DForm::TD3DForm(QWidget* parent, std::string xFile, TD3DRMWindow* d3dWin)
    : QWidget(parent, Qt::Window), FFileName(std::move(xFile))
{
    setObjectName("D3DForm");
    setWindowTitle("Direct3D Model Viewer");
    QFont formFont("MS Sans Serif");
    formFont.setPixelSize(11);
    setFont(formFont);
    SetOuterSize(this, QSize(kFormWidth, kFormHeight), true);
    CentreOnScreen(this);
    CreateComponents(d3dWin);
    AlignControls();
}

void TD3DForm::CreateComponents(TD3DRMWindow* d3dWin)
{
    TopPane = new QWidget(this);
    TopPane->setObjectName("TopPane");

    DriverList = new QListWidget(TopPane);
    DriverList->setObjectName("DriverList");

    SpeedButton1 = MakeSpeedButton(TopPane, "STOP!", 136);
    SpeedButton1->setObjectName("SpeedButton1");
    QFont boldFont = SpeedButton1->font();
    boldFont.setBold(true);
    SpeedButton1->setFont(boldFont);
    QPalette redText = SpeedButton1->palette();
    redText.setColor(QPalette::ButtonText, Qt::red);
    SpeedButton1->setPalette(redText);

    SpeedButton2 = MakeSpeedButton(TopPane, "Reset", 182);
    SpeedButton2->setObjectName("SpeedButton2");

    RotSpeed = new QScrollBar(Qt::Horizontal, TopPane);
    RotSpeed->setObjectName("RotSpeed");
    RotSpeed->setGeometry(240, 5, 137, 22);
    RotSpeed->setRange(-20, 20);
    RotSpeed->setSingleStep(1);
    RotSpeed->setPageStep(1);
    RotSpeed->setValue(0);
    RotSpeed->setToolTip("Rotation Speed");

    FPSPane = new QLabel("00", TopPane);
    FPSPane->setObjectName("FPSPane");
    FPSPane->setAlignment(Qt::AlignCenter);
    FPSPane->setToolTip("Frames Per Second");
    FPSBevel = new QFrame(FPSPane);
    FPSBevel->setObjectName("FPSBevel");
    FPSBevel->setFrameShape(QFrame::VLine);
    FPSBevel->setFrameShadow(QFrame::Sunken);

    BorderPane = new QFrame(this);
    BorderPane->setObjectName("BorderPane");
    BorderPane->setFrameStyle(QFrame::Box | QFrame::Plain);
    BorderPane->setLineWidth(1);

    D3DWin = d3dWin ? d3dWin : new TD3DRMWindow(BorderPane);
    D3DWin->setParent(BorderPane);
    D3DWin->setObjectName("D3DWin");
    setTabOrder(D3DWin, DriverList);
    D3DWin->setFocus();

    Timer = new QTimer(this);
    Timer->setObjectName("Timer");
    Timer->setInterval(1000);

    connect(SpeedButton2, &QToolButton::clicked, this,
            [this] { RunCommand([this] { SpeedButton2Click(); }); });
    connect(RotSpeed, &QScrollBar::valueChanged, this,
            [this] { RunCommand([this] { RotSpeedChange(); }); });
    connect(Timer, &QTimer::timeout, this, [this] { RunCommand([this] { TimerTimer(); }); });
    D3DWin->OnClick = [this](TD3DRMWindow* sender) { D3DWinClick(sender); };
    D3DWin->OnKeyDown = [this](TD3DRMWindow* sender, int& key, Qt::KeyboardModifiers shift)
    { D3DWinKeyDown(sender, key, shift); };
    D3DWin->OnKeyUp = [this](TD3DRMWindow* sender, int& key, Qt::KeyboardModifiers shift)
    { D3DWinKeyUp(sender, key, shift); };
    D3DWin->OnBuildScene = [this](TD3DRMWindow* sender) { D3DWinBuildScene(sender); };
    Timer->start();
}

void TD3DForm::Loaded()
{
    D3DWin->InitScene();
    FormCreate();
}

void TD3DForm::AlignControls()
{
    const int w = width();
    const int h = height();
    TopPane->setGeometry(0, h - kTopPaneHeight, w, kTopPaneHeight);
    DriverList->setGeometry(0, 0, kDriverListWidth, kTopPaneHeight);
    FPSPane->setGeometry(w - kFPSPaneWidth, 0, kFPSPaneWidth, kTopPaneHeight);
    FPSBevel->setGeometry(0, 0, 2, kTopPaneHeight);
    BorderPane->setGeometry(0, 0, w, h - kTopPaneHeight);
    const int border = BorderPane->frameWidth();
    D3DWin->setGeometry(border, border, BorderPane->width() - 2 * border,
                        BorderPane->height() - 2 * border);
}

void TD3DForm::D3DWinBuildScene(TD3DRMWindow*)
{
    D3DWin->LoadModel(FFileName);
    RotSpeed->setValue(1);
}

void TD3DForm::FormCreate()
{
    TD3DRMWindow* win = D3DWin;
    SetApplicationIdleHandler(win, [win](bool& done) { win->IdleHandler(qApp, done); });
    const QString current = QString::fromStdString(D3DWin->DriverName());
    for (int i = 0; i < D3DWin->DriverCount(); ++i)
    {
        const QString name = QString::fromStdString(D3DWin->DriverNames(i));
        DriverList->addItem(name);
        if (name == current)
            DriverList->setCurrentRow(i);
    }
    // Bound only now: filling the list is not a choice of the user.
    connect(DriverList, &QListWidget::currentRowChanged, this,
            [this] { RunCommand([this] { DriverListClick(); }); });
}

void TD3DForm::FormResize()
{
    RotSpeed->resize(TopPane->width() - RotSpeed->x() - FPSPane->width() - kSpeedBarGap,
                     RotSpeed->height());
}

void TD3DForm::TimerTimer()
{
    const int frames = D3DWin->FrameCount();
    FPSPane->setText(QString::number(frames - FTimerTag));
    FTimerTag = frames;
}

void TD3DForm::DriverListClick()
{
    const QListWidgetItem* item = DriverList->currentItem();
    if (item)
        D3DWin->SetDriverName(item->text().toStdString());
}

void TD3DForm::D3DWinClick(TD3DRMWindow*)
{
    D3DWin->setFocus();
}

void TD3DForm::RotSpeedChange()
{
    if (!D3DWin->Initialized())
        return;
    DXCheck(D3DWin->ModelFrame()->SetRotation(D3DWin->Scene(), 0, -1, 0,
                                               RotationPerFrame(RotSpeed->value())));
}

void TD3DForm::SpeedButton2Click()
{
    D3DWin->ResetView();
}

void TD3DForm::D3DWinKeyDown(TD3DRMWindow*, int& key, Qt::KeyboardModifiers)
{
    if (!D3DWin->Initialized() || D3DWin->HasFailed())
        return;
    const LPDIRECT3DRMFRAME& camera = D3DWin->Camera();
    const LPDIRECT3DRMFRAME& scene = D3DWin->Scene();
    D3DVECTOR dir;
    D3DVECTOR up;
    D3DVECTOR pos;
    DXCheck(camera->GetOrientation(scene, dir, up));
    DXCheck(camera->GetPosition(scene, pos));
    D3DVECTOR side;
    D3DRMVectorCrossProduct(&side, &up, &dir);
    // One hundredth of the camera's distance from the origin per frame.
    const auto step = static_cast<D3DVALUE>(0.01 * D3DRMVectorModulus(&pos));
    dir = Scaled(dir, step);
    up = Scaled(up, step);
    side = Scaled(side, step);

    auto setVelocity = [&](const D3DVECTOR& v)
    { DXCheck(camera->SetVelocity(scene, v.x, v.y, v.z, 0)); };
    switch (key)
    {
    case kVkSpace:
        D3DWin->ResetView();
        break;
    case kVkLeft:
        setVelocity({-side.x, -side.y, -side.z});
        break;
    case kVkUp:
        setVelocity(up);
        break;
    case kVkRight:
        setVelocity(side);
        break;
    case kVkDown:
        setVelocity({-up.x, -up.y, -up.z});
        break;
    case 'I':
        setVelocity(dir);
        break;
    case 'O':
        setVelocity({-dir.x, -dir.y, -dir.z});
        break;
    default:
        break;
    }
    if (IsArrow(key))
        D3DWin->grabMouse();
}

void TD3DForm::D3DWinKeyUp(TD3DRMWindow*, int& key, Qt::KeyboardModifiers)
{
    if (IsArrow(key) && QWidget::mouseGrabber() == D3DWin)
        D3DWin->releaseMouse();
    if (D3DWin->Initialized() && !D3DWin->HasFailed())
        DXCheck(D3DWin->Camera()->SetVelocity(D3DWin->Scene(), 0, 0, 0, 0));
}

bool TD3DForm::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate)
    {
        // The low word of an activation's wParam: 1 active, 0 inactive.
        const std::uint32_t state = event->type() == QEvent::WindowActivate ? 1 : 0;
        RunCommand([&] { D3DWin->HandleActivate(state); });
    }
    return handled;
}

void TD3DForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    AlignControls();
    RunCommand([this] { FormResize(); });
}

void TD3DForm::closeEvent(QCloseEvent* event)
{
    hide();
    event->accept();
    // Added: its animation stops and its Animation window goes with it.
    RunCommand([this] { StopAnimation(); });
    if (AnimationWindow)
        AnimationWindow->close();
    if (OnClosed)
        OnClosed();
    // Added: nothing shows a closed preview again, so its model's memory goes back now.
    RunCommand(
        [this]
        {
            FModelReleased = true;
            D3DWin->ReleaseModel();
            ReleaseFreeMemory();
        });
}
