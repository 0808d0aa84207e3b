// The archive browser and the ways an archive or a model reaches the main window: Game, Open
// Archive..., the command line and drops.
#include "F_Archive.h"
#include "F_D3D.h"
#include "F_Material.h"
#include "F_Main.h"
#include "F_Progrs.h"
#include "game_files.h"
#include "formats/gob.h"
#include "model/model.h"
#include "testsupport.h"
#include "thumbnailer.h"
#include "formats/xexport.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStackedWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

namespace
{
const char* const kBadModel = "GEOSETS 1\r\nGEOSET 0\r\nMESHES 1\r\nMESH 0\r\nVERTICES 0x3\r\n";
// An upright triangle, both sides drawn, 7 vertices in all.
const char* const kUpright = "GEOSETS 1\r\nGEOSET 0\r\nMESHES 1\r\nMESH 0\r\nVERTICES 7\r\n"
                             "0: 0 0 0 0\r\n1: 1 0 0 0\r\n2: 0 0 1 0\r\n3: 0 0 0 0\r\n"
                             "4: 0 0 0 0\r\n5: 0 0 0 0\r\n6: 0 0 0 0\r\n"
                             "FACES 2\r\n0: 0 0x0 4 3 0 0 3 0,0 1,0 2,0\r\n"
                             "1: 0 0x0 4 3 0 0 3 0,0 2,0 1,0\r\nHIERARCHY NODES 1\r\n"
                             "0: 0x0 0x0 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 root\r\n";

QStringList Column(const TArchiveListModel* model, int column)
{
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, column).data().toString();
    return texts;
}

int VisiblePreviews()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (dynamic_cast<TD3DForm*>(w) && w->isVisible())
            ++n;
    return n;
}

bool Drop(const QString& file)
{
    return DropUrls(MainForm, {QUrl::fromLocalFile(file)});
}

std::string PreviewText()
{
    std::ifstream in(PreviewFileName(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
} // namespace

class ArchiveFormTest : public QObject
{
    Q_OBJECT

private:
    TFakeDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;
    QString FArchive;
    std::string FTwoSets;

    QString Write(const QString& name, const std::string& bytes)
    {
        return WriteTextFile(FDir->filePath(name), bytes);
    }

    TArchiveForm* OpenByMenu(const QString& fileName)
    {
        const int before = Browsers().size();
        FDialogs.FileAnswers << fileName;
        MainForm->mnuGameOpenArchive->trigger();
        return Browsers().size() > before ? Browsers().last() : nullptr;
    }

    QList<TArchiveForm*> Browsers() const { return MainForm->ArchiveBrowsers(); }

    int Row(const TArchiveForm* form, const QString& name) const
    {
        return Column(form->Model(), TArchiveListModel::colName).indexOf(name);
    }

private slots:
    void init()
    {
        FDialogs = TFakeDialogs();
        SetDialogs(&FDialogs);
        FDir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", FDir->filePath("cfg").toLocal8Bit());
        FTwoSets = ModelText({{3}, {5}});
        // Index order, models in upper and lower case, a duplicate name, other files.
        FArchive = Write(QStringLiteral("Test.GOB"), WriteTestGob({{"3do\\two.3do", FTwoSets},
                                                                   {"mat\\two.mat", "MAT "},
                                                                   {"3DO\\WIDE.3DO", kUpright},
                                                                   {"3do\\bad.3do", kBadModel},
                                                                   {"top.3do", ModelText({{4}})},
                                                                   {"3do\\two.3do", "shadowed"}}));
        CreateForms();
    }

    void cleanup()
    {
        DestroyForms();
        SetDialogs(nullptr);
        QCOMPARE(FDialogs.Unexpected, 0);
    }

    void gameMenuOpensTheBrowserThatListsFiltersAndSwitches()
    {
        QCOMPARE(MainForm->mnuGame->actions().first(), MainForm->mnuGameOpenArchive);
        QCOMPARE(MainForm->mnuGameOpenArchive->text(), QStringLiteral("Open &Archive..."));
        QCOMPARE(MainForm->mnuGameOpenArchive->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
        TArchiveForm* form = OpenByMenu(FArchive);
        QVERIFY(form);
        QCOMPARE(FDialogs.Filters,
                 QStringList{"Jedi Knight Archives (*.gob *.goo) (*.gob *.goo);;All Files (*)"});
        QCOMPARE(form->windowTitle(), QStringLiteral("Test.GOB"));
        const TArchiveListModel* model = form->Model();
        // Models only, in index order, the duplicate too (it is an entry of its own).
        QCOMPARE(Column(model, TArchiveListModel::colName),
                 (QStringList{"two.3do", "WIDE.3DO", "bad.3do", "top.3do", "two.3do"}));
        QCOMPARE(Column(model, TArchiveListModel::colFolder),
                 (QStringList{"3do", "3DO", "3do", "", "3do"}));
        QCOMPARE(Column(model, TArchiveListModel::colSize).first(),
                 QString::number(FTwoSets.size()));
        QCOMPARE(Column(model, TArchiveListModel::colSize).last(), QStringLiteral("8"));
        QCOMPARE(form->CountLabel->text(), QStringLiteral("5 models (archive warnings)"));
        QVERIFY(form->CountLabel->toolTip().contains(QStringLiteral("Duplicate archive entry")));

        QTest::keyClicks(form->FilterEdit, QStringLiteral("3Do\\W"));
        QCOMPARE(Column(model, TArchiveListModel::colName), QStringList{"WIDE.3DO"});
        QCOMPARE(form->CountLabel->text(), QStringLiteral("1 of 5 models (archive warnings)"));
        form->FilterEdit->setText(QStringLiteral("two"));
        QCOMPARE(model->rowCount(), 2);
        form->AllEntries->setChecked(true);
        QCOMPARE(Column(model, TArchiveListModel::colName),
                 (QStringList{"two.3do", "two.mat", "two.3do"}));
        form->FilterEdit->clear();
        QCOMPARE(model->rowCount(), 6);
        QCOMPARE(form->CountLabel->text(), QStringLiteral("6 entries (archive warnings)"));

        // The browser is a window of its own, and leaves the menus alone.
        QVERIFY(form->isWindow());
        QVERIFY(MainForm->MdiArea->subWindowList().isEmpty());
        QVERIFY(MainForm->mnuFile->menuAction()->isVisible());
        QVERIFY(MainForm->mnuGame->menuAction()->isVisible());
    }

    void thumbnailsArriveAndABrokenModelIsMarked()
    {
        MainForm->show();
        TArchiveForm* form = OpenByMenu(FArchive);
        QVERIFY(form);
        const TArchiveListModel* model = form->Model();
        QTRY_VERIFY_WITH_TIMEOUT(model->HasThumbnail(0) && model->HasThumbnail(2) &&
                                     model->HasThumbnail(3) && model->HasThumbnail(4) &&
                                     model->HasThumbnail(5),
                                 kEventually);
        const auto picture = [&](const QString& name, int role = Qt::DecorationRole)
        {
            return model->index(Row(form, name), TArchiveListModel::colName)
                .data(role)
                .value<QPixmap>()
                .toImage()
                .convertToFormat(QImage::Format_ARGB32);
        };
        // The model drawn on a grey ground that fills the picture.
        const QRgb grey = qRgb(0x70, 0x70, 0x70);
        const auto drawn = [&](const QImage& image)
        {
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    n += image.pixel(x, y) != grey;
            return n;
        };
        const QImage good = picture(QStringLiteral("WIDE.3DO"));
        QCOMPARE(good.size(), QSize(kThumbnailSize, kThumbnailSize));
        QVERIFY(drawn(good) > 100);
        QCOMPARE(good.pixel(0, 0), grey);
        QCOMPARE(good.pixel(kThumbnailSize - 1, kThumbnailSize - 1), grey);
        QCOMPARE(model->Error(2), QString());

        const QImage cross =
            TArchiveForm::FailedThumbnail().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(picture(QStringLiteral("bad.3do"), TArchiveListModel::GalleryRole), cross);
        QCOMPARE(picture(QStringLiteral("bad.3do")).size(), good.size());
        // The gallery's pictures are the large ones.
        QCOMPARE(picture(QStringLiteral("WIDE.3DO"), TArchiveListModel::GalleryRole).size(),
                 QSize(kGalleryThumbnailSize, kGalleryThumbnailSize));
        QCOMPARE(model->index(Row(form, QStringLiteral("bad.3do")), 0).data(Qt::ToolTipRole),
                 QVariant(QStringLiteral("'0x3' is not a valid integer value")));
        // The duplicate's bytes are no model.
        QVERIFY(!model->Error(5).isEmpty());
        QVERIFY(good != cross);
    }

    void entriesAskedForFirstAreDrawnFirst()
    {
        std::vector<TTestMember> many;
        std::vector<std::size_t> entries;
        for (std::size_t i = 0; i < 10; ++i)
        {
            many.push_back({"m" + std::to_string(i) + ".3do", ModelText({{30}})});
            entries.push_back(i);
        }
        const auto archive =
            std::make_shared<const TGobArchive>(MakeMemorySource(WriteTestGob(many)));
        QList<std::size_t> order;
        // One worker, held until the priorities are set: the order is the thumbnailer's alone.
        TThumbnailer thumbnailer(archive, entries, QSize(16, 16), 1, nullptr, {}, true);
        thumbnailer.Prioritise({9, 4, 9});
        connect(&thumbnailer, &TThumbnailer::Ready,
                [&](std::size_t entry, const QImage& picture, const QString& error)
                {
                    QVERIFY2(!picture.isNull(), qPrintable(error));
                    order << entry;
                });
        thumbnailer.Release();
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 10, kEventually);
        QCOMPARE(order, (QList<std::size_t>{9, 4, 0, 1, 2, 3, 5, 6, 7, 8}));
    }

    void closingTheBrowserCallsOffItsWork()
    {
        std::vector<TTestMember> many;
        for (int i = 0; i < 300; ++i)
            many.push_back({"3do\\m" + std::to_string(i) + ".3do", ModelText({{40, 40, 40}})});
        TArchiveForm* form = OpenByMenu(Write(QStringLiteral("many.goo"), WriteTestGob(many)));
        QVERIFY(form);
        QPointer<TArchiveForm> watched = form;
        QTRY_VERIFY_WITH_TIMEOUT(form->Model()->HasThumbnail(0), kEventually);
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!watched);
        QVERIFY(Browsers().isEmpty());
    }

    void enterAndDoubleClickOpenAsFileOpenDoes()
    {
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        TArchiveForm* form = OpenByMenu(FArchive);
        QVERIFY(form);
        const int previews = VisiblePreviews();
        std::remove(PreviewFileName().c_str());

        form->EntryList->setCurrentIndex(form->Model()->index(0, 0));
        QTest::keyClick(form->EntryList, Qt::Key_Return);
        QVERIFY(FDialogs.Messages.isEmpty());
        QCOMPARE(CurrentModel->Count(), 2);
        QCOMPARE(MainForm->CurrGeoSet->Max(), 1);
        QCOMPARE(MainForm->CurrGeoDisp->text(), QStringLiteral("GeoSet: 0"));
        QCOMPARE(MainForm->CurrData->text(), QStringLiteral("3 Vertices, 1 Faces, Node #0"));
        QVERIFY(!ProgressForm->isVisible());
        QCOMPARE(ProgressForm->Progress2->text(), QStringLiteral("Learning About 3DO..."));
        QCOMPARE(VisiblePreviews(), previews + 1);
        QVERIFY(D3DForm);
        QVERIFY(PreviewText().find("Mesh {\r\n 3;\r\n") != std::string::npos);
        QCOMPARE(MainForm->ModelLocation().EntryName, std::string("3do\\two.3do"));
        QCOMPARE(MainForm->ModelLocation().ArchiveName, FArchive.toStdString());
        QVERIFY(MainForm->ModelLocation().FileName.empty());

        // The arrows step through the sets of the entry's model as of a file's.
        QTest::mouseClick(MainForm->CurrGeoSet->UpButton, Qt::LeftButton);
        QVERIFY(PreviewText().find("Mesh {\r\n 5;\r\n") != std::string::npos);
        QCOMPARE(VisiblePreviews(), previews + 2);

        const QRect wide = form->EntryList->visualRect(
            form->Model()->index(Row(form, QStringLiteral("WIDE.3DO")), 1));
        QVERIFY(wide.isValid());
        // As a user does it: a click, then the second click of the double click.
        QTest::mouseClick(form->EntryList->viewport(), Qt::LeftButton, {}, wide.center());
        QTest::mousePress(form->EntryList->viewport(), Qt::LeftButton, {}, wide.center());
        QTest::mouseDClick(form->EntryList->viewport(), Qt::LeftButton, {}, wide.center());
        QCOMPARE(MainForm->CurrData->text(), QStringLiteral("7 Vertices, 2 Faces, Node #0"));
        QCOMPARE(MainForm->ModelLocation().EntryName, std::string("3DO\\WIDE.3DO"));
        QCOMPARE(VisiblePreviews(), previews + 3);

        // A model that fails keeps what was shown; so does a material that cannot be read.
        form->EntryList->setCurrentIndex(form->Model()->index(Row(form, "bad.3do"), 0));
        QTest::keyClick(form->EntryList, Qt::Key_Enter);
        QCOMPARE(FDialogs.Messages.size(), 1);
        QCOMPARE(FDialogs.Messages[0],
                 qMakePair(QStringLiteral("Quillmark"),
                           QStringLiteral("'0x3' is not a valid integer value")));
        QCOMPARE(MainForm->CurrData->text(), QStringLiteral("7 Vertices, 2 Faces, Node #0"));
        QCOMPARE(MainForm->ModelLocation().EntryName, std::string("3DO\\WIDE.3DO"));
        form->AllEntries->setChecked(true);
        form->EntryList->setCurrentIndex(form->Model()->index(1, 0));
        QTest::keyClick(form->EntryList, Qt::Key_Return);
        QCOMPARE(FDialogs.Messages.size(), 2);
        QCOMPARE(FDialogs.Messages[1].second, QStringLiteral("Material file is truncated"));
        QCOMPARE(VisiblePreviews(), previews + 3);
    }

    void aBrokenArchiveIsReportedAndChangesNothing()
    {
        const QString notes = Write(QStringLiteral("notes.gob"), "Just some text, no archive.");
        QVERIFY(!OpenByMenu(notes));
        QCOMPARE(FDialogs.Messages.size(), 1);
        QCOMPARE(FDialogs.Messages[0].first, QStringLiteral("Quillmark"));
        QCOMPARE(FDialogs.Messages[0].second, QStringLiteral("Not a Jedi Knight GOB archive"));
        QVERIFY(Browsers().isEmpty());
        QCOMPARE(CurrentModel->Get(0).Meshes.Get(0).Name, std::string("NEWOBJECT"));

        QVERIFY(!OpenByMenu(FDir->filePath(QStringLiteral("missing.goo"))));
        QCOMPARE(FDialogs.Messages.size(), 2);
        QCOMPARE(FDialogs.Messages[1].second, QStringLiteral("File not found"));

        // A cancelled dialog does nothing either.
        FDialogs.FileAnswers << QString();
        MainForm->mnuGameOpenArchive->trigger();
        QVERIFY(Browsers().isEmpty());
        QCOMPARE(FDialogs.Messages.size(), 2);
    }

    void fileOpenOnAnArchiveOpensTheBrowserAndDialogsRememberTheirFolders()
    {
        // Chosen as "All files" or typed with any name: the bytes say it is an archive.
        const QString named = FDir->filePath(QStringLiteral("looks.3do"));
        QVERIFY(QFile::copy(FArchive, named));
        FDialogs.FileAnswers << named;
        MainForm->mnuFileOpen->trigger();
        QVERIFY(FDialogs.Messages.isEmpty());
        QCOMPARE(Browsers().size(), 1);
        QCOMPARE(Browsers().first()->FileName(), named);
        QVERIFY(!D3DForm);
        QCOMPARE(CurrentModel->Get(0).Meshes.Get(0).Name, std::string("NEWOBJECT"));

        // Each kind of dialog starts where the last of its kind took a file.
        QDir(FDir->path()).mkdir(QStringLiteral("other"));
        OpenByMenu(Write(QStringLiteral("other/second.gob"), WriteTestGob({})));
        FDialogs.FileAnswers << QString() << QString();
        MainForm->mnuFileOpen->trigger();
        MainForm->mnuGameOpenArchive->trigger();
        QCOMPARE(FDialogs.FileStarts,
                 (QStringList{QString(), QString(), FDir->path(), FDir->filePath("other")}));
    }

    void galleryMaterialsAndOtherEntries()
    {
        const std::string texture = MatHeader(2, 1, 1) + TextureCel(0, 0) +
                                    TextureHeader(4, 2, 0, 2) + std::string(8, '\2') +
                                    std::string(2, '\5');
        const QString archive = Write(
            QStringLiteral("mixed.gob"),
            WriteTestGob({{"3do\\mat\\tex.mat", texture},
                          {"mat\\col.mat", MatHeader(0, 2, 0) + ColourCel(9) + ColourCel(200)},
                          {"misc\\cmp\\dflt.cmp", Cmp()},
                          {"3do\\box.3do", kUpright},
                          {"info\\readme", "text"}}));
        MainForm->show();
        TArchiveForm* form = OpenByMenu(archive);
        QVERIFY(form);
        // Big enough for four columns and three rows of the gallery.
        QVERIFY(form->width() >= TArchiveForm::DefaultSize().width());
        form->GalleryMode->setChecked(true);
        QCOMPARE(form->Views->currentWidget(), form->Gallery);
        QCOMPARE(form->Gallery->gridSize().width() * 4 <= form->width(), true);
        QCOMPARE(form->Gallery->gridSize().height() * 3 <= form->height(), true);
        form->AllEntries->setChecked(true);
        const TArchiveListModel* model = form->Model();
        QTRY_VERIFY_WITH_TIMEOUT(model->HasThumbnail(0) && model->HasThumbnail(1), kEventually);
        QVERIFY(!model->HasPicture(4));
        // Cel 0 through the archive's colormap: palette entry 2 is (2, 253, 14); a colour
        // material fills its picture with its colour 9, (9, 246, 63).
        const auto pixel = [&](int row, QPoint at)
        {
            return model->index(row, 0)
                .data(TArchiveListModel::GalleryRole)
                .value<QPixmap>()
                .toImage()
                .pixel(at);
        };
        const int c = kGalleryThumbnailSize / 2;
        QCOMPARE(pixel(0, QPoint(c, c)), qRgb(2, 253, 14));
        QCOMPARE(pixel(0, QPoint(c, 2)), qRgb(0x70, 0x70, 0x70)); // 4 x 2: a band in the middle
        QCOMPARE(pixel(1, QPoint(0, 0)), qRgb(9, 246, 63));

        // A material opens in its window: cels, mip levels and colours beside them.
        form->Gallery->setCurrentIndex(form->Gallery->model()->index(0, 0));
        QTest::keyClick(form->Gallery, Qt::Key_Return);
        QVERIFY2(FDialogs.Messages.isEmpty(), qPrintable(FDialogs.Messages.value(0).second));
        TMaterialForm* window = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<TMaterialForm*>(w))
                window = m;
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("3do\\mat\\tex.mat"));
        QCOMPARE(window->CelTexts.size(), 1);
        QCOMPARE(window->CelTexts[0]->text(),
                 QStringLiteral("Cel 0: texture 0, 4 x 2, 2 mip levels, 8-bit indexed"));
        QCOMPARE(window->CelPictures[0].size(), 2);
        QVERIFY(window->Summary->text().startsWith(
            QStringLiteral("Texture material, 1 cel, 8 bits per texel, colour mode 0 (indexed)")));
        window->close();
        form->Gallery->setCurrentIndex(form->Gallery->model()->index(1, 0));
        QTest::keyClick(form->Gallery, Qt::Key_Enter);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<TMaterialForm*>(w); m && m->isVisible())
                window = m;
        QCOMPARE(window->CelTexts.size(), 2);
        QCOMPARE(window->CelTexts[1]->text(), QStringLiteral("Cel 1: colour 200 (#C83778)"));
        QCOMPARE(window->CelPictures[1][0]->pixmap().toImage().pixel(3, 3), qRgb(200, 55, 120));

        // Anything else: what it is, and how to get it out.
        form->Gallery->setCurrentIndex(form->Gallery->model()->index(4, 0));
        QTest::keyClick(form->Gallery, Qt::Key_Return);
        QCOMPARE(FDialogs.Messages.size(), 1);
        QCOMPARE(FDialogs.Messages[0].second,
                 QStringLiteral("info\\readme is a file without an extension, which Quillmark "
                                "does not show.\nquillmark-cli extract copies it out of the "
                                "archive."));

        // Closed, it remembers its size and mode for the next one.
        form->resize(700, 650);
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        TArchiveForm* next = OpenByMenu(archive);
        QVERIFY(next->GalleryMode->isChecked());
        QCOMPARE(next->size(), QSize(700, 650));
    }

    void commandLineAndDropsOpenModelsAndArchives()
    {
        // No file: the program starts as ever.
        MainForm->OpenArguments({});
        QCoreApplication::processEvents();
        QVERIFY(FDialogs.Messages.isEmpty() && FDialogs.Filters.isEmpty());
        QVERIFY(Browsers().isEmpty());
        QVERIFY(!ProgressForm->isVisible());
        QVERIFY(!D3DForm);
        QCOMPARE(CurrentModel->Get(0).Meshes.Get(0).Name, std::string("NEWOBJECT"));
        QCOMPARE(MainForm->CurrData->text(), QStringLiteral("0 Vertices, 0 Faces, Node #0"));

        // A model, an archive whose extension is in capitals, then a file that is not there:
        // each in turn once the event loop runs, the last with the usual message.
        const QString model = Write(QStringLiteral("lod.3do"), ModelText({{6}, {2}, {1}}));
        MainForm->OpenArguments({model, FArchive, FDir->filePath(QStringLiteral("gone.3do"))});
        QVERIFY(!D3DForm);
        QTRY_COMPARE(FDialogs.Messages.size(), 1);
        QCOMPARE(FDialogs.Messages[0].second, QStringLiteral("File not found"));
        QCOMPARE(MainForm->CurrGeoSet->Max(), 2);
        QCOMPARE(MainForm->CurrData->text(), QStringLiteral("6 Vertices, 1 Faces, Node #0"));
        QCOMPARE(MainForm->ModelLocation().FileName, model.toStdString());
        QVERIFY(D3DForm);
        QCOMPARE(Browsers().size(), 1);
        QVERIFY(FDialogs.Filters.isEmpty());

        // Dropping an archive opens one more browser; a .3do drop still opens the model.
        const QString copy = FDir->filePath(QStringLiteral("copy.goo"));
        QVERIFY(QFile::copy(FArchive, copy));
        QVERIFY(Drop(copy));
        QCOMPARE(Browsers().size(), 2);
        QCOMPARE(Browsers().last()->FileName(), copy);
        QVERIFY(Drop(Write(QStringLiteral("one.3do"), ModelText({{9}}))));
        QCOMPARE(MainForm->CurrData->text(), QStringLiteral("9 Vertices, 1 Faces, Node #0"));
        QVERIFY(!Drop(Write(QStringLiteral("archive.zip"), "PK")));
        QCOMPARE(Browsers().size(), 2);
    }
};

QTEST_MAIN(ArchiveFormTest)
#include "F_Archive_test.moc"
