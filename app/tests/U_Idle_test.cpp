// The application idle dispatcher.
#include "U_Idle.h"

#include "dialogs.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QTest>

#include <stdexcept>

class TIdleTest : public QObject
{
    Q_OBJECT

    TFakeDialogs FDialogs;

private slots:
    void init()
    {
        FDialogs.Messages.clear();
        SetDialogs(&FDialogs);
    }

    void cleanup()
    {
        SetDialogs(nullptr);
        ClearApplicationIdleHandler(this);
    }

    void RunsUntilDoneThenWaitsForAnEvent()
    {
        int calls = 0;
        SetApplicationIdleHandler(this, [&](bool& done) { done = ++calls >= 3; });
        QTRY_VERIFY_WITH_TIMEOUT(calls >= 3, kEventually);
        // Waiting itself wakes the loop now and then; each wake gives at most one more call, a
        // handler never done would be called thousands of times.
        QTest::qWait(50);
        const int settled = calls;
        QVERIFY(settled < 20);
        QObject target;
        QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QVERIFY(calls > settled);
    }

    void NewestHandlerReplacesTheOld()
    {
        QObject other;
        int first = 0, second = 0;
        SetApplicationIdleHandler(&other, [&](bool& done) { done = ++first > 1000; });
        SetApplicationIdleHandler(this, [&](bool& done) { done = ++second > 1000; });
        QTRY_VERIFY_WITH_TIMEOUT(second > 0, kEventually);
        QCOMPARE(first, 0);
        // Only the owner can take its handler away.
        ClearApplicationIdleHandler(&other);
        QCOMPARE(ApplicationIdleOwner(), static_cast<const QObject*>(this));
        ClearApplicationIdleHandler(this);
        QVERIFY(ApplicationIdleOwner() == nullptr);
        const int stopped = second;
        QTest::qWait(30);
        QCOMPARE(second, stopped);
    }

    void FailuresAreReportedAndKeepDone()
    {
        int calls = 0;
        SetApplicationIdleHandler(this,
                                  [&](bool& done)
                                  {
                                      done = ++calls >= 2;
                                      throw std::runtime_error("render failed");
                                  });
        QTRY_VERIFY_WITH_TIMEOUT(calls >= 2, kEventually);
        QCOMPARE(FDialogs.Messages.front(),
                 qMakePair(QString("Quillmark"), QString("render failed")));
        QCOMPARE(FDialogs.Messages.size(), calls);
    }
};

QTEST_MAIN(TIdleTest)
#include "U_Idle_test.moc"
