// The orthographic view window.
#include "F_EDIT.h"

#include "view/colors.h"
#include "dialogs.h"
#include "view/softcanvas.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

bool FaceBuildingActive = false;

void RegisterViewFactory()
{
    ViewFactory = [](TViewHost* host, int plane) -> QWidget*
    {
        auto* form = new TEditForm(host);
        form->FPlane = static_cast<TViewPlane>(plane);
        form->UpdateCaption();
        return form;
    };
}

TMatBox::TMatBox(TEditForm* form, QWidget* parent) : QWidget(parent), FForm(form)
{
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
}

void TMatBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    FForm->MatPaint(painter);
}

void TMatBox::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    FForm->MatMouseMove(p.x(), p.y());
}

void TMatBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        FForm->MatClick();
}

TEditForm::TEditForm(TViewHost* host, QWidget* parent) : QWidget(parent), FHost(host)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("EditForm"));
    setFocusPolicy(Qt::StrongFocus);

    // The background colour is taken once: later changes show only in new windows.
    Background = new QWidget(this);
    Background->setAutoFillBackground(true);
    QPalette palette = Background->palette();
    FBackgroundColor = BackgroundColor;
    palette.setColor(QPalette::Window, ToQColor(FBackgroundColor));
    Background->setPalette(palette);
    Mat = new TMatBox(this, Background);

    resize(kDesignWidth, kDesignHeight);
    Background->setGeometry(rect());
    Mat->setGeometry(Background->rect());
    ResetView();
    CreateMenu();
}

TEditForm::~TEditForm() = default;

void TEditForm::CreateMenu()
{
    View1 = new QMenu(QStringLiteral("&View"), this);
    // Group 3: merged after the frame's File, Edit and Interface menus.
    View1->setProperty(kGroupIndexProperty, 3);
    Grid1 = View1->addAction(QStringLiteral("&Grid"));
    Grid1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    // Ctrl+G reaches the view as a key release; the shortcut only works inside the open menu,
    // so one press never toggles the grid twice.
    Grid1->setShortcutContext(Qt::WidgetShortcut);
    View1->addSeparator();
    ViewPlane1 = View1->addMenu(QStringLiteral("View &Plane"));
    Front1 = ViewPlane1->addAction(QStringLiteral("&Front"));
    Top1 = ViewPlane1->addAction(QStringLiteral("&Top"));
    Side1 = ViewPlane1->addAction(QStringLiteral("&Side"));
    View1->addSeparator();
    CenterView1 = View1->addAction(QStringLiteral("&Center View"));
    Zoom1 = View1->addAction(QStringLiteral("&Normalize Zoom"));
    ResetViewport1 = View1->addAction(QStringLiteral("Reset Viewport"));

    const auto bind = [this](QAction* action, void (TEditForm::*command)())
    { connect(action, &QAction::triggered, this, [this, command] { MenuCommand(command); }); };
    bind(Grid1, &TEditForm::ToggleGrid);
    bind(Front1, &TEditForm::SetFront);
    bind(Top1, &TEditForm::SetTop);
    bind(Side1, &TEditForm::SetSide);
    bind(CenterView1, &TEditForm::CenterView);
    bind(Zoom1, &TEditForm::NormalizeZoom);
    bind(ResetViewport1, &TEditForm::ResetViewport);
}

void TEditForm::UpdateCaption()
{
    switch (FPlane)
    {
    case vpFront:
        setWindowTitle(QStringLiteral("Front View"));
        break;
    case vpSide:
        setWindowTitle(QStringLiteral("Side View"));
        break;
    case vpTop:
        setWindowTitle(QStringLiteral("Top View"));
        break;
    }
}

void TEditForm::ResetView()
{
    TViewCore::ResetView(Mat->width(), Mat->height());
}

void TEditForm::FormResize()
{
    Resize(Mat->width(), Mat->height());
}

void TEditForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Background->setGeometry(rect());
    Mat->setGeometry(Background->rect());
    FormResize();
}

void TEditForm::keyReleaseEvent(QKeyEvent* event)
{
    // A held key acts once, when it is finally released.
    if (event->isAutoRepeat())
        return;
    FormKeyUp(VirtualKeyOf(event->key(), event->modifiers()), ShiftStateOf(event->modifiers()));
}

void TEditForm::FormKeyUp(std::uint16_t key, unsigned shift)
{
    if (key == 'C' && shift == 0 && FaceBuildingActive && FFacePoints)
    {
        if (FFacePoints->Count() > 2)
            EndFaceBuilding();
        else
            Dialogs().Message(this, MessageCaption, QString::fromLatin1(kFaceTooSmallMessage));
    }
    KeyCommand(key, shift);
    AfterKey();
}

void TEditForm::AfterKey()
{
    Mat->update();
    if (FHost)
        FHost->ShowStatus(FHost->StatusPanel(5));
    MatMouseMove(FLastMouseX, FLastMouseY);
}

void TEditForm::MatMouseMove(int x, int y)
{
    if (FHost)
        FHost->SetStatusPanel(0, QString::fromStdString(ReadoutText(x, y)));
    // The rubber band of face building is not drawn: building never starts.
    FLastMouseX = x;
    FLastMouseY = y;
}

void TEditForm::MatClick()
{
    if (!FaceBuildingActive || !FFacePoints)
        return;
    if (FFacePoints->Count() >= kMaxFacePoints)
    {
        Dialogs().Message(this, MessageCaption, QString::fromLatin1(kFaceFullMessage));
        EndFaceBuilding();
        return;
    }
    T3DOVertex point;
    point.ScreenX = FLastMouseX;
    point.ScreenY = FLastMouseY;
    FFacePoints->Add(point);
}

void TEditForm::EndFaceBuilding()
{
    FaceBuildingActive = false;
    Mat->update();
}

QSize TEditForm::OuterSize() const
{
    // The grid covers the window's outer size, frame included.
    if (const auto* sub = qobject_cast<const QMdiSubWindow*>(parentWidget()))
        return sub->size();
    return frameGeometry().size().expandedTo(Mat->size());
}

void TEditForm::MatPaint(QPainter& painter)
{
    // Drawn into a pixel buffer with the same line rules as the command line's pictures (end
    // pixels left out, as the design's canvas does), then shown in one piece.
    TSoftCanvas canvas(Mat->width(), Mat->height(), FBackgroundColor);
    const auto show = [&]
    {
        const QImage image(reinterpret_cast<const uchar*>(canvas.Pixels().data()), canvas.Width(),
                           canvas.Height(), QImage::Format_RGBA8888);
        painter.drawImage(0, 0, image);
    };
    const QSize outer = OuterSize();
    // Added: an exception may not leave a paint event. A failing paint is reported once, after
    // the paint, and again only after a paint has succeeded, so the box cannot pile up.
    try
    {
        PaintView(canvas, CurrentScene(), outer.width(), outer.height());
        show();
        FPaintFailed = false;
    }
    catch (const std::exception& e)
    {
        show(); // what was drawn before the failure stays
        if (FPaintFailed)
            return;
        FPaintFailed = true;
        const QString text = ErrorText(e);
        QTimer::singleShot(0, this,
                           [this, text] {
                               Dialogs().Message(this, QString::fromLatin1(kAppTitle), text,
                                                 QMessageBox::Critical);
                           });
    }
}

void TEditForm::MenuCommand(void (TEditForm::*command)())
{
    (this->*command)();
    AfterKey();
}

void TEditForm::ToggleGrid()
{
    FShowGrid = !FShowGrid;
}

// The plane items act as the F, T and R keys: the caption keeps its text.
void TEditForm::SetFront()
{
    FPlane = vpFront;
}

void TEditForm::SetTop()
{
    FPlane = vpTop;
}

void TEditForm::SetSide()
{
    FPlane = vpSide;
}

void TEditForm::CenterView()
{
    FPanX = 0;
    FPanY = 0;
}

void TEditForm::NormalizeZoom()
{
    FZoom = kDefaultZoom;
}

// The creation state, with pan, depth and projection too; the plane stays so that the caption
// still tells the truth.
void TEditForm::ResetViewport()
{
    const TViewPlane plane = FPlane;
    ResetView();
    FPlane = plane;
    FPanX = 0;
    FPanY = 0;
    FDepth = 0;
    FProjection = prParallel;
}

unsigned ShiftStateOf(Qt::KeyboardModifiers modifiers)
{
    unsigned shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= ssShift;
    if (modifiers & Qt::AltModifier)
        shift |= ssAlt;
    if (modifiers & Qt::ControlModifier)
        shift |= ssCtrl;
    return shift;
}
