// Game, Check for the Game...: offered once a model is loaded, and its window lists the current
// model's findings errors first under the summary.
#include "F_Check.h"
#include "F_Main.h"
#include "testsupport.h"

#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class CheckFormTest : public QObject
{
    Q_OBJECT

private:
    TFakeDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;

private slots:
    void init()
    {
        FDialogs = TFakeDialogs();
        SetDialogs(&FDialogs);
        FDir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", FDir->filePath("cfg").toLocal8Bit());
        CreateForms();
    }

    void cleanup()
    {
        DestroyForms();
        SetDialogs(nullptr);
        QCOMPARE(FDialogs.Unexpected, 0);
    }

    void listsErrorsFirst()
    {
        QCOMPARE(MainForm->mnuGameCheck->text(), QStringLiteral("Chec&k for the Game..."));
        QVERIFY(!MainForm->mnuGameCheck->isEnabled());

        // Mesh 0's name is cut by the game (a warning), mesh 1's face has a corner beyond its
        // vertices (an error) and its material is nowhere (a warning).
        std::string text = "MATERIALS 1\r\n0: gone.mat\r\n" + ModelText({{3, 3}});
        text.replace(text.find("NAME g0m0"), 9, "NAME " + std::string(32, 'w'));
        text.replace(text.rfind("2, 0\r\n"), 4, "9, 0");
        FDialogs.FileAnswers << WriteTextFile(FDir->filePath("m.3do"), text);
        MainForm->mnuFileOpen->trigger();
        // The preview cannot show that face; the model is loaded all the same, and checked.
        QCOMPARE(FDialogs.Messages.size(), 1);
        FDialogs.Messages.clear();
        QVERIFY(MainForm->mnuGameCheck->isEnabled());
        MainForm->mnuGameCheck->trigger();

        TCheckForm* form = MainForm->findChild<TCheckForm*>();
        QVERIFY(form && form->isVisible());
        QCOMPARE(form->Summary->text(), QStringLiteral("1 errors, 2 warnings"));
        QCOMPARE(form->Findings->count(), 3);
        QStringList codes;
        for (int i = 0; i < 3; ++i)
            codes << form->Findings->item(i)->toolTip();
        QCOMPARE(codes, (QStringList{"vertex-index", "mesh-name-length", "material-missing"}));
        QVERIFY(form->Findings->item(0)->text().startsWith(
            QStringLiteral("error: geoset 0, mesh 1 'g0m1', face 0 has a corner with vertex 9")));
        QVERIFY(form->Findings->item(2)->text().startsWith(
            QStringLiteral("warning: material 0 'gone.mat' is not found")));

        // A second check fills the same window anew.
        MainForm->mnuGameCheck->trigger();
        QCOMPARE(MainForm->findChildren<TCheckForm*>().size(), 1);
        QCOMPARE(form->Findings->count(), 3);
        QVERIFY(FDialogs.Messages.isEmpty());
    }
};

QTEST_MAIN(CheckFormTest)
#include "F_Check_test.moc"
