// Added: the Animation window of a preview: the keys that fit its model, a puppet's actions, a
// key file of one's own, and the controls of the key that plays (play and pause, a timeline
// with the entries and markers, steps, speed, what happens at the end, where it is).
#pragma once

#include "formats/keyframes.h"
#include "game/assets.h"
#include "formats/xexport.h"
#include "model/playback.h"

#include <QSlider>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TD3DForm;

inline constexpr const char* kAnimationCaption = "Animation";
inline constexpr const char* kKeyFileFilter = "Jedi Knight Keys (*.key);;All Files (*)";
inline constexpr const char* kNoPuppet = "(no puppet)";
inline constexpr const char* kNothingPlays = "No animation";

// What the window needs of the preview's model: where its files are found, its hierarchy and
// the geometry set the preview shows.
struct TAnimationModel
{
    std::shared_ptr<const TAssetSource> Source;
    TNodeList Nodes;
    std::shared_ptr<const TPosingGeoSet> GeoSet;
};

// A slider over a key's frames (tenths of a frame), with a tick under every entry frame and a
// mark above every marker.
class TTimeline : public QSlider
{
public:
    explicit TTimeline(QWidget* parent = nullptr);
    void SetKey(int frames, std::vector<double> entries, std::vector<double> markers);
    const std::vector<double>& Entries() const { return FEntries; }
    const std::vector<double>& Markers() const { return FMarkers; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int X(double frame) const;
    std::vector<double> FEntries;
    std::vector<double> FMarkers;
};

// One per preview, owned by it and closed with it. Errors of its commands are reported
// through RunCommand and leave the preview as it was.
class TAnimationForm : public QWidget
{
public:
    TAnimationForm(TD3DForm* preview, TAnimationModel model);

    QTreeWidget* KeyList = nullptr;
    QComboBox* PuppetList = nullptr;
    QTreeWidget* ActionList = nullptr;
    QPushButton* OpenKeyButton = nullptr;
    QLabel* KeyTitle = nullptr;
    QToolButton* PlayButton = nullptr;
    QToolButton* StopButton = nullptr;
    QToolButton* PrevEntryButton = nullptr;
    QToolButton* StepBackButton = nullptr;
    QToolButton* StepForwardButton = nullptr;
    QToolButton* NextEntryButton = nullptr;
    TTimeline* Timeline = nullptr;
    QComboBox* SpeedBox = nullptr;
    QComboBox* LoopBox = nullptr;
    QLabel* Readout = nullptr;
    QTimer* RefreshTimer = nullptr;

    // Commands.
    void KeyListActivate(QTreeWidgetItem* item);
    void PuppetListChange();
    void ActionListActivate(QTreeWidgetItem* item);
    void OpenKeyButtonClick();
    void PlayButtonClick();
    void StopButtonClick();
    void Step(int delta);
    void StepEntry(int delta);
    void GoTo(double frame);
    void GoToEnd();
    void SpeedBoxChange();
    void LoopBoxChange();
    void TimelineChange();

    // Plays a key's text (from a file, an archive or the game's folders) named `title`.
    // Throws the reader's error with `where` in front, and PlayKey's errors.
    void PlayKeyBytes(std::string_view bytes, const std::string& title, const std::string& where,
                      TLoopMode mode = lmLoop);
    // Shows the moment and the state of the key playing now.
    void Refresh();

private:
    void CreateComponents();
    void FillKeys();
    void FillPuppets();
    // The preview's key changed: the timeline, title and boxes follow.
    void KeyChanged();

    TD3DForm* FPreview;
    TAnimationModel FModel;
    bool FRefreshing = false;
};
