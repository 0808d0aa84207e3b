// The one error report: commands and event handlers that throw leave a message box behind and
// the program running.
#include "dialogs.h"
#include "errors.h"
#include "testsupport.h"

#include <QEvent>
#include <QTest>
#include <QWidget>

#include <stdexcept>

namespace
{

class TThrowingWidget : public QWidget
{
public:
    int Handled = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
        {
            ++Handled;
            throw EListError();
        }
        return QWidget::event(e);
    }
};

} // namespace

class DialogsTest : public QObject
{
    Q_OBJECT

private:
    TFakeDialogs FDialogs;

private slots:
    void init()
    {
        FDialogs = TFakeDialogs();
        SetDialogs(&FDialogs);
    }
    void cleanup() { SetDialogs(nullptr); }

    void commandErrorIsShownUnderTheTitle()
    {
        int after = 0;
        RunCommand(
            [&]
            {
                after = 1;
                throw std::runtime_error("File not found");
            });
        QCOMPARE(after, 1);
        QCOMPARE(FDialogs.Messages.size(), 1);
        QCOMPARE(FDialogs.Messages[0].first, QStringLiteral("Quillmark"));
        QCOMPARE(FDialogs.Messages[0].second, QStringLiteral("File not found"));

        RunCommand([] {});
        QCOMPARE(FDialogs.Messages.size(), 1);
    }

    void errorInAnEventHandlerIsShownAndTheLoopGoesOn()
    {
        TThrowingWidget widget;
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&widget, &event);
        QCoreApplication::sendEvent(&widget, &event);
        QCOMPARE(widget.Handled, 2);
        QCOMPARE(FDialogs.Messages.size(), 2);
        QCOMPARE(FDialogs.Messages[1].second, QStringLiteral("List index out of bounds"));
    }

    void coloursAreRedInTheLowestByte()
    {
        QCOMPARE(ToQColor(255), QColor(255, 0, 0));
        QCOMPARE(ToQColor(0x00ff00), QColor(0, 255, 0));
        QCOMPARE(ToQColor(16711680), QColor(0, 0, 255));
        QCOMPARE(ToQColor(0x00123456), QColor(0x56, 0x34, 0x12));
        QCOMPARE(FromQColor(QColor(0x56, 0x34, 0x12)), 0x00123456);
        QCOMPARE(FromQColor(QColor(0, 0, 255)), 16711680);
    }
};

int main(int argc, char* argv[])
{
    TApplication app(argc, argv);
    DialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dialogs_test.moc"
