// The preferences dialog: layout, editing the roles, OK writing them and Cancel keeping them.
#include "F_Main.h"
#include "F_Pref.h"
#include "view/colors.h"
#include "testsupport.h"

#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace
{

const QString kZeroFile = QStringLiteral(
    "[COLORS]\nBackground=0\nGrid Marks=0\nInformation Text=0\nMultiple Selection=0\n"
    "Polygon Wire=0\nSelected Polygon=0\nSelected Vertex=0\nVertex=0\n");

} // namespace

class PrefFormTest : public QObject
{
    Q_OBJECT

private:
    TFakeDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;

    QString Settings() const { return FDir->filePath("cfg/Quillmark/quillmark.ini"); }
    void Select(int row) { PrefForm->ColorList->setCurrentRow(row); }

private slots:
    void init()
    {
        FDialogs = TFakeDialogs();
        SetDialogs(&FDialogs);
        FDir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", FDir->filePath("cfg").toLocal8Bit());
        for (const TColorRole& role : ColorRoles)
            *role.Variable = 0;
        CreateForms();
    }

    void cleanup()
    {
        DestroyForms();
        SetDialogs(nullptr);
        QCOMPARE(FDialogs.Unexpected, 0);
    }

    void layout()
    {
        QCOMPARE(PrefForm->windowTitle(), QStringLiteral("Preferences"));
        QCOMPARE(PrefForm->size(), QSize(393, 285));
        QCOMPARE(PrefForm->minimumSize(), PrefForm->maximumSize());
        QCOMPARE(PrefForm->OptionTabs->geometry(), QRect(8, 8, 377, 241));
        QCOMPARE(PrefForm->OptionTabs->count(), 2);
        QCOMPARE(PrefForm->OptionTabs->tabText(0), QStringLiteral("Color"));
        QCOMPARE(PrefForm->OptionTabs->tabText(1), QStringLiteral("Viewports"));
        QCOMPARE(PrefForm->OptionTabs->currentWidget(), PrefForm->TabVPs);
        QCOMPARE(PrefForm->OKButton->geometry(), QRect(232, 256, 73, 23));
        QCOMPARE(PrefForm->CancelBut->geometry(), QRect(312, 256, 73, 23));
        QCOMPARE(PrefForm->SpeedButton1->text(), QStringLiteral("Change Color..."));

        QStringList items;
        for (int i = 0; i < PrefForm->ColorList->count(); ++i)
            items << PrefForm->ColorList->item(i)->text();
        QCOMPARE(items,
                 (QStringList{"Background", "Grid Marks", "Information Text", "Multiple Selection",
                              "Polygon Wire", "Selected Polygon", "Selected Vertex", "Vertex"}));
        QVERIFY(PrefForm->ColorList->isSortingEnabled());
        QVERIFY(PrefForm->ColorList->selectedItems().isEmpty());

        // Each view label shows its whole text clear of the selection panel's border.
        for (const char* name : {"lblFront", "lblTop", "lblSide", "lblCamera"})
        {
            const auto* label = PrefForm->findChild<QLabel*>(name);
            QVERIFY(label);
            const int text = label->fontMetrics().horizontalAdvance(label->text());
            QCOMPARE(label->x(), 32);
            QVERIFY2(label->width() >= text, name);
            QVERIFY2(label->geometry().right() + 3 < PrefForm->pnlVPSelect->x(), name);
        }

        // The viewport toggles are one group with "Standard" down.
        QCOMPARE(PrefForm->VPGroup->buttons().size(), 9);
        QCOMPARE(PrefForm->VPGroup->checkedButton(), PrefForm->SpeedButton2);
        auto* setting = PrefForm->findChild<QToolButton*>("ToolbarButton975");
        QVERIFY(setting);
        QCOMPARE(setting->geometry(), QRect(14, 98, 57, 81));
        setting->click();
        QVERIFY(!PrefForm->SpeedButton2->isChecked());
    }

    void okOnAFreshStartWritesEightZeroKeys()
    {
        PrefForm->show();
        PrefForm->OKButton->click();
        QCOMPARE(ReadTextFile(Settings()), kZeroFile);
        QVERIFY(!PrefForm->isVisible());
    }

    void okSetsTheFrameBackground()
    {
        BackgroundColor = 0x00ff0000; // pure blue
        PrefForm->OKButton->click();
        QCOMPARE(MainForm->MdiArea->background().color(), QColor(0, 0, 255));
        QVERIFY(ReadTextFile(Settings()).startsWith("[COLORS]\nBackground=16711680\n"));
    }

    void chosenColourTakesEffectAtOnceAndCancelKeepsIt()
    {
        PrefForm->OKButton->click(); // the file holds zeros
        PrefForm->show();
        Select(7);
        FDialogs.ColorAnswers << 0x0000ff;
        const QPoint vertexItem =
            PrefForm->ColorList->visualItemRect(PrefForm->ColorList->item(7)).center();
        // An item view answers a double click only on the item that was pressed.
        QTest::mouseClick(PrefForm->ColorList->viewport(), Qt::LeftButton, {}, vertexItem);
        QTest::mouseDClick(PrefForm->ColorList->viewport(), Qt::LeftButton, {}, vertexItem);
        QCOMPARE(VertexColor, 255);
        QCOMPARE(PrefForm->ColorMat->Outline(), QColor(255, 0, 0));
        QCOMPARE(PrefForm->ColorMat->Hatch(), QColor(0, 0, 0)); // until the next click

        BackgroundColor = 0x0000ff;
        PrefForm->CancelBut->click();
        QVERIFY(!PrefForm->isVisible());
        QCOMPARE(VertexColor, 255);
        QCOMPARE(ReadTextFile(Settings()), kZeroFile);
        QCOMPARE(MainForm->MdiArea->background().color(), QColor(0, 0, 0)); // from the first OK
    }

    void doubleClickOnTheListsEmptyPartActsOnTheSelectedRole()
    {
        PrefForm->show();
        Select(3);
        QListWidget* list = PrefForm->ColorList;
        const QPoint below = list->visualItemRect(list->item(7)).bottomLeft() + QPoint(10, 5);
        QVERIFY(below.y() < list->viewport()->height());
        QVERIFY(!list->indexAt(below).isValid());
        MultiSelectColor = 77;
        FDialogs.ColorAnswers << 0x00ff00;
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, below);
        QCOMPARE(FDialogs.ColorPresets, QList<std::int32_t>{77});
        QCOMPARE(MultiSelectColor, 0x00ff00);
        QCOMPARE(PrefForm->SelectedRole(), 3);
    }

    void cancelledColourDialogKeepsTheRole()
    {
        GridMarksColor = 1234;
        Select(1);
        FDialogs.ColorAnswers << std::nullopt;
        PrefForm->SpeedButton1->click();
        QCOMPARE(FDialogs.ColorPresets, QList<std::int32_t>{1234});
        QCOMPARE(GridMarksColor, 1234);
    }

    void changeColourWithoutSelectionStoresNothing()
    {
        PrefForm->ColorList->clearSelection();
        FDialogs.ColorAnswers << 0x00ff00;
        PrefForm->SpeedButton1->click();
        QCOMPARE(FDialogs.ColorPresets, QList<std::int32_t>{0});
        for (const TColorRole& role : ColorRoles)
            QCOMPARE(*role.Variable, 0);
        QCOMPARE(PrefForm->ColorMat->Outline(), QColor(0, 255, 0));
    }

    void clickShowsTheRoleOnTheSample()
    {
        PolygonWireColor = 0x00ff00; // green
        BackgroundColor = 0x0000ff;  // red
        Select(4);
        QCOMPARE(PrefForm->ColorMat->Outline(), QColor(0, 255, 0));
        QCOMPARE(PrefForm->ColorMat->Hatch(), QColor(0, 255, 0));
        QCOMPARE(PrefForm->ColorMatBackground->palette().color(QPalette::Window),
                 QColor(255, 0, 0));
    }

    void sampleIsOutlinedAndHatchedRisingToTheRight()
    {
        PrefForm->ColorMatBackground->setPalette(QPalette(Qt::white));
        PrefForm->ColorMat->SetOutline(Qt::blue);
        PrefForm->ColorMat->SetHatch(Qt::red);
        const QImage image = PrefForm->ColorMatBackground->grab().toImage();
        const QPoint origin = PrefForm->ColorMat->pos();
        const auto at = [&](int x, int y) { return QColor(image.pixel(origin + QPoint(x, y))); };

        // The 5-pixel outline runs along the middle of each side.
        const int h = PrefForm->ColorMat->height();
        for (int x = 0; x < 5; ++x)
            QCOMPARE(at(x, h / 2), QColor(Qt::blue));
        QVERIFY(at(5, h / 2) != QColor(Qt::blue));

        // Find a hatch pixel inside; its line goes up to the right, not down.
        QPoint p;
        for (int x = 40; x < 60 && p.isNull(); ++x)
            if (at(x, 60) == QColor(Qt::red))
                p = QPoint(x, 60);
        QVERIFY(!p.isNull());
        for (int k = 1; k <= 6; ++k)
        {
            QCOMPARE(at(p.x() + k, p.y() - k), QColor(Qt::red));
            QCOMPARE(at(p.x() - k, p.y() + k), QColor(Qt::red));
        }
        QVERIFY(at(p.x() + 1, p.y() + 1) != QColor(Qt::red));
        QCOMPARE(at(p.x() + 2, p.y()), QColor(Qt::white));
    }

    void failedWriteReportsAndKeepsTheDialogOpen()
    {
        // A file where the directory should be: no user can write there.
        WriteTextFile(FDir->filePath("cfg"), "x");
        BackgroundColor = 0x0000ff;
        PrefForm->show();
        PrefForm->OKButton->click();
        QCOMPARE(FDialogs.Messages.size(), 1);
        QCOMPARE(FDialogs.Messages[0].first, QStringLiteral("Quillmark"));
        QCOMPARE(FDialogs.Messages[0].second, QStringLiteral("Unable to write to ") + Settings());
        QVERIFY(PrefForm->isVisible());
        QVERIFY(MainForm->MdiArea->background().color() != QColor(255, 0, 0));
    }
};

QTEST_MAIN(PrefFormTest)
#include "pref_form_test.moc"
