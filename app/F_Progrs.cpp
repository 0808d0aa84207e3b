#include "F_Progrs.h"

#include "dialogs.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>

TProgressForm* ProgressForm = nullptr;

TProgressForm::TProgressForm(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName("ProgressForm");
    setFixedSize(415, 73);

    Progress2 = new QLabel(this);
    Progress2->setObjectName("Progress2");
    Progress2->move(8, 12);
    Progress2->adjustSize();

    GaugeBack = new QFrame(this);
    GaugeBack->setObjectName("GaugeBack");
    GaugeBack->setGeometry(24, 40, 377, 21);
    GaugeBack->setFrameStyle(QFrame::Box | QFrame::Plain);
    GaugeBack->setLineWidth(1);
    GaugeBack->setBackgroundRole(QPalette::Base);
    GaugeBack->setAutoFillBackground(true);

    Gauge = new QProgressBar(GaugeBack);
    Gauge->setObjectName("Gauge");
    Gauge->setGeometry(GaugeBack->contentsRect());
    Gauge->setTextVisible(false);
    SyncGauge();
}

void TProgressForm::SetCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

void TProgressForm::SetText(const std::string& text)
{
    Progress2->setText(QString::fromStdString(text));
    Progress2->adjustSize();
}

void TProgressForm::SetMin(std::uint16_t value)
{
    FMin = value;
    SyncGauge();
}

void TProgressForm::SetMax(std::uint16_t value)
{
    FMax = value;
    FPos = std::min(FPos, FMax);
    SyncGauge();
}

void TProgressForm::SetPosition(int value)
{
    // QProgressBar ignores values outside its range; the loader relies on reading back the
    // nearer limit instead.
    FPos = static_cast<std::uint16_t>(std::clamp<int>(value, FMin, std::max(FMin, FMax)));
    SyncGauge();
}

void TProgressForm::SyncGauge()
{
    // An empty range would make QProgressBar show its busy indicator; the gauge shows an
    // empty bar instead.
    if (FMax <= FMin)
    {
        Gauge->setRange(0, 1);
        Gauge->setValue(0);
        return;
    }
    Gauge->setRange(FMin, FMax);
    Gauge->setValue(FPos);
}

void TProgressForm::Show()
{
    CentreOnScreen(this);
    show();
    raise();
}

void TProgressForm::Hide()
{
    hide();
}

void TProgressForm::Update()
{
    repaint();
}

void TProgressForm::ReportMismatch(const std::string& text)
{
    Dialogs().Message(this, QString::fromLatin1(kMismatchCaption), QString::fromStdString(text));
}

void TProgressForm::Tick(std::uint64_t, std::uint64_t)
{
    // Keeps the window manager from declaring the program hung during a huge load; user input
    // stays queued so that no command can run in the middle of it.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
