// The windows as a window manager sees them: titles, outer sizes and stacking, read back from
// the X server. Runs on its own virtual X server with openbox (tests/run_under_wm.sh).
#include "F_D3D.h"
#include "F_Main.h"
#include "F_Pref.h"
#include "F_Progrs.h"
#include "F_Strctr.h"
#include "base/errors.h"
#include "testsupport.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <memory>

namespace
{

QString Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(kEventually))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString Id(const QWidget* window)
{
    return QString::number(window->winId());
}

// The title the window system holds for the window.
QString NetWmName(const QWidget* window)
{
    const QString line = Run("xprop", {"-notype", "-id", Id(window), "_NET_WM_NAME"});
    const qsizetype first = line.indexOf('"');
    return first < 0 ? QString() : line.mid(first + 1, line.lastIndexOf('"') - first - 1);
}

// The numbers of an xprop line "NAME = a, b, c" or "NAME: window id # a, b, c" (decimal or 0x
// hexadecimal).
QList<qulonglong> XPropNumbers(const QStringList& arguments)
{
    const QString line = Run("xprop", arguments);
    QList<qulonglong> numbers;
    const qsizetype start = line.indexOf(QRegularExpression(QStringLiteral("[=#]")));
    if (start < 0)
        return numbers;
    for (const QString& item : line.mid(start + 1).split(',', Qt::SkipEmptyParts))
    {
        const QString word = item.trimmed().section(' ', -1);
        bool ok = false;
        const qulonglong value = word.toULongLong(&ok, 0);
        if (ok)
            numbers << value;
    }
    return numbers;
}

// The window's outer rectangle on screen from what the window system reports: the inside's
// place and size (xwininfo) grown by the frame extents the window manager has set.
QRect OuterRect(const QWidget* window)
{
    const QList<qulonglong> extents =
        XPropNumbers({"-notype", "-id", Id(window), "_NET_FRAME_EXTENTS"});
    if (extents.size() != 4)
        return QRect();
    const QString info = Run("xwininfo", {"-id", Id(window)});
    const auto field = [&](const char* name)
    {
        const QRegularExpression re(QString::fromLatin1(name) + QStringLiteral(":\\s+(-?\\d+)"));
        return re.match(info).captured(1).toInt();
    };
    const int left = static_cast<int>(extents[0]), right = static_cast<int>(extents[1]);
    const int top = static_cast<int>(extents[2]), bottom = static_cast<int>(extents[3]);
    return QRect(field("Absolute upper-left X") - left, field("Absolute upper-left Y") - top,
                 field("Width") + left + right, field("Height") + top + bottom);
}

// Position in the window manager's stacking order, bottom first; -1 when not managed.
int StackingIndex(const QWidget* window)
{
    return static_cast<int>(
        XPropNumbers({"-root", "_NET_CLIENT_LIST_STACKING"}).indexOf(window->winId()));
}

// Runs `open`, which opens a modal window. Once the window manager has taken that window in
// (and `alsoReady` holds, when given) `look` reads it; then it is closed. Returns how many
// modal windows were looked at; one the window manager never takes in is closed unseen.
int WithModal(const std::function<void()>& open, const std::function<void(QWidget*)>& look,
              const std::function<bool()>& alsoReady = {})
{
    int seen = 0;
    QElapsedTimer waited;
    QObject context;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &context,
                     [&]
                     {
                         QWidget* modal = QApplication::activeModalWidget();
                         if (!modal)
                             return;
                         if (!waited.isValid())
                             waited.start();
                         const bool ready =
                             modal->windowHandle() && modal->windowHandle()->isExposed() &&
                             StackingIndex(modal) >= 0 && (!alsoReady || alsoReady());
                         if (!ready && !waited.hasExpired(kEventually))
                             return;
                         waited.invalidate();
                         if (ready)
                         {
                             ++seen;
                             look(modal);
                         }
                         modal->close();
                     });
    timer.start(20);
    open();
    return seen;
}

} // namespace

class DesktopTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;

    QString ModelFile(const QString& name, const std::string& text)
    {
        return WriteTextFile(FDir->filePath(name), text);
    }

private slots:
    void init()
    {
        FDir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", FDir->filePath("cfg").toLocal8Bit());
        SetDialogs(nullptr);
        CreateForms();
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm, kEventually));
    }

    void cleanup() { DestroyForms(); }

    void titlesAreTheBareCaptions()
    {
        QTRY_COMPARE_WITH_TIMEOUT(NetWmName(MainForm), QStringLiteral("Quillmark"), kEventually);

        MainForm->OpenModelFile(ModelFile("a.3do", ModelText({{3}})));
        QVERIFY(D3DForm);
        QTRY_COMPARE_WITH_TIMEOUT(NetWmName(D3DForm), QStringLiteral("Direct3D Model Viewer"),
                                  kEventually);
        QCOMPARE(NetWmName(ProgressForm), QStringLiteral("Loading Jedi Knight 3DO"));
        StructureForm->show();
        QTRY_COMPARE_WITH_TIMEOUT(NetWmName(StructureForm), QStringLiteral("3DO Structure"),
                                  kEventually);

        QStringList modal;
        const auto title = [&](QWidget* w) { modal << NetWmName(w) + " | " + w->windowTitle(); };
        QCOMPARE(WithModal([] { PrefForm->exec(); }, title), 1);
        QCOMPARE(WithModal([] { RunCommand([] { throw EListError(); }); }, title), 1);
        QCOMPARE(WithModal([&]
                           { MainForm->OpenModelFile(ModelFile("b.3do", ModelText({{3}}, 1))); },
                           title),
                 1);
        QCOMPARE(WithModal([] { MainForm->mnuFileOpenClick(); }, title), 1);
        QCOMPARE(WithModal([] { MainForm->PopUpColorClick(); }, title), 1);
        QCOMPARE(modal.size(), 5);
        QCOMPARE(modal[0], QStringLiteral("Preferences | Preferences"));
        QCOMPARE(modal[1], QStringLiteral("Quillmark | Quillmark"));
        QCOMPARE(modal[2], QStringLiteral("3DO Import Error | 3DO Import Error"));
        // Qt's own captions for the two dialogs, whatever they are, unchanged.
        for (int i = 3; i < 5; ++i)
        {
            const QStringList both = modal[i].split(" | ");
            QVERIFY2(!both[0].isEmpty() && both[0] == both[1], qPrintable(modal[i]));
        }
    }

    void outerSizesIncludeTheFrame()
    {
        // The main window keeps its inside: 621 x 424 below the menu bar.
        QTRY_VERIFY_WITH_TIMEOUT(OuterRect(MainForm).isValid(), kEventually);
        QCOMPARE(MainForm->size(), QSize(621, 424 + MainForm->menuBar()->height()));

        MainForm->OpenModelFile(ModelFile("a.3do", ModelText({{3}})));
        QWidget* preview = D3DForm;
        QVERIFY(preview);
        QTRY_COMPARE_WITH_TIMEOUT(OuterRect(preview).size(), QSize(521, 446), kEventually);
        QVERIFY(preview->size().width() < 521 && preview->size().height() < 446);
        const QPoint centre = preview->screen()->availableGeometry().center();
        QTRY_VERIFY_WITH_TIMEOUT((OuterRect(preview).center() - centre).manhattanLength() <= 2,
                                 kEventually);

        StructureForm->show();
        QTRY_COMPARE_WITH_TIMEOUT(OuterRect(StructureForm), QRect(238, 139, 231, 225), kEventually);
        // Shown again, it keeps its size. The window manager lets go of the hidden window before
        // it is shown again, so the stacking list read next is the new one's, not the old one's.
        StructureForm->hide();
        QTRY_VERIFY_WITH_TIMEOUT(StackingIndex(StructureForm) < 0, kEventually);
        StructureForm->show();
        QTRY_VERIFY_WITH_TIMEOUT(StackingIndex(StructureForm) >= 0, kEventually);
        QTRY_COMPARE_WITH_TIMEOUT(OuterRect(StructureForm), QRect(238, 139, 231, 225), kEventually);
    }

    void mismatchBoxIsAboveTheProgressWindow()
    {
        int progress = -1, box = -1;
        const auto stacking = [&](QWidget* w)
        {
            progress = StackingIndex(ProgressForm);
            box = StackingIndex(w);
        };
        const QString mismatch = ModelFile("m.3do", ModelText({{3}}, 1));
        // Both windows taken in by the window manager before their order is read.
        QCOMPARE(WithModal([&] { MainForm->OpenModelFile(mismatch); }, stacking,
                           [] { return StackingIndex(ProgressForm) >= 0; }),
                 1);
        QVERIFY(progress >= 0);
        QVERIFY2(box > progress, qPrintable(QStringLiteral("%1 %2").arg(box).arg(progress)));
    }
};

int main(int argc, char* argv[])
{
    TApplication app(argc, argv);
    DesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "desktop_wm_test.moc"
