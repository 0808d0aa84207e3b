// The 3D preview window: shows one converted geometry set spinning in a retained-mode control,
// with the driver list, a rotation-speed bar, a frame counter and keyboard camera moves.
#pragma once

#include "d3drmwnd.h"

#include <QString>
#include <QWidget>

#include <string>

class QFrame;
class QLabel;
class QListWidget;
class QScrollBar;
class QTimer;
class QToolButton;

// Added: what a preview is given beside its file: the looks of the model's faces (none: the
// design's white faces) and a few lines on the model's materials, the 3D area's tooltip.
struct TPreviewLooks
{
    TFaceLooks Faces;
    QString Summary;
};

// "Direct3D Model Viewer". Made with Create, which builds the scene and loads the DirectX
// file; the caller shows it. It is a top-level window owned by `parent`; closing it only
// hides it. Failed 3D calls raise EDirectX from Create; from the handlers they are reported
// through RunCommand.
class TD3DForm : public QWidget
{
public:
    // Builds a preview of `xFile`, makes it the application's idle renderer and fills its
    // driver list. When building fails the half-built window is destroyed and the error
    // passed on; earlier previews are not touched.
    static TD3DForm* Create(QWidget* parent, const std::string& xFile, TPreviewLooks looks = {});
    // Added: loads the file again with other looks (the texture settings changed); the camera
    // is framed anew and the rotation speed kept. A closed preview only keeps the looks.
    void Reload(TPreviewLooks looks);

    // The components, named as the form lays them out.
    QWidget* TopPane = nullptr;
    QListWidget* DriverList = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QScrollBar* RotSpeed = nullptr;
    QLabel* FPSPane = nullptr;
    QFrame* FPSBevel = nullptr;
    QFrame* BorderPane = nullptr;
    TD3DRMWindow* D3DWin = nullptr;
    QTimer* Timer = nullptr;

    void D3DWinBuildScene(TD3DRMWindow* sender);
    void FormCreate();
    void FormResize();
    void TimerTimer();
    void DriverListClick();
    void D3DWinClick(TD3DRMWindow* sender);
    void RotSpeedChange();
    void SpeedButton2Click();
    // `key` is the virtual key code: 32 space, 37..40 arrows, 73 I, 79 O.
    void D3DWinKeyDown(TD3DRMWindow* sender, int& key, Qt::KeyboardModifiers shift);
    void D3DWinKeyUp(TD3DRMWindow* sender, int& key, Qt::KeyboardModifiers shift);

    const std::string& FileName() const { return FFileName; }

protected:
    // `d3dWin` replaces the default control (tests pass one with a chosen screen depth).
    TD3DForm(QWidget* parent, std::string xFile, TD3DRMWindow* d3dWin = nullptr);
    // The steps after the components exist: the scene, then FormCreate.
    void Loaded();

    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateComponents(TD3DRMWindow* d3dWin);
    // What the panels' alignment does: the top pane along the bottom, the border pane over
    // the rest, the list on the left and the counter on the right of the top pane.
    void AlignControls();

    std::string FFileName;
    // The timer's tag: the frame count at the previous tick.
    int FTimerTag = 0;
    // Added: closed, the preview let go of its model.
    bool FModelReleased = false;
};
