// The orthographic view window.
#include "F_EDIT.h"

#include "colors.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <exception>
#include <vector>

bool FaceBuildingActive = false;

namespace
{
QColor ColorOf(std::int32_t color)
{
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

// Cuts the segment to the rectangle (Liang-Barsky). Returns false when nothing is left.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, const QRectF& r)
{
    double t0 = 0, t1 = 1;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - r.left(), r.right() - x0, y0 - r.top(), r.bottom() - y0};
    for (int i = 0; i < 4; ++i)
    {
        if (p[i] == 0)
        {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const double ax = x0 + t0 * dx, ay = y0 + t0 * dy;
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = ax;
    y0 = ay;
    return true;
}

// The view's canvas on a QPainter: one-pixel cosmetic pen, no brush. Lines are cut to a margin
// around the paint box first, since the view hands over coordinates anywhere in 32 bits.
class TQPainterCanvas : public TViewCanvas
{
public:
    TQPainterCanvas(QPainter& painter, const QRect& area)
        : FPainter(painter), FLimits(QRectF(area).adjusted(-kMargin, -kMargin, kMargin, kMargin))
    {
        FPainter.setBrush(Qt::NoBrush);
        FPainter.setRenderHint(QPainter::Antialiasing, false);
    }

    void SetPenColor(std::int32_t color) override { FPen = color; }

    void Polygon(std::span<const TCanvasPoint> points) override
    {
        if (points.size() < 2)
            return;
        Apply(FPen);
        const bool inside =
            std::all_of(points.begin(), points.end(),
                        [&](const TCanvasPoint& p) { return FLimits.contains(p.X, p.Y); });
        if (inside)
        {
            FPolygon.resize(static_cast<qsizetype>(points.size()));
            for (std::size_t i = 0; i < points.size(); ++i)
                FPolygon[static_cast<qsizetype>(i)] = QPoint(points[i].X, points[i].Y);
            FPainter.drawPolygon(FPolygon);
            return;
        }
        for (std::size_t i = 0; i < points.size(); ++i)
        {
            const TCanvasPoint& a = points[i];
            const TCanvasPoint& b = points[(i + 1) % points.size()];
            Segment(a.X, a.Y, b.X, b.Y);
        }
    }

    void Rectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override
    {
        if (!FLimits.intersects(QRectF(x1, y1, double(x2) - x1, double(y2) - y1)))
            return;
        // A stroked QRect covers its size plus one pixel: x2 - x1 - 1 keeps the right edge out.
        Apply(FPen);
        FPainter.drawRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
    }

    void MoveTo(std::int32_t x, std::int32_t y) override
    {
        FPenX = x;
        FPenY = y;
    }

    void LineTo(std::int32_t x, std::int32_t y) override
    {
        Segment(FPenX, FPenY, x, y);
        FPenX = x;
        FPenY = y;
    }

    void SetPixel(std::int32_t x, std::int32_t y, std::int32_t color) override
    {
        if (!FLimits.contains(x, y))
            return;
        Apply(color); // the pen colour itself stays as it was
        FPainter.drawPoint(x, y);
    }

private:
    static constexpr double kMargin = 16;

    // Puts a colour on the painter's pen, only when it changes.
    void Apply(std::int32_t color)
    {
        if (color == FApplied && FAppliedSet)
            return;
        FApplied = color;
        FAppliedSet = true;
        QPen pen(ColorOf(color));
        pen.setWidth(0);
        pen.setCosmetic(true);
        FPainter.setPen(pen);
    }

    void Segment(double x0, double y0, double x1, double y1)
    {
        if (!ClipSegment(x0, y0, x1, y1, FLimits))
            return;
        Apply(FPen);
        FPainter.drawLine(QPointF(x0, y0), QPointF(x1, y1));
    }

    QPainter& FPainter;
    QRectF FLimits;
    QPolygon FPolygon;
    std::int32_t FPen = 0;     // the canvas's pen colour
    std::int32_t FApplied = 0; // the colour on the painter
    bool FAppliedSet = false;
    std::int32_t FPenX = 0, FPenY = 0;
};

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
} // namespace

// Runs when the application object is created, after every static initialiser, so the
// factory cannot be overwritten by ViewFactory's own construction.
Q_COREAPP_STARTUP_FUNCTION(RegisterViewFactory)

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
    palette.setColor(QPalette::Window, ColorOf(BackgroundColor));
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
            QMessageBox::information(this, MessageCaption,
                                     QString::fromLatin1(kFaceTooSmallMessage));
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
        QMessageBox::information(this, MessageCaption, QString::fromLatin1(kFaceFullMessage));
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
    TQPainterCanvas canvas(painter, Mat->rect());
    const QSize outer = OuterSize();
    // Added: an exception may not leave a paint event. A failing paint is reported once, after
    // the paint, and again only after a paint has succeeded, so the box cannot pile up.
    try
    {
        PaintView(canvas, CurrentScene(), outer.width(), outer.height());
        FPaintFailed = false;
    }
    catch (const std::exception& e)
    {
        if (FPaintFailed)
            return;
        FPaintFailed = true;
        const QString text = QString::fromLocal8Bit(e.what());
        QTimer::singleShot(0, this,
                           [this, text]
                           {
                               auto* box = new QMessageBox(
                                   QMessageBox::Critical, QGuiApplication::applicationDisplayName(),
                                   text, QMessageBox::Ok, this);
                               box->setAttribute(Qt::WA_DeleteOnClose);
                               box->open();
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
