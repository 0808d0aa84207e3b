#include "F_Main.h"

#include "F_Anim.h"
#include "F_Archive.h"
#include "F_Check.h"
#include "F_D3D.h"
#include "F_Material.h"
#include "F_Pref.h"
#include "F_Progrs.h"
#include "F_Strctr.h"
#include "base/U_String.h"
#include "view/colors.h"
#include "dialogs.h"
#include "game/facelooks.h"
#include "game/gamesettings.h"
#include "formats/colormap.h"
#include "formats/gltfexport.h"
#include "formats/gob.h"
#include "model/loader.h"
#include "model/model.h"
#include "game/modelmaterials.h"
#include "formats/profile.h"
#include "formats/xexport.h"
#include "game/keylist.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

TMainForm* MainForm = nullptr;
QPointer<QWidget> D3DForm;

namespace
{

// Each shows without its last brackets: "Jedi Knight 3DO (*.3do)" and "All Files", as designed.
constexpr const char* kOpenFilter = "Jedi Knight 3DO (*.3do) (*.3do);;All Files (*)";
constexpr const char* kArchiveFilter =
    "Jedi Knight Archives (*.gob *.goo) (*.gob *.goo);;All Files (*)";
constexpr const char* kGltfFilter = "glTF Binary (*.glb);;glTF (*.gltf)";
// Added: after an export that went on past problems, one box lists them (the first few).
constexpr const char* kExportWarnings = "The glTF file was written, with these problems:";
constexpr const char* kNoPreviewForKey = "Open a model first: a key plays in its preview";
constexpr const char* kPreviewModelGone =
    "The newest preview shows a model or geometry set that is no longer the current one";
constexpr int kExportWarningsShown = 10;
constexpr const char* kMoreWarnings = "... and %1 more";
constexpr int kStatusPanelWidths[] = {180, 45, 21, 40, 30, 50};
// Deliberate: "Coverting" as the program has always spelt it.
constexpr const char* kStatusConverting = "Coverting Model to Direct3D...";
constexpr const char* kStatusCreating = "Creating Direct3D Window...";
constexpr const char* kDefaultColormapItem = "Default (misc/cmp/dflt.cmp)";
constexpr const char* kColormapNotSeen = "%1 (not found)";
// Added: Game, Game Folder... with a folder that has nothing of the game in it.
constexpr const char* kNotAGameFolder =
    "%1 holds nothing of the game (no resource or episode folder, no .gob or .goo archive, no "
    "3do or mat folder).\nUse it as the game folder all the same?";
// Added: an archive entry the program does not show.
constexpr const char* kEntryNotShown = "%1 is %2, which Quillmark does not show.\n"
                                       "quillmark-cli extract copies it out of the archive.";
constexpr const char* kKindOf = "a .%1 file";
constexpr const char* kNoKind = "a file without an extension";
constexpr const char* kFolderInUse = "Game folder: %1";
constexpr const char* kNoFolderInUse = "Game folder: none";
constexpr const char* kColormapGivesWay =
    "%1\nThe default colormap (misc/cmp/dflt.cmp) is used instead.";

int GroupIndex(const QMenu* menu)
{
    return menu->property(kGroupIndexProperty).toInt();
}

QFrame* Panel(QWidget* parent, const char* name)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return panel;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TUpDown

TUpDown::TUpDown(QWidget* parent) : QWidget(parent)
{
    setFixedSize(16, 24);
    UpButton = new QToolButton(this);
    UpButton->setObjectName("Up");
    UpButton->setArrowType(Qt::UpArrow);
    UpButton->setGeometry(0, 0, 16, 12);
    DownButton = new QToolButton(this);
    DownButton->setObjectName("Down");
    DownButton->setArrowType(Qt::DownArrow);
    DownButton->setGeometry(0, 12, 16, 12);
    connect(UpButton, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(DownButton, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TUpDown::Step(int delta)
{
    // A position left outside the range by SetMax comes back into it on the next move.
    int next = FPosition;
    if (delta > 0 && FPosition < FMax)
        next = std::max(FMin, FPosition + 1);
    else if (delta < 0 && FPosition > FMin)
        next = std::max(FMin, std::min(FPosition - 1, FMax));
    if (next == FPosition)
        return;
    FPosition = next;
    emit Click();
}

// ---------------------------------------------------------------------------------------------
// TMainForm

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("MainForm");
    setAcceptDrops(true);
    MdiArea = new QMdiArea;
    MdiArea->setObjectName("MdiArea");

    auto* client = new QWidget;
    auto* layout = new QHBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    createLeftPane();
    layout->addWidget(LeftPane);
    layout->addWidget(MdiArea, 1);
    setCentralWidget(client);

    // Added: the game's files' settings of an earlier run.
    FGame = ReadGameSettings(SettingsFileName());
    createActions();
    createToolBar();
    createStatusBar();

    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Dark));
    setPalette(pal);
    MdiArea->setBackground(pal.color(QPalette::Dark));
    connect(MdiArea, &QMdiArea::subWindowActivated, this, &TMainForm::updateMenus);

    resize(621, 424 + menuBar()->sizeHint().height());
    CentreOnScreen(this);

    // FormCreate
    setWindowTitle(QString::fromLatin1(kAppTitle));
    CreateEmptyModel();
    MessageCaption = QStringLiteral("Vellspore");
    ShowMeshInfo();
}

TMainForm::~TMainForm()
{
    // Child windows closing during destruction must not reach the half-destroyed frame.
    disconnect(MdiArea, nullptr, this, nullptr);
    FreeModel();
}

void TMainForm::createLeftPane()
{
    LeftPane = new QFrame;
    LeftPane->setObjectName("LeftPane");
    LeftPane->setFixedWidth(137);
    // The window's own background is already the button-shadow grey; the pane keeps that role
    // so that its labels draw in the window-text colour, not the light one Qt pairs with Dark.
    LeftPane->setAutoFillBackground(true);
    auto* paneLayout = new QVBoxLayout(LeftPane);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    paneLayout->setSpacing(0);

    ControlTopPane = Panel(LeftPane, "ControlTopPane");
    ControlTopPane->setFixedHeight(24);
    for (int i = 0; i < 4; ++i)
    {
        auto* blank = new QToolButton(ControlTopPane);
        blank->setAutoRaise(true);
        blank->setGeometry(2 + 23 * i, 1, 23, 22);
    }
    ControlTopPane->hide();
    paneLayout->addWidget(ControlTopPane);

    Notebook1 = new QStackedWidget(LeftPane);
    Notebook1->setObjectName("Notebook1");
    paneLayout->addWidget(Notebook1, 1);

    auto* meshSelect = new QWidget;
    meshSelect->setObjectName("MeshSelect");
    auto* selectLayout = new QVBoxLayout(meshSelect);
    selectLayout->setContentsMargins(0, 0, 0, 0);
    selectLayout->setSpacing(0);
    // Takes the room of the hidden tree so that the controls sit at the bottom.
    selectLayout->addStretch(0);
    HierarchyOutline = new QTreeWidget(meshSelect);
    HierarchyOutline->setObjectName("HierarchyOutline");
    HierarchyOutline->setHeaderHidden(true);
    HierarchyOutline->hide();
    selectLayout->addWidget(HierarchyOutline, 1);

    CuurControlBack = Panel(meshSelect, "CuurControlBack");
    CuurControlBack->setFixedHeight(73);
    CurrGeoDisp = new QLabel(QStringLiteral("GeoSet: 0"), CuurControlBack);
    CurrGeoDisp->setObjectName("CurrGeoDisp");
    CurrGeoDisp->setGeometry(4, 7, 101, 13);
    CurrGeoSet = new TUpDown(CuurControlBack);
    CurrGeoSet->setObjectName("CurrGeoSet");
    CurrGeoSet->move(114, 2);
    connect(CurrGeoSet, &TUpDown::Click, this, Command(this, &TMainForm::CurrGeoSetClick));
    auto* backLayout = new QVBoxLayout(CuurControlBack);
    backLayout->setContentsMargins(0, 0, 0, 0);
    backLayout->addStretch(1);
    CurrData = new QLabel(CuurControlBack);
    CurrData->setObjectName("CurrData");
    CurrData->setFixedHeight(41);
    CurrData->setAlignment(Qt::AlignCenter);
    CurrData->setWordWrap(true);
    backLayout->addWidget(CurrData);
    selectLayout->addWidget(CuurControlBack);
    Notebook1->addWidget(meshSelect);

    // The edit page has no behaviour; it is laid out so that the page set is complete.
    auto* meshEdit = new QWidget;
    meshEdit->setObjectName("MeshEdit");
    auto* rotateBox = Panel(meshEdit, "RotateBox");
    rotateBox->setGeometry(4, 4, 129, 97);
    auto* rotateImage = new QLabel(rotateBox);
    rotateImage->setToolTip(QStringLiteral("Rotate Selection"));
    rotateImage->setGeometry(40, 24, 49, 49);
    const struct
    {
        const char* Name;
        Qt::ArrowType Arrow;
        int X, Y;
    } rotateButtons[] = {{"RotPX", Qt::RightArrow, 96, 24}, {"RotNX", Qt::LeftArrow, 8, 24},
                         {"RotPZ", Qt::UpArrow, 40, 2},     {"RotNZ", Qt::DownArrow, 40, 74},
                         {"RotPY", Qt::RightArrow, 96, 50}, {"RotNY", Qt::LeftArrow, 8, 50}};
    for (const auto& b : rotateButtons)
    {
        auto* button = new QToolButton(rotateBox);
        button->setObjectName(b.Name);
        button->setArrowType(b.Arrow);
        button->setGeometry(b.X, b.Y, 23, 22);
    }
    auto* scaleBox = Panel(meshEdit, "ScaleBox");
    scaleBox->setGeometry(4, 105, 129, 57);
    const struct
    {
        const char* Axis;
        const char* Name;
    } scaleSpins[] = {{"X", "ScaleX"}, {"Z", "ScaleZ"}, {"Y", "ScaleY"}};
    for (int i = 0; i < 3; ++i)
    {
        auto* label = new QLabel(QString::fromLatin1(scaleSpins[i].Axis), scaleBox);
        label->setGeometry(16 + 40 * i, 4, 16, 13);
        auto* spin = new TUpDown(scaleBox);
        spin->setObjectName(scaleSpins[i].Name);
        spin->move(16 + 40 * i, 22);
    }
    Notebook1->addWidget(meshEdit);
    Notebook1->setCurrentIndex(0);
}

namespace
{
constexpr bool kHidden = false;
constexpr bool kShown = true;
constexpr QKeyCombination kNoKey;

// One line of a menu: an item, or with the text "-" a separator. An item may be kept in a
// field and may run a command.
struct TMenuLine
{
    const char* Text;
    const char* Name = nullptr;
    bool Visible = true;
    QKeyCombination Shortcut = kNoKey;
    QAction* TMainForm::*Field = nullptr;
    void (TMainForm::*Click)() = nullptr;
    const char* Tip = nullptr;
};
} // namespace

void TMainForm::createActions()
{
    const auto addMenu = [this](const QString& title, int group, bool visible)
    {
        QMenu* menu = menuBar()->addMenu(title);
        menu->setProperty(kGroupIndexProperty, group);
        menu->menuAction()->setVisible(visible);
        FFrameMenus.append(menu);
        return menu;
    };
    const auto fill = [this](QMenu* menu, std::initializer_list<TMenuLine> lines)
    {
        for (const TMenuLine& line : lines)
        {
            if (std::string_view(line.Text) == "-")
            {
                menu->addSeparator()->setVisible(line.Visible);
                continue;
            }
            QAction* action = menu->addAction(tr(line.Text));
            action->setObjectName(line.Name);
            if (line.Shortcut != kNoKey)
                action->setShortcut(line.Shortcut);
            action->setVisible(line.Visible);
            if (line.Tip)
                action->setStatusTip(tr(line.Tip));
            if (line.Field)
                this->*line.Field = action;
            if (line.Click)
                connect(action, &QAction::triggered, this, Command(this, line.Click));
        }
    };
    const QKeyCombination ctrlN = Qt::CTRL | Qt::Key_N, ctrlO = Qt::CTRL | Qt::Key_O,
                          ctrlS = Qt::CTRL | Qt::Key_S, ctrlX = Qt::CTRL | Qt::Key_X,
                          ctrlC = Qt::CTRL | Qt::Key_C;

    mnuFile = addMenu(tr("&File"), 0, true);
    fill(mnuFile,
         {{"&New", "mnuFileNew", kHidden, ctrlN},
          {"&Open...", "mnuFileOpen", kShown, ctrlO, &TMainForm::mnuFileOpen,
           &TMainForm::mnuFileOpenClick, "Open a Jedi Knight 3DO model"},
          {"&Save", "mnuFileSave", kHidden, ctrlS},
          {"Save &As...", "mnuFileSaveAs", kHidden},
          {"I&mport Into 3DO...", "mnuFileImportInto", kHidden},
          {"&Import As New 3DO...", "mnuFileImportAsNew", kHidden},
          {"-", nullptr, kHidden},
          {"P&references...", "mnuFilePreferences", kHidden, kNoKey, &TMainForm::mnuFilePreferences,
           &TMainForm::mnuFilePreferencesClick},
          {"-", nullptr, kHidden},
          {"&Print...", "mnuFilePrint", kHidden, kNoKey, nullptr, &TMainForm::mnuFilePrintClick},
          {"-"},
          {"E&xit", "mnuFileExit", kShown, ctrlX, &TMainForm::mnuFileExit,
           &TMainForm::mnuFileExitClick, "Leave the program"}});

    // Added: not one of the frame's declared menus, so a view's menu never takes its place.
    mnuGame = menuBar()->addMenu(tr("&Game"));
    mnuGame->setObjectName("mnuGame");
    mnuGame->setProperty(kGroupIndexProperty, 0);
    fill(mnuGame,
         {{"Open &Archive...", "mnuGameOpenArchive", kShown, Qt::CTRL | Qt::SHIFT | Qt::Key_O,
           &TMainForm::mnuGameOpenArchive, &TMainForm::mnuGameOpenArchiveClick,
           "Browse the models of a Jedi Knight archive"},
          {"Export &glTF...", "mnuGameExportGltf", kShown, kNoKey, &TMainForm::mnuGameExportGltf,
           &TMainForm::mnuGameExportGltfClick, "Write the current geometry set as a glTF 2.0 file"},
          {"Chec&k for the Game...", "mnuGameCheck", kShown, kNoKey, &TMainForm::mnuGameCheck,
           &TMainForm::mnuGameCheckClick,
           "List what the game would refuse or mishandle in the model"},
          {"&Animation...", "mnuGameAnimation", kShown, kNoKey, &TMainForm::mnuGameAnimation,
           &TMainForm::mnuGameAnimationClick, "Play the model's animations in the preview"},
          {"-"},
          {"&Textures", "mnuGameTextures", kShown, kNoKey, &TMainForm::mnuGameTextures,
           &TMainForm::mnuGameTexturesClick, "Show models with their materials"},
          {"Game &Folder...", "mnuGameFolder", kShown, kNoKey, &TMainForm::mnuGameFolder,
           &TMainForm::mnuGameFolderClick, "Choose the folder the game is installed in"},
          {"C&lear Game Folder", "mnuGameClearFolder", kShown, kNoKey,
           &TMainForm::mnuGameClearFolder, &TMainForm::mnuGameClearFolderClick,
           "Look for materials only beside the model"},
          {"", "mnuGameFolderInUse", kShown, kNoKey, &TMainForm::mnuGameFolderInUse, nullptr,
           "The folder the game's files are looked for in"},
          {"&Colormap...", "mnuGameColormap", kShown, kNoKey, &TMainForm::mnuGameColormap,
           &TMainForm::mnuGameColormapClick, "Choose the palette that colours the materials"}});
    // The start model is one empty mesh: nothing worth a file until a model is loaded.
    mnuGameExportGltf->setEnabled(false);
    mnuGameCheck->setEnabled(false);
    mnuGameAnimation->setEnabled(false);
    connect(mnuGame, &QMenu::aboutToShow, this, &TMainForm::UpdateAnimationItem);
    mnuGameTextures->setCheckable(true);
    // Added: says which game folder is in use; nothing to run.
    mnuGameFolderInUse->setEnabled(false);

    mnuEdit = addMenu(tr("&Edit"), 1, false);
    fill(mnuEdit, {{"Cu&t", "mnuEditCut", kShown, ctrlX}, {"&Copy", "mnuEditCopy", kShown, ctrlC}});
    fill(mnuEdit->addMenu(tr("&Paste")),
         {{"&As New Mesh", "mnuEditPasteAsNew"}, {"&Into Current Mesh", "mnuEditPasteInto"}});
    fill(mnuEdit, {{"-"}, {"C&lear Clipboard", "mnuEditClearClipboard"}});

    mnuInterface = addMenu(tr("&Interface"), 2, false);
    fill(mnuInterface, {{"&Tool Palette", "Direct3DViewer1", kShown, kNoKey,
                         &TMainForm::Direct3DViewer1, &TMainForm::Direct3DViewer1Click},
                        {"3DO &Structure", "mnuViewStructure", kShown, kNoKey,
                         &TMainForm::mnuViewStructure, &TMainForm::mnuViewStructureClick}});
    // The action flips its own check mark before it fires; the command reads the new state.
    mnuViewStructure->setCheckable(true);

    mnuCreate = addMenu(tr("&Create"), 20, false);
    fill(mnuCreate, {{"&Polygon...", "mnuCreatePolygon", kShown, kNoKey, nullptr,
                      &TMainForm::mnuCreatePolygonClick},
                     {"-"},
                     {"&Cube...", "mnuCreateCube"}});

    mnuWindow = addMenu(tr("&Window"), 21, false);
    fill(mnuWindow->addMenu(tr("&New")), {{"&Front View", "FrontView1", kShown, kNoKey,
                                           &TMainForm::FrontView1, &TMainForm::FrontView1Click},
                                          {"&Top View", "TopView1", kShown, kNoKey,
                                           &TMainForm::TopView1, &TMainForm::TopView1Click},
                                          {"&Side View", "SideView1", kShown, kNoKey,
                                           &TMainForm::SideView1, &TMainForm::SideView1Click},
                                          {"&Camera View", "CameraView1"}});
    fill(
        mnuWindow,
        {{"-"}, {"&Tile", "Tile1"}, {"&Cascade", "Cascade1"}, {"&Arrange Icons", "ArrangeIcons1"}});
    connect(mnuWindow, &QMenu::aboutToShow, this, &TMainForm::updateWindowMenu);

    mnuHelp = addMenu(tr("&Help"), 22, false);
    fill(mnuHelp, {{"About...", "mnuHelpAbout"}});

    PopUp = new QMenu(this);
    PopUp->setObjectName("PopUp");
    fill(PopUp->addMenu(tr("New")), {{"Polygon", "PopUpPolygon"}});
    fill(PopUp, {{"-"},
                 {"Background Color", "PopUpColor", kShown, kNoKey, &TMainForm::PopUpColor,
                  &TMainForm::PopUpColorClick}});
    ShowGameSettings();
}

void TMainForm::createToolBar()
{
    TopPane = addToolBar(tr("TopPane"));
    TopPane->setObjectName("TopPane");
    TopPane->setMovable(false);
    TopPane->setFixedHeight(28);
    const struct
    {
        const char* Name;
        QStyle::StandardPixmap Icon;
    } buttons[] = {{"NewBut", QStyle::SP_FileIcon},
                   {"OpenBut", QStyle::SP_DialogOpenButton},
                   {"SaveBut", QStyle::SP_DialogSaveButton},
                   {"LoadBut", QStyle::SP_ArrowUp},
                   {"ImportBut", QStyle::SP_ArrowDown},
                   {"PrintBut", QStyle::SP_FileDialogDetailedView},
                   {"CutBut", QStyle::SP_DialogDiscardButton},
                   {"CopyBut", QStyle::SP_FileDialogContentsView},
                   {"PasteBut", QStyle::SP_FileDialogListView}};
    for (const auto& b : buttons)
    {
        const QString name = QString::fromLatin1(b.Name);
        if (name == "LoadBut" || name == "CutBut")
            TopPane->addSeparator();
        auto* button = new QToolButton;
        button->setObjectName(name);
        button->setAutoRaise(true);
        button->setFixedSize(23, 22);
        button->setIcon(style()->standardIcon(b.Icon));
        TopPane->addWidget(button);
        if (name == "OpenBut")
            OpenBut = button;
    }
    connect(OpenBut, &QToolButton::clicked, this, Command(this, &TMainForm::mnuFileOpenClick));
    TopPane->hide();
}

void TMainForm::createStatusBar()
{
    StatusBar = statusBar();
    StatusBar->setObjectName("StatusBar");
    StatusBar->setFixedHeight(19);
    const int count = static_cast<int>(std::size(kStatusPanelWidths));
    for (int i = 0; i < count; ++i)
    {
        auto* panel = new QLabel;
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFixedWidth(kStatusPanelWidths[i]);
        panel->setAlignment(Qt::AlignCenter);
        panel->setFrameStyle(i == count - 1 ? QFrame::NoFrame : QFrame::Panel | QFrame::Sunken);
        StatusBar->addWidget(panel);
        StatusPanels.append(panel);
    }
    StatusBar->hide();
}

// ---------------------------------------------------------------------------------------------
// Commands

void TMainForm::mnuFileOpenClick()
{
    const QString fileName = Dialogs().OpenFileName(this, QString::fromLatin1(kOpenFilter),
                                                    DialogFolder(kGameModelDialogKey));
    if (fileName.isEmpty())
        return;
    RememberDialogFolder(kGameModelDialogKey, fileName);
    // Added: an archive chosen here would be read as model text; it opens in the browser.
    if (HasGobSignature(fileName.toStdString()))
        OpenArchiveFile(fileName);
    else
        OpenModelFile(fileName);
}

QString TMainForm::DialogFolder(const char* key) const
{
    return QString::fromStdString(
        ReadPrivateProfileString(kGameSection, key, SettingsFileName()).value_or(std::string()));
}

void TMainForm::RememberDialogFolder(const char* key, const QString& fileName)
{
    const std::string folder = QFileInfo(fileName).absolutePath().toStdString();
    TSettingsFile(SettingsFileName()).WriteString(kGameSection, key, folder);
}

void TMainForm::OpenModelFile(const QString& fileName)
{
    const std::string name = fileName.toStdString(); // core takes UTF-8 names on every system
    ++FModelSerial;
    Load3DO(name, *ProgressForm);
    FModelLocation = TModelLocation{name, {}, {}, {}};
    ShowLoadedModel();
}

void TMainForm::OpenArchiveEntry(const std::shared_ptr<const TGobArchive>& archive,
                                 const QString& archiveName, std::size_t entry)
{
    ++FModelSerial;
    Load3DOEntry(*archive, entry, *ProgressForm);
    FModelLocation = TModelLocation{
        {}, archiveName.toStdString(), std::string(archive->Entry(entry).Name), archive};
    ShowLoadedModel();
}

void TMainForm::ShowLoadedModel()
{
    mnuGameExportGltf->setEnabled(true);
    mnuGameCheck->setEnabled(true);
    FMaterials.reset();
    CurrentGeoSetIndex = 0;
    CurrentMeshIndex = 0;
    CurrGeoSet->SetMax(static_cast<std::int16_t>(CurrentModel->Count() - 1));
    ShowGeoSetNumber();
    ShowMeshInfo();
    OpenPreview();
}

void TMainForm::mnuGameOpenArchiveClick()
{
    const QString fileName = Dialogs().OpenFileName(this, QString::fromLatin1(kArchiveFilter),
                                                    DialogFolder(kGameArchiveDialogKey));
    if (fileName.isEmpty())
        return;
    RememberDialogFolder(kGameArchiveDialogKey, fileName);
    OpenArchiveFile(fileName);
}

void TMainForm::mnuGameCheckClick()
{
    std::optional<TFoundMaterials> found;
    if (!FMaterials)
        found = FindModelMaterials(CurrentModel->Materials, FModelLocation, FGame.Folder,
                                   FGame.Colormap, true);
    const TFoundMaterials& materials = FMaterials ? *FMaterials : *found;
    const std::string& name =
        FModelLocation.ArchiveName.empty() ? FModelLocation.FileName : FModelLocation.EntryName;
    CheckForm(this)->ShowFindings(
        MessageText(name.c_str()),
        CheckModelForGame(*CurrentModel, *HierarchyNodes, FModelLocation, &materials.Materials));
}

void TMainForm::mnuGameExportGltfClick()
{
    // The model's own name with .glb, in the folder of the last export.
    const std::string& model =
        FModelLocation.ArchiveName.empty() ? FModelLocation.FileName : FModelLocation.EntryName;
    QString base = MessageText(model.c_str());
    base = base.mid(std::max(base.lastIndexOf(QLatin1Char('/')), base.lastIndexOf('\\')) + 1);
    base = QFileInfo(base).completeBaseName();
    const QString folder = DialogFolder(kGameExportDialogKey);
    const QString suggested =
        base.isEmpty()
            ? folder
            : (folder.isEmpty() ? base : QDir(folder).filePath(base)) + QStringLiteral(".glb");
    const QString chosen =
        Dialogs().SaveFileName(this, QString::fromLatin1(kGltfFilter), suggested);
    if (chosen.isEmpty())
        return;
    RememberDialogFolder(kGameExportDialogKey, chosen);
    std::string fileName = chosen.toStdString();
    std::optional<TGltfContainer> container = GltfContainerForName(fileName);
    if (!container)
    {
        fileName += ".glb";
        container = TGltfContainer::Binary;
    }
    const TGameSettings saved = ReadGameSettings(SettingsFileName());
    const TModelLooks looks = LoadModelLooks(*CurrentModel, std::nullopt, FModelLocation,
                                             saved.Folder, saved.Colormap, true);
    std::vector<std::string> warnings = looks.Warnings();
    // Added: the key the newest preview plays, when it shows this geoset of this model.
    std::vector<TGltfAnimation> animations;
    const auto* preview = dynamic_cast<const TD3DForm*>(D3DForm.data());
    if (preview && preview->Animation() && preview->ModelSerial == FModelSerial &&
        preview->GeoSetIndex == CurrentGeoSetIndex)
        animations.push_back({preview->AnimationTitle(), &preview->Animation()->Key()});
    WriteGltfFile(fileName, *CurrentModel, *HierarchyNodes, CurrentGeoSetIndex,
                  looks.Found.Materials.Looks, *container, &warnings, animations);
    if (warnings.empty())
        return;
    QString text = QString::fromLatin1(kExportWarnings);
    const int count = static_cast<int>(warnings.size());
    for (int i = 0; i < std::min(count, kExportWarningsShown); ++i)
        text += QLatin1Char('\n') + MessageText(warnings[static_cast<std::size_t>(i)].c_str());
    if (count > kExportWarningsShown)
        text += QLatin1Char('\n') +
                QString::fromLatin1(kMoreWarnings).arg(count - kExportWarningsShown);
    Dialogs().Message(this, QString::fromLatin1(kAppTitle), text, QMessageBox::Warning);
}

TArchiveForm* TMainForm::OpenArchiveFile(const QString& fileName)
{
    std::shared_ptr<const TGobArchive> archive = TGobArchive::Open(fileName.toStdString());
    const TModelLocation location{{}, fileName.toStdString(), {}, archive};
    auto colormap =
        std::make_shared<const TColormap>(ColormapInUse(location, FGame.Folder, FGame.Colormap));
    // Added: a window of its own, as large as the user last left one, in the mode last shown.
    auto* form = new TArchiveForm(archive, fileName, this, FGame.Textures, colormap);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->OnOpenEntry = [this, archive, fileName, colormap](std::size_t entry)
    { RunCommand([&] { OpenArchiveEntryByKind(archive, fileName, entry, *colormap); }); };
    const std::string settings = SettingsFileName();
    const std::optional<std::string> size =
        ReadPrivateProfileString(kGameSection, kGameBrowserSizeKey, settings);
    int width = 0, height = 0;
    if (size && std::sscanf(size->c_str(), "%dx%d", &width, &height) == 2 && width >= 200 &&
        height >= 150 && width <= 16384 && height <= 16384)
        form->resize(width, height);
    form->GalleryMode->setChecked(
        ReadPrivateProfileString(kGameSection, kGameBrowserGalleryKey, settings).value_or("0") ==
        "1");
    // Deliberate: the main window may be going when this runs, so nothing of it is used.
    form->OnClosing = [settings](QSize size, bool gallery)
    {
        TSettingsFile file(settings);
        file.WriteString(kGameSection, kGameBrowserSizeKey,
                         std::to_string(size.width()) + "x" + std::to_string(size.height()));
        file.WriteString(kGameSection, kGameBrowserGalleryKey, gallery ? "1" : "0");
    };
    FBrowsers.append(form);
    CentreOnScreen(form);
    form->show();
    form->activateWindow();
    return form;
}

QList<TArchiveForm*> TMainForm::ArchiveBrowsers() const
{
    QList<TArchiveForm*> forms;
    for (const QPointer<TArchiveForm>& form : FBrowsers)
        if (form)
            forms << form.data();
    return forms;
}

void TMainForm::OpenArchiveEntryByKind(const std::shared_ptr<const TGobArchive>& archive,
                                       const QString& archiveName, std::size_t entry,
                                       const TColormap& colormap)
{
    // The one place an entry's kind decides what opening it does.
    const std::string_view name = archive->Entry(entry).Name;
    switch (EntryKind(name))
    {
    case ekModel:
        OpenArchiveEntry(archive, archiveName, entry);
        return;
    case ekMaterial:
        (new TMaterialForm(archive->Read(entry), NameText(name), colormap, this))->show();
        return;
    case ekOther:
        break;
    }
    // Added: a key plays on the newest preview.
    if (QLatin1StringView(name.data(), static_cast<qsizetype>(name.size()))
            .endsWith(QLatin1StringView(".key"), Qt::CaseInsensitive))
    {
        PlayKeyEntry(archive, entry);
        return;
    }
    const std::size_t dot = name.find_last_of("./\\");
    const QString kind = dot != std::string_view::npos && name[dot] == '.'
                             ? NameText(name.substr(dot + 1)).toUpper()
                             : QString();
    Dialogs().Message(this, QString::fromLatin1(kAppTitle),
                      QString::fromLatin1(kEntryNotShown)
                          .arg(NameText(name), kind.isEmpty()
                                                   ? QString::fromLatin1(kNoKind)
                                                   : QString::fromLatin1(kKindOf).arg(kind)),
                      QMessageBox::Information);
}

namespace
{
bool IsArchiveName(const QString& fileName)
{
    return fileName.endsWith(QStringLiteral(".gob"), Qt::CaseInsensitive) ||
           fileName.endsWith(QStringLiteral(".goo"), Qt::CaseInsensitive);
}
} // namespace

void TMainForm::OpenFile(const QString& fileName)
{
    if (IsArchiveName(fileName) || HasGobSignature(fileName.toStdString()))
        OpenArchiveFile(fileName);
    else
        OpenModelFile(fileName);
}

void TMainForm::OpenArguments(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return;
    QTimer::singleShot(0, this,
                       [this, arguments]
                       {
                           QStringList keys;
                           for (qsizetype i = 0; i < arguments.size(); ++i)
                           {
                               // Added: --key KEY, played once the files are open.
                               if (arguments[i] == QStringLiteral("--key") &&
                                   i + 1 < arguments.size())
                                   keys.append(arguments[++i]);
                               else
                                   RunCommand([&] { OpenFile(arguments[i]); });
                           }
                           for (const QString& key : keys)
                               RunCommand([&] { PlayKeyNamed(key); });
                       });
}

namespace
{
// The one local .3do or archive file a drag carries, or an empty string.
QString DroppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return {};
    const QUrl url = data->urls().first();
    if (!url.isLocalFile())
        return {};
    const QString file = url.toLocalFile();
    if (!(file.endsWith(QStringLiteral(".3do"), Qt::CaseInsensitive) || IsArchiveName(file)) ||
        !QFileInfo(file).isFile())
        return {};
    return file;
}
} // namespace

QMenu* TMainForm::createPopupMenu()
{
    return nullptr;
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty())
    {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    RunCommand([&] { OpenFile(file); });
}

void TMainForm::CurrGeoSetClick()
{
    CurrentGeoSetIndex = static_cast<std::uint16_t>(CurrGeoSet->Position());
    ShowGeoSetNumber();
    ShowMeshInfo();
    OpenPreview();
}

void TMainForm::mnuFileExitClick()
{
    close();
}

void TMainForm::OpenPreview(bool reportSteps)
{
    const auto status = [&](const char* text)
    {
        if (reportSteps)
            ShowStatus(QString::fromLatin1(text));
    };
    status(kStatusConverting);
    const std::string previewFile = PreviewFileName();
    WriteXFile(previewFile);
    status(kStatusCreating);
    // Emptied first, so that a preview that fails to open leaves none behind as the newest.
    D3DForm = nullptr;
    TD3DForm* preview = TD3DForm::Create(this, previewFile, PreviewLooks());
    D3DForm = preview;
    preview->ModelSerial = FModelSerial;
    preview->GeoSetIndex = CurrentGeoSetIndex;
    preview->OnClosed = [this] { UpdateAnimationItem(); };
    status("");
    if (D3DForm)
        D3DForm->show();
    UpdateAnimationItem();
}

void TMainForm::UpdateAnimationItem()
{
    mnuGameAnimation->setEnabled(D3DForm && D3DForm->isVisible());
}

TAnimationForm* TMainForm::AnimationForm(bool create)
{
    auto* preview = dynamic_cast<TD3DForm*>(D3DForm.data());
    if (!preview || !preview->isVisible())
        return nullptr;
    if (auto* form = dynamic_cast<TAnimationForm*>(preview->AnimationWindow.data()))
        return form;
    if (!create)
        return nullptr;
    // The keys are looked for where the model's materials are, and checked against it.
    if (preview->ModelSerial != FModelSerial || preview->GeoSetIndex != CurrentGeoSetIndex)
        throw EKeyError(kPreviewModelGone);
    TAnimationModel model;
    model.Source =
        std::make_shared<const TAssetSource>(ModelAssetSource(FModelLocation, FGame.Folder));
    model.Nodes = *HierarchyNodes;
    model.GeoSet =
        std::make_shared<const TPosingGeoSet>(PosingGeoSet(*CurrentModel, CurrentGeoSetIndex));
    auto* form = new TAnimationForm(preview, std::move(model));
    preview->AnimationWindow = form;
    return form;
}

void TMainForm::mnuGameAnimationClick()
{
    TAnimationForm* form = AnimationForm(true);
    if (!form)
        return;
    form->show();
    form->raise();
    form->activateWindow();
}

void TMainForm::PlayKeyNamed(const QString& name)
{
    TAnimationForm* form = AnimationForm(true);
    if (!form)
        throw EInOutError(kNoPreviewForKey);
    const std::string argument = name.toStdString();
    const TAssetSource source = ModelAssetSource(FModelLocation, FGame.Folder);
    const std::optional<TAnimationFile> file = FindAnimationFile(argument, source, "3do/key");
    if (!file)
        throw EInOutError(FormatText(kAnimationKeyNotFoundFormat, {argument}));
    form->PlayKeyBytes(file->Bytes, file->Title, file->Where);
}

void TMainForm::PlayKeyEntry(const std::shared_ptr<const TGobArchive>& archive, std::size_t entry)
{
    TAnimationForm* form = AnimationForm(true);
    if (!form)
        throw EInOutError(kNoPreviewForKey);
    const std::string name(archive->Entry(entry).Name);
    std::string title = name.substr(name.find_last_of("/\\") + 1);
    title = title.substr(0, title.find_last_of('.'));
    form->PlayKeyBytes(archive->Read(entry), title, name);
}

// ---------------------------------------------------------------------------------------------
// Added: the game's files

void TMainForm::mnuGameTexturesClick()
{
    const bool on = mnuGameTextures->isChecked();
    mnuGameTextures->setChecked(FGame.Textures); // until the choice is saved
    TGameSettings next = FGame;
    next.Textures = on;
    ChangeGameSettings(next, kGameTexturesKey, on ? "1" : "0");
}

void TMainForm::mnuGameFolderClick()
{
    const QString folder =
        Dialogs().FolderName(this, tr("Game Folder"), QString::fromStdString(FGame.Folder));
    if (folder.isEmpty())
        return;
    if (!LooksLikeGameFolder(folder.toStdString()) &&
        !Dialogs().Ask(this, QString::fromLatin1(kAppTitle),
                       QString::fromLatin1(kNotAGameFolder).arg(QDir::toNativeSeparators(folder))))
        return;
    TGameSettings next = FGame;
    next.Folder = folder.toStdString();
    ChangeGameSettings(next, kGameFolderKey, next.Folder);
}

void TMainForm::mnuGameClearFolderClick()
{
    TGameSettings next = FGame;
    next.Folder.clear();
    ChangeGameSettings(next, kGameFolderKey, {});
}

void TMainForm::mnuGameColormapClick()
{
    // What the current model would see: its own archive or folder, then the game folder.
    const TAssetSource source = ModelAssetSource(FModelLocation, FGame.Folder);
    QStringList items{QString::fromLatin1(kDefaultColormapItem)};
    std::vector<std::string> choices{std::string()};
    for (const TAssetListing& listing : source.List(kColormapFolder, "*.cmp"))
    {
        // The default is listed once, as the first item.
        if (SameText(listing.GamePath, kDefaultColormapPath))
            continue;
        items << MessageText(listing.GamePath.c_str());
        choices.push_back(listing.GamePath);
    }
    const auto chosen =
        std::find_if(choices.begin(), choices.end(),
                     [this](const std::string& c) { return SameText(c, FGame.Colormap); });
    const bool savedDefault = SameText(FGame.Colormap, kDefaultColormapPath);
    int current = savedDefault ? 0 : static_cast<int>(chosen - choices.begin());
    if (chosen == choices.end() && !savedDefault)
    {
        // Kept in the list, so that confirming the dialog leaves the choice as it is.
        items << QString::fromLatin1(kColormapNotSeen).arg(MessageText(FGame.Colormap.c_str()));
        choices.push_back(FGame.Colormap);
    }
    const std::optional<int> answer =
        Dialogs().ChooseItem(this, tr("Colormap"), tr("Colours of the materials:"), items, current);
    if (!answer || *answer < 0 || *answer >= static_cast<int>(choices.size()) ||
        choices[static_cast<std::size_t>(*answer)] == FGame.Colormap ||
        (*answer == 0 && savedDefault))
        return;
    TGameSettings next = FGame;
    next.Colormap = choices[static_cast<std::size_t>(*answer)];
    ChangeGameSettings(next, kGameColormapKey, next.Colormap);
}

void TMainForm::ChangeGameSettings(const TGameSettings& next, const char* key,
                                   const std::string& value)
{
    TSettingsFile(SettingsFileName()).WriteString(kGameSection, key, value);
    FGame = next;
    FMaterials.reset();
    ShowGameSettings();
    // Added: the browsers' thumbnails follow the textures switch, as previews do.
    for (TArchiveForm* form : ArchiveBrowsers())
        form->SetTextures(FGame.Textures);
    // Deliberate: only the newest preview renders, so only it shows the change; older ones
    // keep what they were made with, as they keep their geoset.
    if (auto* preview = dynamic_cast<TD3DForm*>(D3DForm.data()))
        preview->Reload(PreviewLooks());
}

void TMainForm::ShowGameSettings()
{
    mnuGameTextures->setChecked(FGame.Textures);
    mnuGameClearFolder->setEnabled(!FGame.Folder.empty());
    mnuGameFolderInUse->setText(
        FGame.Folder.empty()
            ? QString::fromLatin1(kNoFolderInUse)
            : QString::fromLatin1(kFolderInUse)
                  .arg(QDir::toNativeSeparators(QString::fromStdString(FGame.Folder))
                           .replace(QLatin1Char('&'), QStringLiteral("&&"))));
}

TPreviewLooks TMainForm::PreviewLooks()
{
    if (!FGame.Textures || CurrentModel->Materials.empty())
        return {};
    if (!FMaterials)
    {
        FMaterials = FindModelMaterials(CurrentModel->Materials, FModelLocation, FGame.Folder,
                                        FGame.Colormap, true);
        if (!FMaterials->ColormapProblem.empty())
            Dialogs().Message(this, QString::fromLatin1(kAppTitle),
                              QString::fromLatin1(kColormapGivesWay)
                                  .arg(MessageText(FMaterials->ColormapProblem.c_str())),
                              QMessageBox::Warning);
    }
    std::vector<std::string> faceWarnings;
    TPreviewLooks looks;
    looks.Faces = BuildFaceLooks(*CurrentModel, CurrentGeoSetIndex, FMaterials->Materials.Looks,
                                 &faceWarnings);
    looks.Summary = QString::fromUtf8(MaterialSummary(*FMaterials, faceWarnings));
    return looks;
}

void TMainForm::Direct3DViewer1Click()
{
    OpenPreview(true);
}

void TMainForm::OpenView(int plane)
{
    // Until the view unit installs its factory there is no view window to open.
    if (!ViewFactory)
        return;
    QWidget* view = ViewFactory(this, plane);
    QMdiSubWindow* sub = MdiArea->addSubWindow(view);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(kViewOuterWidth, kViewOuterHeight);
    sub->show();
    MdiArea->setActiveSubWindow(sub);
}

void TMainForm::FrontView1Click()
{
    OpenView(0);
}

void TMainForm::TopView1Click()
{
    OpenView(2);
}

void TMainForm::SideView1Click()
{
    OpenView(1);
}

void TMainForm::mnuViewStructureClick()
{
    if (mnuViewStructure->isChecked())
        StructureForm->show();
    else
        StructureForm->hide();
}

void TMainForm::mnuFilePreferencesClick()
{
    PrefForm->exec();
}

void TMainForm::PopUpColorClick()
{
    const auto chosen = Dialogs().ChooseColor(this, BackgroundColor);
    if (!chosen)
        return;
    BackgroundColor = *chosen;
    TSettingsFile(SettingsFileName()).WriteInteger(kColorsSection, "Background", BackgroundColor);
}

void TMainForm::ShowMeshInfo()
{
    const T3DOMesh& mesh = CurrentModel->Get(CurrentGeoSetIndex).Meshes.Get(CurrentMeshIndex);
    CurrData->setText(QStringLiteral("%1 Vertices, %2 Faces, Node #%3")
                          .arg(mesh.Vertices.Count())
                          .arg(mesh.Faces.Count())
                          .arg(mesh.NodeIndex));
}

void TMainForm::ShowGeoSetNumber()
{
    CurrGeoDisp->setText(QStringLiteral("GeoSet: %1").arg(CurrentGeoSetIndex));
}

void TMainForm::SetBackground(std::int32_t color)
{
    MdiArea->setBackground(ToQColor(color));
}

// ---------------------------------------------------------------------------------------------
// Status bar and views

void TMainForm::SetStatusPanel(int index, const QString& text)
{
    if (index < 0 || index >= StatusPanels.size())
        throw EListError();
    StatusPanels[index]->setText(text);
}

QString TMainForm::StatusPanel(int index) const
{
    if (index < 0 || index >= StatusPanels.size())
        throw EListError();
    return StatusPanels[index]->text();
}

TViewInfo* TMainForm::ActiveView() const
{
    // currentSubWindow, not activeSubWindow: the active child does not depend on whether
    // this application has the focus.
    const QMdiSubWindow* sub = MdiArea->currentSubWindow();
    return sub ? dynamic_cast<TViewInfo*>(sub->widget()) : nullptr;
}

void TMainForm::ShowStatus(const QString& message)
{
    const TViewInfo* view = ActiveView();
    if (!view)
        return;
    char zoom[64];
    std::snprintf(zoom, sizeof zoom, "%12.2f", view->Zoom());
    SetStatusPanel(1, QString::fromStdString(TrimLeadingSpaces(zoom)));
    SetStatusPanel(5, message);
    if (view->PickMode() == 0)
        SetStatusPanel(3, QStringLiteral("VERT"));
    else if (view->PickMode() == 1)
        SetStatusPanel(3, QStringLiteral("POLY"));
    if (view->Projection() == 0)
        SetStatusPanel(4, QStringLiteral("PAR"));
    else if (view->Projection() == 1)
        SetStatusPanel(4, QStringLiteral("PER"));
}

void TMainForm::updateMenus()
{
    const TViewInfo* view = ActiveView();
    MergeMenus(view ? view->MergedMenus() : QList<QMenu*>());
}

void TMainForm::MergeMenus(const QList<QMenu*>& menus)
{
    QMenuBar* bar = menuBar();
    for (const QPointer<QMenu>& menu : FMerged)
        if (menu)
            bar->removeAction(menu->menuAction());
    FMerged.clear();
    for (const QPointer<QAction>& action : FReplaced)
        if (action)
            action->setVisible(true);
    FReplaced.clear();

    for (QMenu* menu : menus)
    {
        const int group = GroupIndex(menu);
        for (QMenu* own : FFrameMenus)
            if (GroupIndex(own) == group && own->menuAction()->isVisible())
            {
                own->menuAction()->setVisible(false);
                FReplaced.append(own->menuAction());
            }
        QAction* before = nullptr;
        for (QAction* action : bar->actions())
            if (action->menu() && GroupIndex(action->menu()) > group)
            {
                before = action;
                break;
            }
        bar->insertAction(before, menu->menuAction());
        FMerged.append(menu);
    }
}

void TMainForm::updateWindowMenu()
{
    qDeleteAll(FWindowListActions);
    FWindowListActions.clear();
    const QList<QMdiSubWindow*> windows = MdiArea->subWindowList();
    if (windows.isEmpty())
        return;
    FWindowListActions.append(mnuWindow->addSeparator());
    for (int i = 0; i < windows.size(); ++i)
    {
        QMdiSubWindow* sub = windows[i];
        QAction* action = mnuWindow->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
            sub->widget() ? sub->widget()->windowTitle() : sub->windowTitle()));
        action->setCheckable(true);
        action->setChecked(sub == MdiArea->currentSubWindow());
        connect(action, &QAction::triggered, this,
                [this, sub = QPointer<QMdiSubWindow>(sub)]
                {
                    if (sub)
                        MdiArea->setActiveSubWindow(sub);
                });
        FWindowListActions.append(action);
    }
}

// ---------------------------------------------------------------------------------------------
// Start-up

void CreateForms()
{
    // Added: the colours chosen in an earlier run are read back.
    ReadColorRoles(SettingsFileName());
    MainForm = new TMainForm;
    ProgressForm = new TProgressForm(MainForm);
    StructureForm = new TStructureForm(MainForm->mnuViewStructure, MainForm);
    PrefForm = new TPrefForm(MainForm);
    QObject::connect(PrefForm, &TPrefForm::BackgroundChosen, MainForm, &TMainForm::SetBackground);
}

void DestroyForms()
{
    delete MainForm; // owns the other three
    MainForm = nullptr;
    ProgressForm = nullptr;
    StructureForm = nullptr;
    PrefForm = nullptr;
}
