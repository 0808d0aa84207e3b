// The progress window: its layout, its 16-bit gauge that never passes its limits, and a load.
#include "F_Progrs.h"
#include "model/loader.h"
#include "model/model.h"
#include "testsupport.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>

class ProgressFormTest : public QObject
{
    Q_OBJECT

private:
    TFakeDialogs FDialogs;

private slots:
    void init()
    {
        FDialogs = TFakeDialogs();
        SetDialogs(&FDialogs);
        CreateEmptyModel();
    }
    void cleanup()
    {
        SetDialogs(nullptr);
        FreeModel();
    }

    void layout()
    {
        TProgressForm form;
        QCOMPARE(form.size(), QSize(415, 73));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QCOMPARE(form.Progress2->pos(), QPoint(8, 12));
        QVERIFY(form.Progress2->text().isEmpty());
        QCOMPARE(form.GaugeBack->geometry(), QRect(24, 40, 377, 21));
        QCOMPARE(form.Gauge->parentWidget(), form.GaugeBack);
        QCOMPARE(form.Gauge->geometry(), form.GaugeBack->contentsRect());
        QCOMPARE(form.Gauge->minimum(), 0);
        QCOMPARE(form.Gauge->maximum(), 100);
        QVERIFY(form.windowTitle().isEmpty());
        const Qt::WindowFlags flags = form.windowFlags();
        QVERIFY(flags & Qt::WindowStaysOnTopHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(flags & Qt::WindowSystemMenuHint));
        QVERIFY(!(flags & Qt::WindowCloseButtonHint));
        QVERIFY(!form.isVisible());

        form.Show();
        QVERIFY(form.isVisible());
        const QPoint screenCentre = form.screen()->availableGeometry().center();
        QVERIFY((form.geometry().center() - screenCentre).manhattanLength() <= 2);
        form.Hide();
        QVERIFY(!form.isVisible());
    }

    void gaugeNeverPassesItsLimits()
    {
        TProgressForm form;
        form.SetMax(10);
        form.SetPosition(50);
        QCOMPARE(form.Position(), std::uint16_t(10));
        QCOMPARE(form.Gauge->value(), 10);

        form.SetPosition(form.Position() + 1);
        QCOMPARE(form.Position(), std::uint16_t(10));

        form.SetMin(3);
        form.SetPosition(-7);
        QCOMPARE(form.Position(), std::uint16_t(3));
        QCOMPARE(form.Gauge->value(), 3);

        form.SetMin(0);
        form.SetPosition(8);
        form.SetMax(5); // a lower maximum pulls the position down with it
        QCOMPARE(form.Position(), std::uint16_t(5));
        QCOMPARE(form.Gauge->value(), 5);

        form.SetMax(65535);
        form.SetPosition(70000);
        QCOMPARE(form.Position(), std::uint16_t(65535));
        QCOMPARE(form.Gauge->maximum(), 65535);
        QCOMPARE(form.Gauge->value(), 65535);
    }

    void gaugeWithAnEmptyRangeIsAnEmptyBar()
    {
        TProgressForm form;
        form.SetMax(100);
        form.SetPosition(0);
        const QImage empty = form.Gauge->grab().toImage();
        form.SetMax(0);
        QCOMPARE(form.Max(), std::uint16_t(0));
        QCOMPARE(form.Gauge->grab().toImage(), empty);
    }

    void loadLeavesItHiddenWithAFullBar()
    {
        QTemporaryDir dir;
        const QString file = WriteTextFile(dir.filePath("m.3do"), ModelText({{3, 4}, {5}}));
        TProgressForm form;
        Load3DO(file.toStdString(), form);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.windowTitle(), QStringLiteral("Loading Jedi Knight 3DO"));
        QCOMPARE(form.Progress2->text(), QStringLiteral("Learning About 3DO..."));
        QCOMPARE(form.Max(), std::uint16_t(3));
        QCOMPARE(form.Position(), std::uint16_t(3));
        QCOMPARE(form.Gauge->value(), 3);
        QVERIFY(FDialogs.Messages.isEmpty());
    }

    void mismatchGoesThroughTheDialogs()
    {
        TProgressForm form;
        form.ReportMismatch("Mismatch Error Occurred. 4 to 2");
        QCOMPARE(FDialogs.Messages.size(), 1);
        QCOMPARE(FDialogs.Messages[0].first, QStringLiteral("3DO Import Error"));
        QCOMPARE(FDialogs.Messages[0].second, QStringLiteral("Mismatch Error Occurred. 4 to 2"));
    }
};

QTEST_MAIN(ProgressFormTest)
#include "progress_form_test.moc"
