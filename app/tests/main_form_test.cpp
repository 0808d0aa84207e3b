// The main window driven through its actions and arrows, with dialogs answered by a fake.
#include "F_Main.h"
#include "F_Pref.h"
#include "F_Progrs.h"
#include "F_Strctr.h"
#include "view/colors.h"
#include "model/model.h"
#include "testsupport.h"
#include "formats/xexport.h"
#include "F_D3D.h"
#include "F_EDIT.h"
#include "d3drmfake.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <fstream>
#include <sstream>

#include <memory>

namespace
{

// A view window as the view unit will make it: a widget that tells its zoom, modes and menus.
class TFakeView : public QWidget, public TViewInfo
{
public:
    TFakeView(TViewHost* host, int plane) : Host(host), Plane(plane) {}
    double Zoom() const override { return FZoom; }
    int PickMode() const override { return FPickMode; }
    int Projection() const override { return FProjection; }
    QList<QMenu*> MergedMenus() const override { return Menus; }

    TViewHost* Host;
    int Plane;
    double FZoom = 1000;
    int FPickMode = 0;
    int FProjection = 0;
    QList<QMenu*> Menus;
};

QMenu* GroupMenu(QWidget* owner, const QString& title, int group)
{
    auto* menu = new QMenu(title, owner);
    menu->setProperty(kGroupIndexProperty, group);
    menu->addAction(QStringLiteral("item"));
    return menu;
}

// The filter texts an open dialog shows for a filter list.
QStringList ShownFilters(const QString& filter)
{
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    SetOpenFilters(dialog, filter);
    const auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QStringList shown;
    for (int i = 0; combo && i < combo->count(); ++i)
        shown << combo->itemText(i);
    return shown;
}

QStringList VisibleMenuTitles()
{
    QStringList titles;
    for (QAction* a : MainForm->menuBar()->actions())
        if (a->isVisible())
            titles << a->text();
    return titles;
}

QStringList AllMenuTitles()
{
    QStringList titles;
    for (QAction* a : MainForm->menuBar()->actions())
        titles << a->text();
    return titles;
}

} // namespace

class MainFormTest : public QObject
{
    Q_OBJECT

private:
    TFakeDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;
    QList<TFakeView*> FViews;
    std::function<void(TFakeView*)> FDressView;

    QString Model(const char* name, const std::vector<std::vector<int>>& geoSets,
                  int firstNumber = 0)
    {
        return WriteTextFile(FDir->filePath(QString::fromLatin1(name)),
                             ModelText(geoSets, firstNumber));
    }

    void Open(const QString& fileName)
    {
        FDialogs.FileAnswers << fileName;
        MainForm->mnuFileOpen->trigger();
    }

    QString Settings() const { return FDir->filePath("cfg/Quillmark/quillmark.ini"); }

    std::function<QWidget*(TViewHost*, int)> FRealViewFactory;

private slots:
    void initTestCase()
    {
        RegisterViewFactory();
        FRealViewFactory = ViewFactory;
    }

    void realViewWindowOpensAtItsDesignSizeWithItsMenuAfterFile()
    {
        QVERIFY(FRealViewFactory);
        ViewFactory = FRealViewFactory;
        MainForm->show();
        MainForm->FrontView1->trigger();
        QMdiSubWindow* sub = MainForm->MdiArea->currentSubWindow();
        QVERIFY(sub);
        QCOMPARE(sub->size(), QSize(299, 250));
        QCOMPARE(sub->widget()->windowTitle(), QStringLiteral("Front View"));
        QCOMPARE(VisibleMenuTitles(), (QStringList{"&File", "&Game", "&View"}));
    }

    void init()
    {
        FDialogs = TFakeDialogs();
        SetDialogs(&FDialogs);
        FDir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", FDir->filePath("cfg").toLocal8Bit());
        for (const TColorRole& role : ColorRoles)
            *role.Variable = 0;
        FViews.clear();
        FDressView = nullptr;
        ViewFactory = [this](TViewHost* host, int plane)
        {
            auto* view = new TFakeView(host, plane);
            if (FDressView)
                FDressView(view);
            FViews.append(view);
            return view;
        };
        CreateForms();
    }

    void cleanup()
    {
        DestroyForms();
        ViewFactory = nullptr;
        SetDialogs(nullptr);
        QCOMPARE(FDialogs.Unexpected, 0);
    }

    void startsWithTheEmptyModelAndHiddenTools()
    {
        QCOMPARE(MainForm->windowTitle(), QStringLiteral("Quillmark"));
        QCOMPARE(MessageCaption, QStringLiteral("Vellspore"));
        QCOMPARE(MainForm->CurrGeoDisp->text(), QStringLiteral("GeoSet: 0"));
        QCOMPARE(MainForm->CurrData->text(), QStringLiteral("0 Vertices, 0 Faces, Node #0"));
        QCOMPARE(CurrentModel->Get(0).Meshes.Get(0).Name, std::string("NEWOBJECT"));
        QVERIFY(ProgressForm && StructureForm && PrefForm);
        QVERIFY(!ProgressForm->isVisible() && !StructureForm->isVisible() &&
                !PrefForm->isVisible());
        QCOMPARE(MainForm->CurrGeoSet->Max(), 0);
        QCOMPARE(MainForm->CurrGeoSet->Position(), 0);
        QVERIFY(!MainForm->mnuViewStructure->isChecked());
        QVERIFY(MainForm->mnuViewStructure->isCheckable());
    }

    void layoutAndDeclaredVisibility()
    {
        MainForm->show();
        // The toolbar and the status bar are hidden, so the client is the central widget.
        QCOMPARE(MainForm->centralWidget()->size(), QSize(621, 424));
        QCOMPARE(MainForm->LeftPane->width(), 137);
        QVERIFY(MainForm->LeftPane->isVisible());
        QVERIFY(!MainForm->StatusBar->isVisible());
        QVERIFY(!MainForm->TopPane->isVisible());
        // No pop-up of Qt's own on the bars, which could show the tool bar.
        QVERIFY(static_cast<QMainWindow*>(MainForm)->createPopupMenu() == nullptr);
        QVERIFY(!MainForm->ControlTopPane->isVisible());
        QVERIFY(!MainForm->HierarchyOutline->isVisible());
        QCOMPARE(MainForm->Notebook1->count(), 2);
        QCOMPARE(MainForm->Notebook1->currentWidget()->objectName(), QStringLiteral("MeshSelect"));
        QCOMPARE(MainForm->Notebook1->widget(1)->objectName(), QStringLiteral("MeshEdit"));
        QCOMPARE(MainForm->CurrGeoDisp->geometry(), QRect(4, 7, 101, 13));
        QCOMPARE(MainForm->CurrGeoSet->geometry(), QRect(114, 2, 16, 24));
        QCOMPARE(MainForm->CuurControlBack->height(), 73);
        QCOMPARE(MainForm->CurrData->height(), 41);

        QList<int> widths;
        for (QLabel* panel : MainForm->StatusPanels)
        {
            widths << panel->width();
            QCOMPARE(panel->alignment(), Qt::AlignCenter);
        }
        QCOMPARE(widths, (QList<int>{180, 45, 21, 40, 30, 50}));

        QCOMPARE(AllMenuTitles(), (QStringList{"&File", "&Game", "&Edit", "&Interface", "&Create",
                                               "&Window", "&Help"}));
        QCOMPARE(VisibleMenuTitles(), (QStringList{"&File", "&Game"}));
        QStringList fileItems;
        for (QAction* a : MainForm->mnuFile->actions())
            if (a->isVisible())
                fileItems << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(fileItems, (QStringList{"&Open...", "-", "E&xit"}));
        QCOMPARE(MainForm->mnuFileOpen->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        QCOMPARE(MainForm->mnuFileExit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
        QVERIFY(!MainForm->mnuFilePreferences->isVisible());
        QCOMPARE(MainForm->mnuCreate->property(kGroupIndexProperty).toInt(), 20);
        QCOMPARE(MainForm->mnuHelp->property(kGroupIndexProperty).toInt(), 22);
        QCOMPARE(MainForm->OpenBut->objectName(), QStringLiteral("OpenBut"));
    }

    void leftPaneLabelsAreDarkTextOnTheGreyPane()
    {
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        const QImage pane = MainForm->LeftPane->grab().toImage();
        const QColor grey = MainForm->palette().color(QPalette::Dark);
        QCOMPARE(pane.pixel(2, 2), grey.rgb());
        for (const QLabel* label : {MainForm->CurrGeoDisp, MainForm->CurrData})
        {
            const QRect box(label->mapTo(MainForm->LeftPane, QPoint()), label->size());
            int darkest = 255;
            for (int y = box.top(); y <= box.bottom(); ++y)
                for (int x = box.left(); x <= box.right(); ++x)
                    darkest = std::min(darkest, qGray(pane.pixel(x, y)));
            QVERIFY2(darkest < qGray(grey.rgb()) - 100, qPrintable(label->text()));
        }
    }

    void openShowsTheFirstSetAndSetsTheArrowRange()
    {
        Open(Model("three.3do", {{5, 4}, {3}, {7}}));
        QCOMPARE(FDialogs.Filters.size(), 1);
        QCOMPARE(ShownFilters(FDialogs.Filters.first()),
                 (QStringList{"Jedi Knight 3DO (*.3do)", "All Files"}));
        QVERIFY(FDialogs.Messages.isEmpty());
        QCOMPARE(CurrentModel->Count(), 3);
        QCOMPARE(MainForm->CurrGeoSet->Max(), 2);
        QCOMPARE(MainForm->CurrGeoDisp->text(), QStringLiteral("GeoSet: 0"));
        // Mesh 0 of two is carried by node 1.
        QCOMPARE(MainForm->CurrData->text(), QStringLiteral("5 Vertices, 1 Faces, Node #1"));
        QVERIFY(!ProgressForm->isVisible());
    }

    void openAndArrowsWriteThePreviewFileOfTheCurrentSet()
    {
        const std::string preview = PreviewFileName();
        std::remove(preview.c_str());
        auto fileText = [&]
        {
            std::ifstream in(preview, std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            return text.str();
        };
        Open(Model("two.3do", {{3}, {6}}));
        const std::string first = fileText();
        QVERIFY(first.rfind("xof 0302txt 0064\r\n", 0) == 0);
        QVERIFY(first.find("Mesh {\r\n 3;\r\n") != std::string::npos);
        QTest::mouseClick(MainForm->CurrGeoSet->UpButton, Qt::LeftButton);
        QVERIFY(fileText().find("Mesh {\r\n 6;\r\n") != std::string::npos);
    }

    void droppingAModelOpensItAsFileOpenDoes()
    {
        const QString file = Model("dropped.3do", {{4}, {2}});
        auto drop = [](const QList<QUrl>& urls) { return DropUrls(MainForm, urls); };
        // Anything but one existing .3do file is refused and changes nothing.
        const QString text = WriteTextFile(FDir->filePath("notes.txt"), "GEOSET 0");
        QVERIFY(!drop({QUrl::fromLocalFile(text)}));
        QVERIFY(!drop({QUrl(QStringLiteral("https://example.invalid/x.3do"))}));
        QVERIFY(!drop({QUrl::fromLocalFile(file), QUrl::fromLocalFile(file)}));
        QCOMPARE(CurrentModel->Get(0).Meshes.Get(0).Name, std::string("NEWOBJECT"));

        QVERIFY(drop({QUrl::fromLocalFile(file)}));
        QCOMPARE(CurrentModel->Count(), 2);
        QCOMPARE(MainForm->CurrGeoSet->Max(), 1);
        QCOMPARE(MainForm->CurrGeoDisp->text(), QStringLiteral("GeoSet: 0"));
        QVERIFY(MainForm->CurrData->text().startsWith(QStringLiteral("4 Vertices")));
        QVERIFY(FDialogs.Filters.isEmpty());
    }

    void eachOpenAndArrowStepShowsOneMorePreview()
    {
        auto previews = []
        {
            int n = 0;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (dynamic_cast<TD3DForm*>(w) && w->isVisible())
                    ++n;
            return n;
        };
        const int before = previews();
        Open(Model("three.3do", {{3}, {4}, {5}}));
        QCOMPARE(previews(), before + 1);
        QVERIFY(D3DForm);
        QPointer<QWidget> first = D3DForm;
        QTest::mouseClick(MainForm->CurrGeoSet->UpButton, Qt::LeftButton);
        QCOMPARE(previews(), before + 2);
        QVERIFY(D3DForm != first);
        QVERIFY(first); // earlier previews stay open

        // A preview that cannot be built is reported; earlier ones are untouched.
        auto log = std::make_shared<TFakeLog>();
        log->Drivers = {FakeDriver(1, "RGB Emulation", DDBD_16 | DDBD_24 | DDBD_32)};
        log->Failures["CreateViewport"] = static_cast<HRESULT>(0x80000003u);
        SetD3DPlatform(std::make_shared<TFakePlatform>(log));
        QTest::mouseClick(MainForm->CurrGeoSet->UpButton, Qt::LeftButton);
        SetD3DPlatform(nullptr);
        QCOMPARE(previews(), before + 2);
        QVERIFY(!D3DForm);
        QVERIFY(first);
        QCOMPARE(FDialogs.Messages.size(), 1);
        QVERIFY(FDialogs.Messages[0].second.startsWith(
            QStringLiteral("DirectX call failed: 80000003\n")));
        QCOMPARE(MainForm->CurrGeoDisp->text(), QStringLiteral("GeoSet: 2"));
    }

    void cancelledOpenChangesNothing()
    {
        FDialogs.FileAnswers << QString();
        MainForm->mnuFileOpen->trigger();
        QCOMPARE(FDialogs.Filters.size(), 1);
        QCOMPARE(CurrentModel->Get(0).Meshes.Get(0).Name, std::string("NEWOBJECT"));
        QCOMPARE(MainForm->CurrData->text(), QStringLiteral("0 Vertices, 0 Faces, Node #0"));
    }

    void toolbarOpenButtonOpensToo()
    {
        FDialogs.FileAnswers << QString();
        MainForm->OpenBut->click();
        QCOMPARE(FDialogs.Filters.size(), 1);
    }

    void arrowsStepWithinTheRange()
    {
        Open(Model("three.3do", {{5}, {3, 1}, {4}}));
        TUpDown* arrows = MainForm->CurrGeoSet;
        const QString sentinel = QStringLiteral("untouched");

        MainForm->CurrData->setText(sentinel);
        QTest::mouseClick(arrows->DownButton, Qt::LeftButton);
        QCOMPARE(MainForm->CurrData->text(), sentinel);
        QCOMPARE(arrows->Position(), 0);

        QTest::mouseClick(arrows->UpButton, Qt::LeftButton);
        QCOMPARE(CurrentGeoSetIndex, std::uint16_t(1));
        QCOMPARE(MainForm->CurrGeoDisp->text(), QStringLiteral("GeoSet: 1"));
        QCOMPARE(MainForm->CurrData->text(), QStringLiteral("3 Vertices, 1 Faces, Node #1"));

        QTest::mouseClick(arrows->UpButton, Qt::LeftButton);
        QCOMPARE(MainForm->CurrGeoDisp->text(), QStringLiteral("GeoSet: 2"));
        MainForm->CurrData->setText(sentinel);
        QTest::mouseClick(arrows->UpButton, Qt::LeftButton);
        QCOMPARE(MainForm->CurrData->text(), sentinel);
        QCOMPARE(arrows->Position(), 2);
        QCOMPARE(CurrentGeoSetIndex, std::uint16_t(2));
    }

    void newLoadDoesNotResetTheArrows()
    {
        Open(Model("a.3do", {{3}, {3}, {3}}));
        QTest::mouseClick(MainForm->CurrGeoSet->UpButton, Qt::LeftButton);
        QTest::mouseClick(MainForm->CurrGeoSet->UpButton, Qt::LeftButton);
        QCOMPARE(CurrentGeoSetIndex, std::uint16_t(2));

        Open(Model("b.3do", {{4}, {5}, {6}}));
        QCOMPARE(MainForm->CurrGeoDisp->text(), QStringLiteral("GeoSet: 0"));
        QCOMPARE(CurrentGeoSetIndex, std::uint16_t(0));
        QCOMPARE(MainForm->CurrGeoSet->Position(), 2);

        const QString sentinel = QStringLiteral("untouched");
        MainForm->CurrData->setText(sentinel);
        QTest::mouseClick(MainForm->CurrGeoSet->UpButton, Qt::LeftButton);
        QCOMPARE(MainForm->CurrData->text(), sentinel);
        QTest::mouseClick(MainForm->CurrGeoSet->DownButton, Qt::LeftButton);
        QCOMPARE(CurrentGeoSetIndex, std::uint16_t(1));
        QCOMPARE(MainForm->CurrGeoDisp->text(), QStringLiteral("GeoSet: 1"));
        QCOMPARE(MainForm->CurrData->text(), QStringLiteral("5 Vertices, 1 Faces, Node #0"));
    }

    void failedLoadIsReportedAndKeepsWhatWasShown()
    {
        Open(Model("good.3do", {{3}, {4}}));
        QTest::mouseClick(MainForm->CurrGeoSet->UpButton, Qt::LeftButton);
        const QString data = MainForm->CurrData->text();

        const QString bad = WriteTextFile(FDir->filePath("bad.3do"),
                                          "GEOSETS 1\r\nGEOSET 0\r\nMESHES 1\r\nMESH 0\r\n"
                                          "VERTICES 0x3\r\n");
        Open(bad);
        QCOMPARE(FDialogs.Messages.size(), 1);
        QCOMPARE(FDialogs.Messages[0].first, QStringLiteral("Quillmark"));
        QCOMPARE(FDialogs.Messages[0].second, QStringLiteral("'0x3' is not a valid integer value"));
        QCOMPARE(MainForm->CurrGeoDisp->text(), QStringLiteral("GeoSet: 1"));
        QCOMPARE(MainForm->CurrData->text(), data);
        QCOMPARE(CurrentGeoSetIndex, std::uint16_t(1));
        QCOMPARE(MainForm->CurrGeoSet->Max(), 1);
        QCOMPARE(CurrentModel->Count(), 2);

        // The program carries on: the arrows still work on the model it kept.
        QTest::mouseClick(MainForm->CurrGeoSet->DownButton, Qt::LeftButton);
        QCOMPARE(MainForm->CurrData->text(), QStringLiteral("3 Vertices, 1 Faces, Node #0"));
    }

    void geoSetMismatchIsShownAndTheLoadGoesOn()
    {
        Open(Model("mismatch.3do", {{3}}, 1));
        QCOMPARE(FDialogs.Messages.size(), 1);
        QCOMPARE(FDialogs.Messages[0].first, QStringLiteral("3DO Import Error"));
        QCOMPARE(FDialogs.Messages[0].second, QStringLiteral("Mismatch Error Occurred. 1 to 0"));
        QCOMPARE(MainForm->CurrData->text(), QStringLiteral("3 Vertices, 1 Faces, Node #0"));
    }

    void colourRolesComeBackAtStart()
    {
        DestroyForms();
        QDir().mkpath(FDir->filePath("cfg/Quillmark"));
        WriteTextFile(Settings(), "[COLORS]\r\nVertex=255\r\nGrid Marks=16711680\r\n");
        CreateForms();
        QCOMPARE(VertexColor, 255);
        QCOMPARE(GridMarksColor, 16711680);
        QCOMPARE(BackgroundColor, 0);
    }

    void showStatusWithoutAViewChangesNothing()
    {
        for (int i = 0; i < 6; ++i)
            MainForm->SetStatusPanel(i, QStringLiteral("p%1").arg(i));
        MainForm->ShowStatus(QStringLiteral("message"));
        MainForm->Direct3DViewer1->trigger();
        for (int i = 0; i < 6; ++i)
            QCOMPARE(MainForm->StatusPanel(i), QStringLiteral("p%1").arg(i));
        QVERIFY_THROWS_EXCEPTION(EListError, MainForm->StatusPanel(6));
        QVERIFY_THROWS_EXCEPTION(EListError, MainForm->SetStatusPanel(-1, QString()));
    }

    void viewCommandsOpenViewsOnTheirPlanes()
    {
        MainForm->FrontView1->trigger();
        MainForm->TopView1->trigger();
        MainForm->SideView1->trigger();
        MainForm->FrontView1->trigger();
        QCOMPARE(FViews.size(), 4);
        QCOMPARE(MainForm->MdiArea->subWindowList().size(), 4);
        QList<int> planes;
        for (TFakeView* v : FViews)
        {
            planes << v->Plane;
            QCOMPARE(v->Host, static_cast<TViewHost*>(MainForm));
        }
        QCOMPARE(planes, (QList<int>{0, 2, 1, 0}));
        QCOMPARE(MainForm->MdiArea->currentSubWindow()->widget(), FViews.last());
    }

    void showStatusWritesTheActiveViewsState()
    {
        MainForm->FrontView1->trigger();
        TFakeView* view = FViews.last();
        MainForm->SetStatusPanel(0, QStringLiteral("p0"));
        MainForm->SetStatusPanel(2, QStringLiteral("p2"));
        MainForm->ShowStatus(QStringLiteral("hello"));
        QCOMPARE(MainForm->StatusPanel(1), QStringLiteral("1000.00"));
        QCOMPARE(MainForm->StatusPanel(3), QStringLiteral("VERT"));
        QCOMPARE(MainForm->StatusPanel(4), QStringLiteral("PAR"));
        QCOMPARE(MainForm->StatusPanel(5), QStringLiteral("hello"));
        QCOMPARE(MainForm->StatusPanel(0), QStringLiteral("p0"));
        QCOMPARE(MainForm->StatusPanel(2), QStringLiteral("p2"));

        view->FZoom = -3.14159;
        view->FPickMode = 1;
        view->FProjection = 1;
        MainForm->ShowStatus(QString());
        QCOMPARE(MainForm->StatusPanel(1), QStringLiteral("-3.14"));
        QCOMPARE(MainForm->StatusPanel(3), QStringLiteral("POLY"));
        QCOMPARE(MainForm->StatusPanel(4), QStringLiteral("PER"));
        QCOMPARE(MainForm->StatusPanel(5), QString());

        // Unknown modes leave their panels alone; a zoom wider than the field is kept whole.
        view->FZoom = 123456789012.345;
        view->FPickMode = 2;
        view->FProjection = -1;
        MainForm->ShowStatus(QStringLiteral("x"));
        QCOMPARE(MainForm->StatusPanel(1), QStringLiteral("123456789012.35"));
        QCOMPARE(MainForm->StatusPanel(3), QStringLiteral("POLY"));
        QCOMPARE(MainForm->StatusPanel(4), QStringLiteral("PER"));

        // File, Open writes no status; the Tool Palette's preview ends with an empty message.
        Open(Model("one.3do", {{3}}));
        QCOMPARE(MainForm->StatusPanel(5), QStringLiteral("x"));
        QPointer<QWidget> opened = D3DForm;
        MainForm->Direct3DViewer1->trigger();
        QCOMPARE(MainForm->StatusPanel(5), QString());
        QVERIFY(D3DForm && D3DForm != opened && D3DForm->isVisible());
    }

    void activeViewMenusAreMergedByGroup()
    {
        FDressView = [](TFakeView* v) { v->Menus << GroupMenu(v, QStringLiteral("&View"), 3); };
        MainForm->FrontView1->trigger();
        QCOMPARE(AllMenuTitles(), (QStringList{"&File", "&Game", "&Edit", "&Interface", "&View",
                                               "&Create", "&Window", "&Help"}));
        QCOMPARE(VisibleMenuTitles(), (QStringList{"&File", "&Game", "&View"}));
        QMdiSubWindow* first = MainForm->MdiArea->currentSubWindow();

        // A view whose menu shares the File group takes File's place while it is active.
        FDressView = [](TFakeView* v)
        {
            v->Menus << GroupMenu(v, QStringLiteral("&Model"), 0)
                     << GroupMenu(v, QStringLiteral("&Zoom"), 30);
        };
        MainForm->SideView1->trigger();
        QCOMPARE(VisibleMenuTitles(), (QStringList{"&Game", "&Model", "&Zoom"}));
        QCOMPARE(AllMenuTitles(), (QStringList{"&File", "&Game", "&Model", "&Edit", "&Interface",
                                               "&Create", "&Window", "&Help", "&Zoom"}));

        MainForm->MdiArea->setActiveSubWindow(first);
        QCOMPARE(VisibleMenuTitles(), (QStringList{"&File", "&Game", "&View"}));

        // A view without menus shows the frame's own.
        FDressView = nullptr;
        MainForm->TopView1->trigger();
        QCOMPARE(VisibleMenuTitles(), (QStringList{"&File", "&Game"}));

        MainForm->MdiArea->setActiveSubWindow(first);
        MainForm->MdiArea->closeAllSubWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(MainForm->MdiArea->subWindowList().size(), 0);
        QCOMPARE(AllMenuTitles(), (QStringList{"&File", "&Game", "&Edit", "&Interface", "&Create",
                                               "&Window", "&Help"}));
        QCOMPARE(VisibleMenuTitles(), (QStringList{"&File", "&Game"}));
    }

    void structureItemShowsAndHidesTheStructureWindow()
    {
        MainForm->mnuViewStructure->trigger();
        QVERIFY(MainForm->mnuViewStructure->isChecked());
        QVERIFY(StructureForm->isVisible());
        QCOMPARE(StructureForm->Structure->topLevelItem(0)->text(0), QStringLiteral("3DO Model"));

        MainForm->mnuViewStructure->trigger();
        QVERIFY(!MainForm->mnuViewStructure->isChecked());
        QVERIFY(!StructureForm->isVisible());

        MainForm->mnuViewStructure->trigger();
        StructureForm->close();
        QVERIFY(!StructureForm->isVisible());
        QVERIFY(!MainForm->mnuViewStructure->isChecked());
    }

    void backgroundColorIsChosenAndWrittenAlone()
    {
        FDialogs.ColorAnswers << std::nullopt;
        MainForm->PopUpColor->trigger();
        QCOMPARE(BackgroundColor, 0);
        QVERIFY(!QFile::exists(Settings()));

        BackgroundColor = 77;
        FDialogs.ColorAnswers << 0x0000ff;
        MainForm->PopUpColor->trigger();
        QCOMPARE(FDialogs.ColorPresets, (QList<std::int32_t>{0, 77}));
        QCOMPARE(BackgroundColor, 255);
        QCOMPARE(ReadTextFile(Settings()), QStringLiteral("[COLORS]\nBackground=255\n"));
        // The frame keeps its colour until the preferences are confirmed.
        QVERIFY(MainForm->MdiArea->background().color() != QColor(255, 0, 0));
    }

    void preferencesItemShowsTheDialogModally()
    {
        bool wasModal = false;
        QTimer::singleShot(0,
                           [&]
                           {
                               wasModal = PrefForm->isVisible() && PrefForm->isModal();
                               PrefForm->CancelBut->click();
                           });
        MainForm->mnuFilePreferences->trigger();
        QVERIFY(wasModal);
        QVERIFY(!PrefForm->isVisible());
    }

    void shortcutsReachOnlyTheVisibleCommands()
    {
        MainForm->show();
        MainForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(MainForm));
        FDialogs.FileAnswers << QString();
        QTest::keyClick(MainForm, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(FDialogs.Filters.size(), 1);
        FDialogs.FileAnswers << QString();
        QTest::keyClick(MainForm, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(FDialogs.Filters.size(), 2);
        QCOMPARE(ShownFilters(FDialogs.Filters.last()),
                 (QStringList{"Jedi Knight Archives (*.gob *.goo)", "All Files"}));
        // Ctrl+X is also the hidden Edit, Cut; only Exit may answer it.
        QTest::keyClick(MainForm, Qt::Key_X, Qt::ControlModifier);
        QVERIFY(!MainForm->isVisible());
    }

    void exitClosesTheMainWindow()
    {
        MainForm->show();
        MainForm->mnuFileExit->trigger();
        QVERIFY(!MainForm->isVisible());
    }
};

QTEST_MAIN(MainFormTest)
#include "main_form_test.moc"
