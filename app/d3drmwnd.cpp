// The retained-mode window control.
#include "d3drmwnd.h"

#include "U_Idle.h"
#include "base/U_String.h"
#include "dialogs.h"
#include "virtualkeys.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>

#include <cmath>

namespace
{
// What the control shows in place of a picture.
constexpr const char* kPlaceholderDesigning = "(designing)";
constexpr const char* kPlaceholderFailed = "(Direct3D failure)";
constexpr const char* kPlaceholderNoDevice = "(no 3D device)";

bool IsArrowKey(int key)
{
    return key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right || key == Qt::Key_Down;
}
} // namespace

TD3DRMWindow::TD3DRMWindow(QWidget* owner, bool designing) : QWidget(owner), FDesigning(designing)
{
    resize(65, 65);
    FColor = QGuiApplication::palette().color(QPalette::Dark);
    setFocusPolicy(Qt::StrongFocus);
    // The device or the placeholder covers every pixel.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The hourglass for the whole application while the model file is read.
    FPreview.OnLoading = [](bool loading)
    {
        if (loading)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    FInitialized = false;
    // Its timeout is an event like any other, which starts the idle calls again.
    FWakeTimer.setSingleShot(true);
    FWakeTimer.setTimerType(Qt::PreciseTimer);
}

TD3DRMWindow::~TD3DRMWindow()
{
    // Added: a destroyed control must not stay the idle handler.
    ClearApplicationIdleHandler(this);
    // The preview releases the root object last, as it goes.
    if (!FDesigning)
        FPreview.Release();
}

void TD3DRMWindow::SetColor(const QColor& color)
{
    FColor = color;
    update();
}

int TD3DRMWindow::ScreenBitsPerPixel() const
{
    return depth();
}

double TD3DRMWindow::ScreenRefreshRate() const
{
    const QScreen* s = screen();
    return s ? s->refreshRate() : 0;
}

void TD3DRMWindow::InitScene()
{
    if (FDesigning)
        return;
    FBitsPerPixel = ScreenBitsPerPixel();
    EnumerateDrivers(FBitsPerPixel);
    FPreview.Build(this);
    FPreview.CreateDevice(FDriverGUID, width(), height(), FBitsPerPixel);
    FInitialized = true;
    if (OnBuildScene)
        OnBuildScene(this);
}

void TD3DRMWindow::RecreateDevice(bool force)
{
    FPreview.RecreateDevice(FDriverGUID, width(), height(), force);
}

void TD3DRMWindow::RenderFrame(D3DVALUE step)
{
    if (OnBeforeFrame)
        OnBeforeFrame(this);
    FPreview.RenderFrame(step);
}

void TD3DRMWindow::ReleaseModel()
{
    if (!FInitialized || HasFailed() || !Device())
        return;
    FPreview.ReleaseModel(FDriverGUID);
}

bool TD3DRMWindow::OwnerMinimized() const
{
    const QWidget* form = window();
    return form != this && form->isMinimized();
}

void TD3DRMWindow::IdleHandler(QObject*, bool& done)
{
    const QPointer<TD3DRMWindow> self(this);
    QCoreApplication::processEvents();
    // Added: the pending events may have closed and destroyed this control.
    if (!self)
        return;
    if (!OwnerMinimized() && Device() && FRenderFailures < 2 && isVisible() && FInitialized &&
        !QCoreApplication::closingDown())
    {
        D3DVALUE step = 1.0f;
        if (FFrameCap)
        {
            // Added: not before the screen's next refresh. The timer wakes the loop then, and
            // until it does the process sleeps instead of spinning.
            FPacer.SetRefreshRate(ScreenRefreshRate());
            const double now = FClock();
            if (const double wait = FPacer.Wait(now); wait > 0)
            {
                FWakeTimer.start(static_cast<int>(std::ceil(wait * 1000)));
                done = true;
                return;
            }
            step = static_cast<D3DVALUE>(FPacer.FrameDrawn(now));
        }
        done = false;
        // Counted as failed until it returns, so a raise leaves the count up by one and the
        // frame uncounted.
        ++FRenderFailures;
        RenderFrame(step);
        --FRenderFailures;
        ++FFrameCount;
    }
    else
    {
        FPacer.Pause();
        done = true;
    }
}

void TD3DRMWindow::HandleActivate(std::uint32_t wParam)
{
    if (const LPDIRECT3DRMWINDEVICE& winDevice = FPreview.WinDevice())
        DXCheck(winDevice->HandleActivate(static_cast<WORD>(wParam & 0xFFFF)));
}

std::string TD3DRMWindow::DriverNames(int index) const
{
    if (index < 0 || index >= DriverTableCount)
        throw EDriverIndexError();
    return DriverTable[index].Name;
}

std::string TD3DRMWindow::DriverName() const
{
    if (FDriverIndex >= 0 && FDriverIndex < DriverTableCount)
        return DriverTable[FDriverIndex].Name;
    return {};
}

void TD3DRMWindow::SetDriverName(const std::string& name)
{
    if (SameText(DriverName(), name))
        return;
    SetDriverIndex(FindDriver(name));
}

void TD3DRMWindow::SetDriverIndex(int index)
{
    if (index >= 0 && index < DriverTableCount)
    {
        FDriverIndex = index;
        FDriverGUID = &DriverTable[index].Guid;
    }
    else
    {
        FDriverIndex = -1;
        FDriverGUID = nullptr;
    }
    RecreateDevice(true);
}

void TD3DRMWindow::LoadModel(const std::string& fileName)
{
    if (!FInitialized || HasFailed() || !Device())
        return;
    FPreview.LoadModel(fileName);
}

void TD3DRMWindow::ResetView()
{
    if (!FInitialized || HasFailed() || !Device())
        return;
    FPreview.ResetView();
}

void TD3DRMWindow::Present(const TFrameBuffer& frame)
{
    if (!FPainter)
    {
        // A device's Update: have the picture painted.
        update();
        return;
    }
    if (frame.Width <= 0 || frame.Height <= 0 ||
        frame.Pixels.size() < static_cast<std::size_t>(frame.Width) * frame.Height)
        return;
    const QImage image(reinterpret_cast<const uchar*>(frame.Pixels.data()), frame.Width,
                       frame.Height, frame.Width * 4, QImage::Format_RGB32);
    FPainter->drawImage(0, 0, image);
}

void TD3DRMWindow::PaintPlaceholder()
{
    QPainter& painter = *FPainter;
    painter.fillRect(rect(), FColor);
    painter.setPen(Qt::red);
    painter.drawLine(0, 0, width() - 1, height() - 1);
    painter.drawLine(width() - 1, 0, 0, height() - 1);

    const char* text = FDesigning    ? kPlaceholderDesigning
                       : HasFailed() ? kPlaceholderFailed
                                     : kPlaceholderNoDevice;
    const QString caption = QString::fromLatin1(text);
    // Plain white glyphs, as the system draws dialog text.
    QFont textFont = font();
    textFont.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(textFont);
    // Integer division rounds toward zero, also for a text wider than the control.
    const int x = (width() - metrics.horizontalAdvance(caption)) / 2;
    const int y = (height() - metrics.height()) / 2;
    // Text cells are drawn opaque in the brush colour, so the text covers the diagonals.
    painter.setPen(Qt::white);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(FColor);
    painter.setFont(textFont);
    painter.drawText(x, y + metrics.ascent(), caption);
}

void TD3DRMWindow::Paint()
{
    if (FDesigning || !FPreview.WinDevice() || HasFailed() || !FInitialized)
    {
        PaintPlaceholder();
        return;
    }
    HRESULT kept = 0;
    if (DXFailed(kept, FPreview.WinDevice()->HandlePaint(this)))
    {
        ++FPaintFailures;
        DXCheck(kept);
    }
}

void TD3DRMWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    FPainter = &painter;
    RunCommand([this] { Paint(); });
    FPainter = nullptr;
}

void TD3DRMWindow::resizeEvent(QResizeEvent* event)
{
    if (!FDesigning && Device())
        RunCommand([this] { RecreateDevice(false); });
    QWidget::resizeEvent(event);
}

bool TD3DRMWindow::event(QEvent* event)
{
    // The arrow keys are ours: they move the camera instead of the focus, and no shortcut
    // may take them.
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)
    {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        if (IsArrowKey(keyEvent->key()))
        {
            if (event->type() == QEvent::ShortcutOverride)
                event->accept();
            else
                keyPressEvent(keyEvent);
            return true;
        }
    }
    return QWidget::event(event);
}

void TD3DRMWindow::keyPressEvent(QKeyEvent* event)
{
    if (!OnKeyDown)
    {
        QWidget::keyPressEvent(event);
        return;
    }
    int key = VirtualKeyOf(event->key(), event->modifiers());
    const Qt::KeyboardModifiers shift = event->modifiers();
    RunCommand([&] { OnKeyDown(this, key, shift); });
}

void TD3DRMWindow::keyReleaseEvent(QKeyEvent* event)
{
    // Added: X repeats a held key as release and press pairs; a held key is one press here.
    if (event->isAutoRepeat() || !OnKeyUp)
    {
        QWidget::keyReleaseEvent(event);
        return;
    }
    int key = VirtualKeyOf(event->key(), event->modifiers());
    const Qt::KeyboardModifiers shift = event->modifiers();
    RunCommand([&] { OnKeyUp(this, key, shift); });
}

void TD3DRMWindow::mousePressEvent(QMouseEvent* event)
{
    FMousePressed = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void TD3DRMWindow::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = FMousePressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    FMousePressed = false;
    if (click && OnClick)
        RunCommand([this] { OnClick(this); });
    QWidget::mouseReleaseEvent(event);
}
