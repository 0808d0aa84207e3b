// Game, Animation... and the Animation window, on a game-like folder of our own: the menu item
// follows the preview, keys play by a clock the test moves, the window's keys, keys that cannot
// play, a paused preview drawn as render draws the pose, and export and the command line.
#include "F_Anim.h"
#include "F_D3D.h"
#include "F_Main.h"
#include "formats/colormap.h"
#include "formats/gob.h"
#include "game_files.h"
#include "model/model.h"
#include "scene/stillpicture.h"
#include "testsupport.h"

#include <QComboBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <memory>

namespace
{
// A hip (node 0) carrying a triangle and a torso (node 1) carrying another half a unit along x,
// each drawn from both sides; node 2 is walked from nowhere.
std::string Model()
{
    std::string s = "3DO 2.1\nSECTION: GEOMETRYDEF\nRADIUS 1.0\nINSERT OFFSET 0 0 0\nGEOSETS 1\n"
                    "GEOSET 0\nMESHES 2\n";
    for (int m = 0; m < 2; ++m)
        s += "MESH " + std::to_string(m) +
             "\nNAME m\nRADIUS 1.0\nGEOMETRYMODE 4\nLIGHTINGMODE 3\nTEXTUREMODE 0\n"
             "VERTICES 3\n0: 0 0 0 0\n1: 0.4 0 0 0\n2: 0 0 0.4 0\n"
             "TEXTURE VERTICES 1\n0: 0 0\nVERTEX NORMALS\n0: 0 1 0\n1: 0 1 0\n2: 0 1 0\n"
             "FACES 2\n0: 0 0x0 4 0 0 0.0 3 0,0 1,0 2,0\n1: 0 0x0 4 0 0 0.0 3 2,0 1,0 0,0\n"
             "FACE NORMALS\n0: 0 1 0\n1: 0 -1 0\n";
    s += "SECTION: HIERARCHYDEF\nHIERARCHY NODES 3\n"
         "0: 0x0 0x1 0 -1 1 -1 1 0 0 0 0 0 0 0 0 0 node0\n"
         "1: 0x0 0x1 1 0 -1 -1 0 0.5 0 0 0 0 0 0 0 0 node1\n"
         "2: 0x0 0x1 -1 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 node2\n";
    return s;
}

// FRAMES 20 at 10 fps, a marker at 5; node 0 moving and turning from entry 0, still at 10.
std::string Key(const char* node = "0", const char* name = "node0")
{
    return std::string("SECTION: HEADER\nFLAGS 0x0000\nTYPE 0xFFFF\nFRAMES 20\nFPS 10.000\n"
                       "JOINTS 9\nSECTION: MARKERS\nMARKERS 1\n 5.0 1\n"
                       "SECTION: KEYFRAME NODES\nNODES 1\nNODE ") +
           node + "\nMESH NAME " + name +
           "\nENTRIES 2\n0: 0 0x0003 0 0 0 0 0 0\n 0.05 0 0 0 9 0\n"
           "1: 10 0x0000 1 0 0 0 90 0\n 0 0 0 0 0 0\n";
}
} // namespace

class AnimationTest : public QObject
{
    Q_OBJECT

private:
    TFakeDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;
    double FNow = 50;

    QString Path(const QString& name) const { return FDir->filePath(name); }

    // ROOT/3do/two.3do with keys in ROOT/3do/key and a puppet in ROOT/misc/pup.
    void WriteGame()
    {
        QDir(FDir->path()).mkpath("3do/key");
        QDir(FDir->path()).mkpath("misc/pup");
        WriteTextFile(Path("3do/two.3do"), Model());
        WriteTextFile(Path("3do/key/wave.key"), Key());
        WriteTextFile(Path("3do/key/other.key"), Key("1", "elbow")); // misnamed node
        WriteTextFile(Path("3do/key/far.key"), Key("2", "node2"));   // a node not walked
        WriteTextFile(Path("misc/pup/two.pup"),
                      "mode=0\nstand wave.key 0x14 1\nwalk gone.key 0\nwave other.key 0\n");
    }

    TD3DForm* Preview() const { return dynamic_cast<TD3DForm*>(D3DForm.data()); }

    TAnimationForm* OpenAnimation()
    {
        MainForm->mnuGameAnimation->trigger();
        return dynamic_cast<TAnimationForm*>(Preview()->AnimationWindow.data());
    }

    QTreeWidgetItem* Row(QTreeWidget* list, const QString& text) const
    {
        const auto found = list->findItems(text, Qt::MatchExactly, 0);
        return found.isEmpty() ? nullptr : found.first();
    }

private slots:
    void init()
    {
        FDialogs = TFakeDialogs();
        SetDialogs(&FDialogs);
        FDir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", FDir->filePath("cfg").toLocal8Bit());
        SetAnimationClock([this] { return FNow; });
        CreateForms();
        WriteGame();
    }

    void cleanup()
    {
        DestroyForms();
        SetAnimationClock(nullptr);
        SetDialogs(nullptr);
        QCOMPARE(FDialogs.Unexpected, 0);
    }

    void menuItemFollowsTheNewestPreviewAndItsWindowClosesWithIt()
    {
        QCOMPARE(MainForm->mnuGameAnimation->text(), QStringLiteral("&Animation..."));
        QVERIFY(!MainForm->mnuGameAnimation->isEnabled());
        MainForm->OpenModelFile(Path("3do/two.3do"));
        QVERIFY(MainForm->mnuGameAnimation->isEnabled());
        TAnimationForm* form = OpenAnimation();
        QVERIFY(form && form->isVisible());
        // The keys that fit: not the misnamed one.
        QStringList keys;
        for (int i = 0; i < form->KeyList->topLevelItemCount(); ++i)
            keys << form->KeyList->topLevelItem(i)->text(0);
        keys.sort();
        QCOMPARE(keys, (QStringList{"far.key", "wave.key"}));
        // The puppet's actions: the missing and the misfitting keys greyed with the reason.
        form->PuppetList->setCurrentIndex(form->PuppetList->findText("two.pup"));
        QCOMPARE(form->ActionList->topLevelItemCount(), 3);
        const QTreeWidgetItem* stand = form->ActionList->topLevelItem(0);
        const QTreeWidgetItem* walk = form->ActionList->topLevelItem(1);
        const QTreeWidgetItem* wave = form->ActionList->topLevelItem(2);
        QVERIFY(stand->flags() & Qt::ItemIsEnabled);
        QVERIFY(!(walk->flags() & Qt::ItemIsEnabled));
        QCOMPARE(walk->text(4), QStringLiteral("not found"));
        QVERIFY(!(wave->flags() & Qt::ItemIsEnabled));
        QVERIFY(wave->text(4).startsWith("does not fit the model: "));
        // Started from the puppet: its flags 0x14 hold the end.
        form->ActionListActivate(form->ActionList->topLevelItem(0));
        QVERIFY(Preview()->Animating());
        QCOMPARE(form->LoopBox->currentText(), QStringLiteral("Hold"));

        Preview()->close();
        QVERIFY(!form->isVisible());
        QVERIFY(!MainForm->mnuGameAnimation->isEnabled());
    }

    void playsByTheClockAndAnswersItsKeys()
    {
        MainForm->OpenModelFile(Path("3do/two.3do"));
        TAnimationForm* form = OpenAnimation();
        QVERIFY(form);
        QCOMPARE(form->Readout->text(), QString());
        QVERIFY(Row(form->KeyList, "wave.key"));
        form->KeyListActivate(Row(form->KeyList, "wave.key"));
        QVERIFY(form->KeyTitle->text() == "wave");
        QCOMPARE(form->Timeline->Entries(), (std::vector<double>{0, 10}));
        QCOMPARE(form->Timeline->Markers(), (std::vector<double>{5}));
        FNow += 1.24; // 12.4 frames at 10 fps, whatever the frame rate
        form->Refresh();
        QCOMPARE(form->Readout->text(), QStringLiteral("12.4 / 20 frames, 1.24 s at 10 fps"));
        form->SpeedBox->setCurrentText("2x");
        FNow += 0.2;
        form->Refresh();
        QCOMPARE(form->Readout->text(), QStringLiteral("16.4 / 20 frames, 1.64 s at 10 fps"));

        form->show();
        QApplication::setActiveWindow(form);
        QVERIFY(QTest::qWaitForWindowActive(form, kEventually));
        QTest::keyClick(form, Qt::Key_Space);
        QVERIFY(!Preview()->Playback()->Playing());
        FNow += 5;
        QTest::keyClick(form, Qt::Key_Right);
        QCOMPARE(Preview()->Playback()->Frame(), 17.0);
        QTest::keyClick(form, Qt::Key_PageUp);
        QCOMPARE(Preview()->Playback()->Frame(), 10.0);
        QTest::keyClick(form, Qt::Key_End);
        QCOMPARE(Preview()->Playback()->Frame(), 19.0);
        QTest::keyClick(form, Qt::Key_Home);
        QTest::keyClick(form, Qt::Key_PageDown);
        QCOMPARE(Preview()->Playback()->Frame(), 10.0);
        QTest::keyClick(form, Qt::Key_Left);
        QCOMPARE(form->Readout->text(), QStringLiteral("9.0 / 20 frames, 0.90 s at 10 fps"));
        form->Timeline->setValue(65); // scrubbed to 6.5
        QCOMPARE(Preview()->Playback()->Frame(), 6.5);

        // Once: at the end the model is back at rest and nothing plays.
        form->LoopBox->setCurrentText("Once");
        form->PlayButtonClick();
        FNow += 2;
        Preview()->PoseForFrame();
        QVERIFY(!Preview()->Animating());
        QCOMPARE(form->KeyTitle->text(), QString::fromLatin1(kNothingPlays));
    }

    void keysThatCannotPlayLeaveThePreviewAsItWas()
    {
        MainForm->OpenModelFile(Path("3do/two.3do"));
        TAnimationForm* form = OpenAnimation();
        const std::vector<float> rest = Preview()->D3DWin->Preview().ModelVerticesRaw();
        WriteTextFile(Path("beyond.key"), Key("5", "x"));
        WriteTextFile(Path("broken.key"), "SECTION: HEADER\nFRAMES 0\n");
        FDialogs.FileAnswers << Path("beyond.key") << Path("broken.key");
        form->OpenKeyButton->click();
        form->OpenKeyButton->click();
        // It fits, but moves only a node the game never walks.
        QVERIFY(Row(form->KeyList, "far.key"));
        form->KeyList->setCurrentItem(Row(form->KeyList, "far.key"));
        emit form->KeyList->itemActivated(Row(form->KeyList, "far.key"), 0);
        const std::vector<std::string> messages = MessageTexts(FDialogs);
        QCOMPARE(messages.size(), std::size_t{3});
        QVERIFY(QString::fromStdString(messages[0]).contains("beyond the model"));
        QVERIFY(QString::fromStdString(messages[1]).contains("line"));
        QVERIFY(QString::fromStdString(messages[2]).endsWith(kKeyAnimatesNothing));
        QVERIFY(!Preview()->Animating());
        QCOMPARE(Preview()->D3DWin->Preview().ModelVerticesRaw(), rest);
    }

    void aPausedPreviewIsTheRenderedPoseAndStoppingGivesTheLoadedModelBack()
    {
        MainForm->OpenModelFile(Path("3do/two.3do"));
        TD3DForm* preview = Preview();
        const std::vector<float> loaded = preview->D3DWin->Preview().ModelVerticesRaw();
        TAnimationForm* form = OpenAnimation();
        form->PlayKeyBytes(Key(), "wave", "wave.key");
        form->GoTo(6.5);
        preview->SpeedButton2Click(); // Reset: framed on the pose, as render frames it
        preview->D3DWin->RenderFrame();
        TFrameBuffer shown = preview->D3DWin->Device()->GetFrameBuffer();
        for (std::uint32_t& p : shown.Pixels)
            p |= 0xFF000000u;
        QVERIFY(std::count(shown.Pixels.begin(), shown.Pixels.end(), 0xFF000000u) <
                static_cast<std::ptrdiff_t>(shown.Pixels.size()) - 100);

        TStillPicture picture;
        picture.Width = shown.Width;
        picture.Height = shown.Height;
        const TKeyframes key = ReadKeyframes(Key());
        const TFrameBuffer still = DrawStillPicture(*CurrentModel, *HierarchyNodes, 0,
                                                    PoseAt(*HierarchyNodes, key, 6.5), picture);
        QVERIFY(shown.Pixels == still.Pixels);
        const TFrameBuffer rest = DrawStillPicture(*CurrentModel, *HierarchyNodes, 0, picture);
        QVERIFY(rest.Pixels != still.Pixels);

        form->StopButtonClick();
        QVERIFY(!preview->Animating());
        QVERIFY(!preview->D3DWin->OnBeforeFrame);
        QCOMPARE(preview->D3DWin->Preview().ModelVerticesRaw(), loaded);
    }

    // Opening a .key entry of an archive plays it on the newest preview; one that does not fit
    // says why and leaves the preview as it was.
    void aKeyEntryOfAnArchivePlaysOnTheNewestPreview()
    {
        const auto archive = std::make_shared<const TGobArchive>(MakeMemorySource(WriteTestGob(
            {{"3do\\key\\beyond.key", Key("5", "x")}, {"3do\\key\\wave.key", Key()}})));
        const TColormap colormap = TColormap::GreyRamp();
        MainForm->OpenModelFile(Path("3do/two.3do"));
        QTRY_VERIFY_WITH_TIMEOUT(Preview(), kEventually);
        const auto open = [&](std::size_t entry)
        { RunCommand([&] { MainForm->OpenArchiveEntryByKind(archive, "a.gob", entry, colormap); }); };
        open(0);
        const std::vector<std::string> messages = MessageTexts(FDialogs);
        QCOMPARE(messages.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(messages[0]).contains("beyond the model"));
        QVERIFY(!Preview()->Animating());
        open(1);
        QVERIFY(Preview()->Animating());
        QCOMPARE(QString::fromStdString(Preview()->AnimationTitle()), QStringLiteral("wave"));
    }

    void exportAndTheCommandLineTakeTheKey()
    {
        MainForm->OpenArguments({Path("3do/two.3do"), "--key", "wave.key"});
        QTRY_VERIFY_WITH_TIMEOUT(Preview() && Preview()->Animating(), kEventually);
        QCOMPARE(QString::fromStdString(Preview()->AnimationTitle()), QStringLiteral("wave"));

        FDialogs.FileAnswers << Path("out.gltf");
        MainForm->mnuGameExportGltf->trigger();
        QFile file(Path("out.gltf"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonArray animations =
            QJsonDocument::fromJson(file.readAll()).object()["animations"].toArray();
        QCOMPARE(animations.size(), 1);
        QCOMPARE(animations[0].toObject()["name"].toString(), QStringLiteral("wave"));
    }
};

QTEST_MAIN(AnimationTest)
#include "F_Anim_test.moc"
