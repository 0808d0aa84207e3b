// The Game menu's texture settings: the looks each new preview is given, what it says about
// missing materials, the colormap list, and the settings file, on the recording 3D fake.
#include "F_Archive.h"
#include "F_D3D.h"
#include "F_Main.h"
#include "view/colors.h"
#include "d3drmfake.h"
#include "game_files.h"
#include "formats/gob.h"
#include "formats/profile.h"
#include "model/model.h"
#include "testsupport.h"
#include "formats/xexport.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

namespace
{

// Two geometry sets of one double-sided, full-bright triangle each, drawn with material 0; the
// list names `materials`.
std::string TexturedModel(const std::vector<std::string>& materials)
{
    std::string s =
        "3DO 2.1\nSECTION: MODELRESOURCE\nMATERIALS " + std::to_string(materials.size()) + "\n";
    for (std::size_t i = 0; i < materials.size(); ++i)
        s += std::to_string(i) + ": " + materials[i] + "\n";
    s += "SECTION: GEOMETRYDEF\nRADIUS 1.0\nINSERT OFFSET 0 0 0\nGEOSETS 2\n";
    for (int g = 0; g < 2; ++g)
        s += "GEOSET " + std::to_string(g) +
             "\nMESHES 1\nMESH 0\nNAME m\nRADIUS 1.0\nGEOMETRYMODE 4\nLIGHTINGMODE 3\n"
             "TEXTUREMODE 0\nVERTICES 3\n0: 0 0 0 0\n1: 1 0 0 0\n2: 0 0 1 0\n"
             "TEXTURE VERTICES 1\n0: 0 0\nVERTEX NORMALS\n0: 0 1 0\n1: 0 1 0\n2: 0 1 0\n"
             "FACES 1\n0: 0 0x1 4 0 0 0.0 3 0,0 1,0 2,0\nFACE NORMALS\n0: 0 1 0\n";
    s += "SECTION: HIERARCHYDEF\nHIERARCHY NODES 1\n"
         "0: 0x0 0x1 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 m\n";
    return s;
}

// An 8-bit material of one 2 x 2 texture.
std::string Texture()
{
    return MatHeader(2, 1, 1) + TextureCel(0, 0) + TextureHeader(2, 2, 0, 1) +
           std::string("\x01\x02\x03\x04", 4);
}

std::string FileBytes(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

} // namespace

class GameMenuTest : public QObject
{
    Q_OBJECT

    TFakeDialogs FDialogs;
    TFakeLogPtr FLog;
    std::unique_ptr<QTemporaryDir> FDir;

    QString Path(const QString& relative) const { return FDir->filePath(relative); }
    QString Settings() const { return Path("cfg/Quillmark/quillmark.ini"); }

    QString Put(const QString& relative, const std::string& bytes)
    {
        QDir().mkpath(QFileInfo(Path(relative)).path());
        return WriteTextFile(Path(relative), bytes);
    }

    void Open(const QString& fileName)
    {
        FDialogs.FileAnswers << fileName;
        MainForm->mnuFileOpen->trigger();
    }

    int FaceLooksCalls() const
    {
        return static_cast<int>(
            std::count_if(FLog->Calls.begin(), FLog->Calls.end(),
                          [](const std::string& call)
                          { return call.find(".SetFaceLooks(") != std::string::npos; }));
    }

    QString Tooltip() const
    {
        const auto* preview = dynamic_cast<TD3DForm*>(D3DForm.data());
        return preview ? preview->D3DWin->toolTip() : QStringLiteral("no preview");
    }

    void Restart()
    {
        DestroyForms();
        CreateForms();
    }

private slots:
    void init()
    {
        FDialogs = TFakeDialogs();
        SetDialogs(&FDialogs);
        FDir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", Path("cfg").toLocal8Bit());
        FLog = std::make_shared<TFakeLog>();
        FLog->Drivers = {FakeDriver(1, "RGB Emulation", DDBD_24 | DDBD_32)};
        FLog->Box = {{-1, -1, -1}, {1, 1, 1}};
        SetD3DPlatform(std::make_shared<TFakePlatform>(FLog));
        DriverTableCount = 0;
        DriversEnumerated = false;
        CreateForms();
    }

    void cleanup()
    {
        DestroyForms();
        SetD3DPlatform(nullptr);
        SetDialogs(nullptr);
        QCOMPARE(FDialogs.Unexpected, 0);
    }

    void menuItemsAndTheirDefaults()
    {
        QStringList items;
        for (QAction* a : MainForm->mnuGame->actions())
            items << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(items.mid(items.indexOf("&Textures") - 1),
                 (QStringList{"-", "&Textures", "Game &Folder...", "C&lear Game Folder",
                              "Game folder: none", "&Colormap..."}));
        QVERIFY(!MainForm->mnuGameFolderInUse->isEnabled());
        QVERIFY(MainForm->mnuGameTextures->isCheckable());
        QVERIFY(MainForm->mnuGameTextures->isChecked());
        QVERIFY(!MainForm->mnuGameClearFolder->isEnabled());
    }

    // The samples find their own material: looks are given. Switched off, no preview gets
    // any, and the preview file is the same byte for byte.
    void texturesOnGiveLooksOffGiveNone()
    {
        const QString walker = QStringLiteral(QUILLMARK_SAMPLES "/walker.3do");
        Open(walker);
        QCOMPARE(FaceLooksCalls(), 1);
        QVERIFY(Tooltip().startsWith(QStringLiteral("1 of 1 material found (colormap: ")));
        const std::string textured = FileBytes(PreviewFileName());

        // The newest preview loads its file again, without looks.
        MainForm->mnuGameTextures->trigger();
        QVERIFY(!MainForm->mnuGameTextures->isChecked());
        QVERIFY(!MainForm->GameSettings().Textures);
        QCOMPARE(Tooltip(), QString());
        const std::size_t before = FLog->Calls.size();
        Open(walker);
        QCOMPARE(FileBytes(PreviewFileName()), textured);
        Open(QStringLiteral(QUILLMARK_SAMPLES "/canister_lod.3do"));
        QTest::mouseClick(MainForm->CurrGeoSet->UpButton, Qt::LeftButton);
        QCOMPARE(MainForm->CurrGeoDisp->text(), QStringLiteral("GeoSet: 1"));
        QCOMPARE(FaceLooksCalls(), 1);
        QVERIFY(FLog->Calls.size() > before);
        QVERIFY(FDialogs.Messages.isEmpty());
    }

    // A missing material: how many were found, with which colormap, and every place the
    // missing one was looked for, the game folder's too.
    void tooltipSaysWhereAMissingMaterialWasLookedFor()
    {
        const QString model = Put("model/sq.3do", TexturedModel({"t.mat", "gone.mat"}));
        Put("model/mat/t.mat", Texture());
        Put("model/misc/cmp/dflt.cmp", Cmp());
        QDir().mkpath(Path("game"));
        FDialogs.FolderAnswers << Path("game");
        FDialogs.AskAnswers << true;
        MainForm->mnuGameFolder->trigger();
        Open(model);
        QCOMPARE(FaceLooksCalls(), 1);
        const QString m = Path("model");
        const QString g = Path("game");
        QCOMPARE(Tooltip(), "1 of 2 materials found (colormap: " + m + "/misc/cmp/dflt.cmp)\n" +
                                "Missing: gone.mat, looked in:\n    " + m +
                                "/3do/mat/gone.mat\n    " + m + "/mat/gone.mat\n    " + m +
                                "/gone.mat\n    " + g + "/3do/mat/gone.mat\n    " + g +
                                "/mat/gone.mat");

        // No material at all: the design's preview, and the tooltip still says why.
        Put("bare/sq.3do", TexturedModel({"gone.mat"}));
        Open(Path("bare/sq.3do"));
        QCOMPARE(FaceLooksCalls(), 1);
        QVERIFY(Tooltip().startsWith(QStringLiteral("0 of 1 material found (colormap: none)\n")));
    }

    // The colormaps the current model and the game folder can see, each once; the chosen one
    // is kept. One that the next model cannot see is reported once, and the default used.
    void colormapListAndAColormapThatIsNoLongerSeen()
    {
        const QString model = Put("model/sq.3do", TexturedModel({"t.mat"}));
        Put("model/mat/t.mat", Texture());
        Put("model/misc/cmp/dflt.cmp", Cmp());
        Put("model/misc/cmp/alt.cmp", Cmp());
        Put("game/misc/cmp/ALT.CMP", Cmp());
        Put("game/misc/cmp/game.cmp", Cmp());
        Put("game/readme.txt", "not a colormap");
        Put("game/3DO/readme.txt", "the game's models would be here");
        FDialogs.FolderAnswers << Path("game");
        MainForm->mnuGameFolder->trigger();
        QVERIFY(FDialogs.Questions.isEmpty());
        Open(model);

        // The default is listed once, first; a saved "misc/cmp/dflt.cmp" is the same choice.
        FDialogs.ItemAnswers << 2;
        MainForm->mnuGameColormap->trigger();
        const QStringList seen{"Default (misc/cmp/dflt.cmp)", "misc/cmp/alt.cmp",
                               "misc/cmp/game.cmp"};
        QCOMPARE(FDialogs.ItemLists.last(), seen);
        QCOMPARE(FDialogs.ItemCurrents.last(), 0);
        QCOMPARE(MainForm->GameSettings().Colormap, std::string("misc/cmp/game.cmp"));
        QVERIFY(Tooltip().startsWith("1 of 1 material found (colormap: " + Path("game") +
                                     "/misc/cmp/game.cmp)"));
        FDialogs.ItemAnswers << std::nullopt;
        MainForm->mnuGameColormap->trigger();
        QCOMPARE(FDialogs.ItemCurrents.last(), 2);

        // Without the game folder the choice is not seen: the newest preview says so once.
        MainForm->mnuGameClearFolder->trigger();
        QCOMPARE(MainForm->GameSettings().Folder, std::string());
        QVERIFY(!MainForm->mnuGameClearFolder->isEnabled());
        QCOMPARE(MessageTexts(FDialogs),
                 std::vector<std::string>{"Colormap not found: misc/cmp/game.cmp\nThe default "
                                          "colormap (misc/cmp/dflt.cmp) is used instead."});
        QCOMPARE(FDialogs.Icons, QList<QMessageBox::Icon>{QMessageBox::Warning});
        QCOMPARE(Tooltip(), "1 of 1 material found (colormap: " + Path("model") +
                                "/misc/cmp/dflt.cmp)\nColormap not found: misc/cmp/game.cmp");
        const int looks = FaceLooksCalls();
        QTest::mouseClick(MainForm->CurrGeoSet->UpButton, Qt::LeftButton);
        QCOMPARE(FDialogs.Messages.size(), 1);
        QCOMPARE(FaceLooksCalls(), looks + 1);

        // Listed as not found, so that confirming keeps it; the default is still offered.
        FDialogs.ItemAnswers << 2;
        MainForm->mnuGameColormap->trigger();
        QCOMPARE(FDialogs.ItemLists.last(),
                 (QStringList{"Default (misc/cmp/dflt.cmp)", "misc/cmp/alt.cmp",
                              "misc/cmp/game.cmp (not found)"}));
        QCOMPARE(FDialogs.ItemCurrents.last(), 2);
        QCOMPARE(MainForm->GameSettings().Colormap, std::string("misc/cmp/game.cmp"));
        FDialogs.ItemAnswers << 0;
        MainForm->mnuGameColormap->trigger();
        QCOMPARE(MainForm->GameSettings().Colormap, std::string());
        TSettingsFile(Settings().toStdString())
            .WriteString("GAME", "Colormap", "MISC/cmp/dflt.cmp");
        Restart();
        Open(model);
        FDialogs.ItemAnswers << 0;
        MainForm->mnuGameColormap->trigger();
        QCOMPARE(FDialogs.ItemLists.last().size(), 2);
        QCOMPARE(FDialogs.ItemCurrents.last(), 0);
    }

    // The archive browser's thumbnails show the materials in the archive while textures are on:
    // some pixel is the texture's colour, (2, 253, 14) in the tests' colormap, lit, so green.
    void archiveThumbnailsFollowTheTexturesSwitch()
    {
        const std::string texture = MatHeader(2, 1, 1) + TextureCel(0, 0) +
                                    TextureHeader(2, 2, 0, 1) + std::string(4, '\2');
        const QString archive =
            Put("models.gob", WriteTestGob({{"3do\\sq.3do", TexturedModel({"t.mat"})},
                                            {"3do\\mat\\t.mat", texture},
                                            {"misc\\cmp\\dflt.cmp", Cmp()}}));
        TArchiveForm* form = MainForm->OpenArchiveFile(archive);
        const auto greenPixels = [&]
        {
            [&] { QTRY_VERIFY_WITH_TIMEOUT(form->Model()->HasThumbnail(0), kEventually); }();
            const QImage picture = form->Model()
                                       ->index(0, TArchiveListModel::colName)
                                       .data(Qt::DecorationRole)
                                       .value<QPixmap>()
                                       .toImage();
            int green = 0;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                {
                    const QRgb p = picture.pixel(x, y);
                    green += qGreen(p) > qRed(p) + 100 && qGreen(p) > qBlue(p) + 60;
                }
            return green;
        };
        QVERIFY(greenPixels() > 20);
        // The open browser draws its models again, as a new one draws them.
        MainForm->mnuGameTextures->trigger();
        QVERIFY(!form->Model()->HasThumbnail(0));
        QCOMPARE(greenPixels(), 0);
        MainForm->mnuGameTextures->trigger();
        QVERIFY(greenPixels() > 20);
    }

    // Each setting is one key of section GAME, added after the colours, whose bytes stay as
    // they were; the next start reads them back. A cancelled folder dialog changes nothing.
    void settingsAreSavedBesideTheColoursAndReadBack()
    {
        const std::string colours = "[COLORS]\r\nBackground=255\r\n; mine\r\nVertex=65280\r\n";
        Put("cfg/Quillmark/quillmark.ini", colours);
        Restart();
        QCOMPARE(BackgroundColor, 255);
        FDialogs.FolderAnswers << QString();
        MainForm->mnuGameFolder->trigger();
        QCOMPARE(FDialogs.FolderStarts, QStringList{QString()});
        QCOMPARE(FileBytes(Settings().toStdString()), colours);

        // A folder with nothing of the game is taken only when the user says so.
        const std::string folder = Path("game").toStdString();
        QDir().mkpath(Path("game/docs"));
        FDialogs.FolderAnswers << Path("game") << Path("game");
        FDialogs.AskAnswers << false << true;
        MainForm->mnuGameFolder->trigger();
        QCOMPARE(FileBytes(Settings().toStdString()), colours);
        QCOMPARE(MainForm->mnuGameFolderInUse->text(), QStringLiteral("Game folder: none"));
        MainForm->mnuGameFolder->trigger();
        QCOMPARE(FDialogs.Questions.size(), 2);
        QCOMPARE(FDialogs.Questions[0],
                 QDir::toNativeSeparators(Path("game")) +
                     " holds nothing of the game (no resource or episode folder, no .gob or .goo "
                     "archive, no 3do or mat folder).\nUse it as the game folder all the same?");
        QCOMPARE(MainForm->mnuGameFolderInUse->text(),
                 "Game folder: " + QDir::toNativeSeparators(Path("game")));
        MainForm->mnuGameTextures->trigger();
        QCOMPARE(FileBytes(Settings().toStdString()),
                 colours + "[GAME]\r\nFolder=" + folder + "\r\nTextures=0\r\n");
        QVERIFY(MainForm->mnuGameClearFolder->isEnabled());

        Restart();
        QCOMPARE(MainForm->GameSettings().Folder, folder);
        QVERIFY(!MainForm->GameSettings().Textures);
        QVERIFY(!MainForm->mnuGameTextures->isChecked());
        QVERIFY(MainForm->mnuGameClearFolder->isEnabled());
        FDialogs.FolderAnswers << QString();
        MainForm->mnuGameFolder->trigger();
        QCOMPARE(FDialogs.FolderStarts.last(), Path("game"));

        MainForm->mnuGameClearFolder->trigger();
        MainForm->mnuGameTextures->trigger();
        QCOMPARE(FileBytes(Settings().toStdString()),
                 colours + "[GAME]\r\nFolder=\r\nTextures=1\r\n");
        Restart();
        QCOMPARE(MainForm->GameSettings().Folder, std::string());
        QVERIFY(MainForm->mnuGameTextures->isChecked());
        QVERIFY(!MainForm->mnuGameClearFolder->isEnabled());
    }
};

QTEST_MAIN(GameMenuTest)
#include "game_menu_test.moc"
