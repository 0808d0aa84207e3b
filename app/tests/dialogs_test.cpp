// The one error report: commands and event handlers that throw leave a message box behind and
// the program running.
#include "dialogs.h"
#include "scene/dxerror.h"
#include "base/errors.h"
#include "testsupport.h"

#include <QEvent>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
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

// What Qt's own box shows while `show` runs it: icon, caption and whether it stays on top.
struct TShownBox
{
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QString Caption;
    bool OnTop = false;
    int Count = 0;
};

TShownBox ShownByQt(const std::function<void()>& show)
{
    TShownBox shown;
    QObject context;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &context,
                     [&]
                     {
                         auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                         if (!box)
                             return;
                         shown.Icon = box->icon();
                         shown.Caption = box->windowTitle();
                         shown.OnTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
                         ++shown.Count;
                         box->accept();
                     });
    timer.start(0);
    SetDialogs(nullptr);
    show();
    return shown;
}

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
        QCOMPARE(FDialogs.Icons[0], QMessageBox::Critical);

        RunCommand([] {});
        QCOMPARE(FDialogs.Messages.size(), 1);

        // Bytes from a model file read as Latin-1, a UTF-8 file name as UTF-8.
        RunCommand([] { throw std::runtime_error("'\xE9' is not a valid integer value"); });
        QCOMPARE(FDialogs.Messages[1].second,
                 QStringLiteral("'\u00E9' is not a valid integer value"));
        RunCommand([] { throw std::runtime_error("Colormap not found: \xC3\xA9.cmp"); });
        QCOMPARE(FDialogs.Messages[2].second, QStringLiteral("Colormap not found: \u00E9.cmp"));
    }

    void qtBoxesShowTheirIconAndOpenAboveWindowsThatStayOnTop()
    {
        TShownBox shown = ShownByQt([] { RunCommand([] { throw EListError(); }); });
        QCOMPARE(shown.Count, 1);
        QCOMPARE(shown.Icon, QMessageBox::Critical);
        QCOMPARE(shown.Caption, QStringLiteral("Quillmark"));
        QVERIFY(!shown.OnTop);

        // The plain box of the 3D layer, installed by the application object.
        shown = ShownByQt([] { ShowMessageBox("COMRelease of NULL object"); });
        QCOMPARE(shown.Count, 1);
        QCOMPARE(shown.Icon, QMessageBox::NoIcon);
        QCOMPARE(shown.Caption, QStringLiteral("Quillmark"));

        QWidget onTop(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint);
        onTop.show();
        shown = ShownByQt([&] { Dialogs().Message(&onTop, "3DO Import Error", "text"); });
        QCOMPARE(shown.Count, 1);
        QCOMPARE(shown.Icon, QMessageBox::Information);
        QCOMPARE(shown.Caption, QStringLiteral("3DO Import Error"));
        QVERIFY(shown.OnTop);
        // Whoever the parent: an error after a failed load leaves the progress window up.
        shown = ShownByQt([] { RunCommand([] { throw EListError(); }); });
        QVERIFY(shown.OnTop);
    }

    void directXFailureShowsItsTextOnTheNextLine()
    {
        RunCommand([] { DXCheck(static_cast<HRESULT>(0x88760313u)); });
        QCOMPARE(FDialogs.Messages.size(), 1);
        QCOMPARE(FDialogs.Messages[0].second,
                 QStringLiteral("DirectX call failed: 88760313\nThe file was not found."));
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
