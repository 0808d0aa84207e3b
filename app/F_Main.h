// Start-up and the main window: the multiple-document frame with its menus, left pane,
// geometry-set arrows, status bar and commands.
#pragma once

#include "game/assets.h"
#include "game/gamesettings.h"
#include "game/materialreport.h"
#include "viewhost.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QFrame;
class QLabel;
class QMdiArea;
class QMenu;
class QStackedWidget;
class QStatusBar;
class QToolBar;
class QToolButton;
class QTreeWidget;
class TArchiveForm;
class TColormap;
class TGobArchive;
struct TPreviewLooks;

// Up-down arrows: a position between Min and Max, moved by one per click without wrapping.
// Click is emitted only when a click moved the position.
class TUpDown : public QWidget
{
    Q_OBJECT

public:
    explicit TUpDown(QWidget* parent = nullptr);

    int Min() const { return FMin; }
    int Max() const { return FMax; }
    int Position() const { return FPosition; }
    void SetMin(int value) { FMin = value; }
    // The position is left where it is, even outside the new range.
    void SetMax(int value) { FMax = value; }
    void SetPosition(int value) { FPosition = value; }

    QToolButton* UpButton;
    QToolButton* DownButton;

signals:
    void Click();

private:
    void Step(int delta);

    int FMin = 0, FMax = 0, FPosition = 0;
};

// The main window. Creates the empty start model and frees the model when destroyed. Every
// command runs through RunCommand, so its errors end it and are reported in a message box.
class TMainForm : public QMainWindow, public TViewHost
{
    Q_OBJECT

public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Controls, named as the design names them.
    QMdiArea* MdiArea;
    QStatusBar* StatusBar;
    QList<QLabel*> StatusPanels;
    QToolBar* TopPane;
    QToolButton* OpenBut;
    QFrame* LeftPane;
    QFrame* ControlTopPane;
    QStackedWidget* Notebook1;
    QFrame* CuurControlBack;
    QLabel* CurrGeoDisp;
    TUpDown* CurrGeoSet;
    QLabel* CurrData;
    QTreeWidget* HierarchyOutline;
    QMenu* PopUp;

    QMenu* mnuFile;
    // Added: the commands beyond the design (archives, textures, export) live here only.
    QMenu* mnuGame;
    QMenu* mnuEdit;
    QMenu* mnuInterface;
    QMenu* mnuCreate;
    QMenu* mnuWindow;
    QMenu* mnuHelp;
    QAction* mnuFileOpen;
    QAction* mnuFilePreferences;
    QAction* mnuFileExit;
    QAction* mnuGameOpenArchive;
    QAction* mnuGameTextures;
    QAction* mnuGameFolder;
    QAction* mnuGameClearFolder;
    QAction* mnuGameFolderInUse;
    QAction* mnuGameColormap;
    QAction* mnuGameExportGltf;
    QAction* mnuGameCheck;
    QAction* mnuGameAnimation;
    QAction* Direct3DViewer1;
    QAction* mnuViewStructure;
    QAction* FrontView1;
    QAction* TopView1;
    QAction* SideView1;
    QAction* PopUpColor;

    // Commands.
    void mnuFileOpenClick();
    void CurrGeoSetClick();
    void mnuFileExitClick();
    void mnuGameOpenArchiveClick();
    void mnuGameTexturesClick();
    void mnuGameFolderClick();
    void mnuGameClearFolderClick();
    void mnuGameColormapClick();
    // Added: the current geometry set of the loaded model as a glTF file, with its materials
    // as the saved game folder and colormap find them. Deliberate: the saved switch that turns
    // the preview's textures off leaves the file's materials alone.
    void mnuGameExportGltfClick();
    // Added: what the game would refuse or mishandle in the loaded model, in the check window,
    // with its materials as the preview finds them (found now when the preview has not).
    void mnuGameCheckClick();
    // Added: the newest preview's Animation window (made the first time), to play the model's
    // keys on it. Enabled while that preview is open.
    void mnuGameAnimationClick();
    // Added: plays a key named by a path or a game name (found as the command line finds it)
    // on the newest preview, as `quillmark MODEL --key KEY` asks.
    void PlayKeyNamed(const QString& name);
    // Added: plays an archive's .key entry on the newest preview.
    void PlayKeyEntry(const std::shared_ptr<const TGobArchive>& archive, std::size_t entry);
    // Added: the newest preview's Animation window, made when `create` and there is none; null
    // when no preview is open.
    class TAnimationForm* AnimationForm(bool create);
    void mnuCreatePolygonClick() {}
    void mnuFilePrintClick() {}
    void Direct3DViewer1Click();
    void FrontView1Click();
    void TopView1Click();
    void SideView1Click();
    void mnuViewStructureClick();
    void mnuFilePreferencesClick();
    void PopUpColorClick();

    void ShowMeshInfo();
    void ShowGeoSetNumber();
    // The area behind the child windows takes `color` (0x00BBGGRR).
    void SetBackground(std::int32_t color);

    // TViewHost
    void SetStatusPanel(int index, const QString& text) override;
    QString StatusPanel(int index) const override;
    void ShowStatus(const QString& message) override;

    // Added: Qt has no menu merging. Shows `menus` in the menu bar by their group index: a
    // menu takes the place of the frame's menus of the same group, or goes before the first
    // menu of a higher group. The previous merge is undone first; an empty list just undoes it.
    void MergeMenus(const QList<QMenu*>& menus);

    // Added: the steps of File, Open that follow the dialog, for a file dropped on the window.
    void OpenModelFile(const QString& fileName);
    // Added: File, Open for an archive's entry; the entry's name stands where the file's would.
    void OpenArchiveEntry(const std::shared_ptr<const TGobArchive>& archive,
                          const QString& archiveName, std::size_t entry);
    // Added: opens an archive in a new browser window, which it returns. A file that is not a
    // usable archive raises its error before anything changes.
    TArchiveForm* OpenArchiveFile(const QString& fileName);
    // Added: the browser windows open, oldest first.
    QList<TArchiveForm*> ArchiveBrowsers() const;
    // Added: an archive's entry opened by its kind: a model as File, Open opens one, a
    // material in the material window (through `colormap`), anything else in a message that
    // says how to copy it out.
    void OpenArchiveEntryByKind(const std::shared_ptr<const TGobArchive>& archive,
                                const QString& archiveName, std::size_t entry,
                                const TColormap& colormap);
    // Added: a file named on the command line or dropped on the window: an archive (.gob or
    // .goo, any case) opens in the browser, anything else as File, Open opens it.
    void OpenFile(const QString& fileName);
    // Added: the files named on the command line (`arguments` without the program's name)
    // open one after the other, each as a command of its own, once the event loop runs. No
    // file: nothing at all happens. "--key KEY" plays KEY on the preview of the files opened.
    void OpenArguments(const QStringList& arguments);
    // Added: where the current model came from; empty for the start model.
    const TModelLocation& ModelLocation() const { return FModelLocation; }
    // Added: the game folder, colormap and textures switch in force: read from the settings
    // file at start-up, changed (and saved) by the Game menu.
    const TGameSettings& GameSettings() const { return FGame; }
    // Added: what a new preview of the current geoset is given: with textures on, the looks of
    // its faces and the summary of the model's materials. The materials are found once per
    // model and settings; a saved colormap the model cannot see is reported once and the
    // default used. Textures off or a model without materials: nothing, the design's preview.
    TPreviewLooks PreviewLooks();

protected:
    // Added: a .3do file dropped on the window opens as File, Open does, an archive in the
    // browser; anything else is refused.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Deliberate: none. Qt's own menu of the bars would let a right-click show the tool bar
    // that stays hidden for the whole run.
    QMenu* createPopupMenu() override;

private:
    void createActions();
    // Saves one key of the game settings, then makes `next` the settings in force; the newest
    // preview is loaded again to show them.
    void ChangeGameSettings(const TGameSettings& next, const char* key, const std::string& value);
    void ShowGameSettings();
    // Added: the folder the file dialogs of one kind (a key of the GAME section) start in, and
    // remembering the folder of the file chosen.
    QString DialogFolder(const char* key) const;
    void RememberDialogFolder(const char* key, const QString& fileName);
    void createStatusBar();
    void createToolBar();
    void createLeftPane();
    void updateMenus();
    // Added: Game, Animation... is enabled while the newest preview is open.
    void UpdateAnimationItem();
    void updateWindowMenu();
    TViewInfo* ActiveView() const;
    void OpenView(int plane);
    // Steps 3 to 7 of File, Open, after a load.
    void ShowLoadedModel();
    // Writes the current geoset as the preview's .X file, then opens one more preview on it,
    // which becomes D3DForm. With `reportSteps` the status bar tells each step, as the Tool
    // Palette command does; File, Open and the arrows write no status.
    void OpenPreview(bool reportSteps = false);

    QList<QMenu*> FFrameMenus;
    QList<QAction*> FWindowListActions;
    QList<QPointer<QMenu>> FMerged;
    QList<QPointer<QAction>> FReplaced;
    TModelLocation FModelLocation;
    TGameSettings FGame;
    // The current model's materials under FGame; found when a preview first needs them.
    std::optional<TFoundMaterials> FMaterials;
    QList<QPointer<TArchiveForm>> FBrowsers;
    // Added: counts the models loaded (and tried), so a preview knows whether the current
    // model is still the one it shows.
    int FModelSerial = 0;
};

extern TMainForm* MainForm;
// The most recently created preview window; empty until the first, and after a failed one.
extern QPointer<QWidget> D3DForm;

// Start-up: reads the colour roles back from the settings file, then creates MainForm,
// ProgressForm, StructureForm and PrefForm in that order (all but MainForm hidden).
void CreateForms();
// Destroys the windows; the main window's destruction frees the model.
void DestroyForms();
