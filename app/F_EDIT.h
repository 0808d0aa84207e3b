// The orthographic view window: a child of the main window's MDI area that draws the current
// model as a wireframe on one axis plane, answers the view keys and reports the pointer's
// model coordinates in the main window's status bar.
#pragma once

#include "view/viewcore.h"
#include "viewhost.h"
#include "virtualkeys.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>

class QAction;
class QMenu;
class QPainter;

inline constexpr int kMaxFacePoints = 30;
inline constexpr const char* kFaceFullMessage =
    "You have meet the maximum number of vertices for a given face.  The current face will now "
    "be closed.";
inline constexpr const char* kFaceTooSmallMessage =
    "By definition, you must have more than 2 vertices in a face.";

// Face building is dormant: nothing sets this flag or creates a view's point list.
extern bool FaceBuildingActive;

class TEditForm;

// The paint box: forwards its paint, mouse and resize events to the form.
class TMatBox : public QWidget
{
    Q_OBJECT
public:
    explicit TMatBox(TEditForm* form, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TEditForm* FForm;
};

// One view. The view state and drawing live in TViewCore; this class adds the window, the
// keys, the read-out and the menu. `host` (may be null) is not owned and must outlive the view.
// Closing the window deletes it. Painting reads the process-wide current model; an index the
// model does not hold ends that paint and is reported once in a message box.
class TEditForm : public QWidget, public TViewInfo, public TViewCore
{
    Q_OBJECT
public:
    static constexpr int kDesignWidth = 291; // the paint box of the 299 x 250 design
    static constexpr int kDesignHeight = 204;

    explicit TEditForm(TViewHost* host, QWidget* parent = nullptr);
    ~TEditForm() override;

    void UpdateCaption();
    void ResetView();

    // TViewInfo
    double Zoom() const override { return FZoom; }
    int PickMode() const override { return FPickMode; }
    int Projection() const override { return FProjection; }
    QList<QMenu*> MergedMenus() const override { return {View1}; }

    // Handlers, public so that the paint box and the tests reach them.
    void FormKeyUp(std::uint16_t key, unsigned shift);
    void MatMouseMove(int x, int y);
    void MatClick();
    void MatPaint(QPainter& painter);
    void FormResize();

    QWidget* Background = nullptr;
    TMatBox* Mat = nullptr;
    QMenu* View1 = nullptr;
    QAction* Grid1 = nullptr;
    QMenu* ViewPlane1 = nullptr;
    QAction* Front1 = nullptr;
    QAction* Top1 = nullptr;
    QAction* Side1 = nullptr;
    QAction* CenterView1 = nullptr;
    QAction* Zoom1 = nullptr;
    QAction* ResetViewport1 = nullptr;

    // Points of the face being built; never created while face building is dormant.
    std::unique_ptr<TVertexList> FFacePoints;

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateMenu();
    // Runs a menu item as if it were a key: act, then the steps every key release takes.
    void MenuCommand(void (TEditForm::*command)());
    void AfterKey();
    void ToggleGrid();
    void SetFront();
    void SetTop();
    void SetSide();
    void CenterView();
    void NormalizeZoom();
    void ResetViewport();
    void EndFaceBuilding();
    QSize OuterSize() const;

    TViewHost* FHost;
    bool FPaintFailed = false;
    std::int32_t FBackgroundColor = 0; // taken once, at creation
};

// Makes ViewFactory create these view windows. The program's main calls it before the main
// window exists.
void RegisterViewFactory();

// The set of TShiftFlag held in `modifiers`.
unsigned ShiftStateOf(Qt::KeyboardModifiers modifiers);
