// The 3D preview window: shows one converted geometry set spinning in a retained-mode control,
// with the driver list, a rotation-speed bar, a frame counter and keyboard camera moves.
#pragma once

#include "d3drmwnd.h"
#include "model/playback.h"
#include "scene/previewanimation.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

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

inline constexpr const char* kAnimationModelDiffers =
    "The preview no longer shows the model the key was chosen for";

// Added: the clock animations play by, in seconds. Tests set one of their own; an empty one
// brings back the real clock.
void SetAnimationClock(TKeyPlayback::TClock clock);
TKeyPlayback::TClock AnimationClock();

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

    // Added: plays `key` (named `title`) on the loaded model, posed each frame from `geoSet`
    // placed by `nodes`, which must be the geoset the preview loaded; a key already playing
    // gives way. Throws EKeyError for a key that cannot play on the model and
    // kAnimationModelDiffers for another geoset, leaving the preview as it was.
    void PlayKey(std::shared_ptr<const TPosingGeoSet> geoSet, const TNodeList& nodes,
                 TKeyframes key, std::string title, TLoopMode mode);
    // Added: the model back in its rest pose as loaded, and the design's preview again.
    void StopAnimation();
    bool Animating() const { return FAnimation != nullptr; }
    // The playing key's moment and controls; null when none plays.
    TKeyPlayback* Playback() { return FPlayback.get(); }
    const TPreviewAnimation* Animation() const { return FAnimation.get(); }
    const std::string& AnimationTitle() const { return FAnimationTitle; }
    const std::vector<double>& EntryFrames() const { return FEntryFrames; }
    // Poses the model for the moment now when it moved (before every frame while playing);
    // a key played once to its end stops here.
    void PoseForFrame();
    // Called after an animation starts or stops, and when the window closes.
    std::function<void()> OnAnimationChanged;
    std::function<void()> OnClosed;
    // Added: which model this preview shows, as its creator counts models, and the geoset.
    int ModelSerial = 0;
    int GeoSetIndex = 0;
    // Added: the preview's Animation window, closed with it.
    QPointer<QWidget> AnimationWindow;

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
    std::unique_ptr<TPreviewAnimation> FAnimation;
    std::unique_ptr<TKeyPlayback> FPlayback;
    std::string FAnimationTitle;
    std::vector<double> FEntryFrames;
    // The vertices as loaded, put back when the animation stops; the moment last posed.
    std::vector<float> FRestVertices;
    double FPosedFrame = -1;
    bool FPosedHold = false;
    // The timer's tag: the frame count at the previous tick.
    int FTimerTag = 0;
    // Added: closed, the preview let go of its model.
    bool FModelReleased = false;
};
