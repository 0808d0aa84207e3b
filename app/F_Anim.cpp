// The Animation window of a preview.
#include "F_Anim.h"

#include "F_D3D.h"
#include "base/U_String.h"
#include "dialogs.h"
#include "formats/puppet.h"
#include "game/keylist.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

namespace
{
// The timeline counts tenths of a frame.
constexpr int kTimelineSteps = 10;
// How often the read-out follows a playing key.
constexpr int kRefreshMs = 40;
const double kSpeeds[] = {0.25, 0.5, 1, 2, 4};
constexpr int kNormalSpeed = 2;

// Item data: the row's game name of a key, or its key name for an action.
constexpr int kKeyNameRole = Qt::UserRole;
constexpr int kFlagsRole = Qt::UserRole + 1;

QToolButton* Button(QWidget* parent, const char* name, const QString& text, const QString& tip)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(tip);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QString Hex(std::uint32_t value)
{
    return QStringLiteral("0x%1").arg(value, 2, 16, QLatin1Char('0'));
}
} // namespace

// ---------------------------------------------------------------------------------------------
// Timeline

TTimeline::TTimeline(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setObjectName("Timeline");
    setRange(0, 0);
    setMinimumHeight(32);
    setFocusPolicy(Qt::NoFocus);
}

void TTimeline::SetKey(int frames, std::vector<double> entries, std::vector<double> markers)
{
    FEntries = std::move(entries);
    FMarkers = std::move(markers);
    setRange(0, frames * kTimelineSteps);
    update();
}

int TTimeline::X(double frame) const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    const int value = static_cast<int>(std::lround(frame * kTimelineSteps));
    return groove.x() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(), value, span);
}

void TTimeline::paintEvent(QPaintEvent* event)
{
    QSlider::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    for (const double frame : FEntries)
    {
        const int x = X(frame);
        painter.drawLine(x, height() - 6, x, height() - 1);
    }
    painter.setPen(Qt::red);
    for (const double frame : FMarkers)
    {
        const int x = X(frame);
        painter.drawLine(x, 0, x, 5);
        painter.drawLine(x - 2, 0, x + 2, 0);
    }
}

// ---------------------------------------------------------------------------------------------
// The window

TAnimationForm::TAnimationForm(TD3DForm* preview, TAnimationModel model)
    : QWidget(preview, Qt::Window), FPreview(preview), FModel(std::move(model))
{
    setObjectName("AnimationForm");
    setWindowTitle(QString::fromLatin1(kAnimationCaption));
    CreateComponents();
    FillKeys();
    FillPuppets();
    KeyChanged();
}

void TAnimationForm::CreateComponents()
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Keys that fit the model:")));
    KeyList = new QTreeWidget(this);
    KeyList->setObjectName("KeyList");
    KeyList->setHeaderLabels({tr("Key"), tr("Frames"), tr("FPS"), tr("Found in")});
    KeyList->setRootIsDecorated(false);
    layout->addWidget(KeyList, 2);

    auto* puppetRow = new QHBoxLayout;
    puppetRow->addWidget(new QLabel(tr("Puppet:")));
    PuppetList = new QComboBox(this);
    PuppetList->setObjectName("PuppetList");
    puppetRow->addWidget(PuppetList, 1);
    OpenKeyButton = new QPushButton(tr("Open Key File..."), this);
    OpenKeyButton->setObjectName("OpenKeyButton");
    OpenKeyButton->setFocusPolicy(Qt::NoFocus);
    puppetRow->addWidget(OpenKeyButton);
    layout->addLayout(puppetRow);
    ActionList = new QTreeWidget(this);
    ActionList->setObjectName("ActionList");
    ActionList->setHeaderLabels({tr("Mode"), tr("Action"), tr("Key"), tr("Flags"), tr("")});
    ActionList->setRootIsDecorated(false);
    layout->addWidget(ActionList, 2);

    KeyTitle = new QLabel(this);
    KeyTitle->setObjectName("KeyTitle");
    layout->addWidget(KeyTitle);
    Timeline = new TTimeline(this);
    layout->addWidget(Timeline);

    auto* controls = new QHBoxLayout;
    PrevEntryButton = Button(this, "PrevEntryButton", "|<", tr("Previous entry (Page Up)"));
    StepBackButton = Button(this, "StepBackButton", "<", tr("One frame back (Left)"));
    PlayButton = Button(this, "PlayButton", tr("Play"), tr("Play or pause (Space)"));
    StepForwardButton = Button(this, "StepForwardButton", ">", tr("One frame on (Right)"));
    NextEntryButton = Button(this, "NextEntryButton", ">|", tr("Next entry (Page Down)"));
    StopButton = Button(this, "StopButton", tr("Stop"), tr("Back to the rest pose"));
    for (QToolButton* b : {PrevEntryButton, StepBackButton, PlayButton, StepForwardButton,
                           NextEntryButton, StopButton})
        controls->addWidget(b);
    SpeedBox = new QComboBox(this);
    SpeedBox->setObjectName("SpeedBox");
    for (const double speed : kSpeeds)
        SpeedBox->addItem(QString::number(speed) + QLatin1Char('x'), speed);
    SpeedBox->setCurrentIndex(kNormalSpeed);
    SpeedBox->setFocusPolicy(Qt::NoFocus);
    controls->addWidget(SpeedBox);
    LoopBox = new QComboBox(this);
    LoopBox->setObjectName("LoopBox");
    LoopBox->addItems({tr("Loop"), tr("Hold"), tr("Once")});
    LoopBox->setFocusPolicy(Qt::NoFocus);
    controls->addWidget(LoopBox);
    controls->addStretch(1);
    layout->addLayout(controls);
    Readout = new QLabel(this);
    Readout->setObjectName("Readout");
    layout->addWidget(Readout);
    resize(460, 520);

    RefreshTimer = new QTimer(this);
    RefreshTimer->setInterval(kRefreshMs);

    connect(KeyList, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { RunCommand([&] { KeyListActivate(item); }); });
    connect(ActionList, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { RunCommand([&] { ActionListActivate(item); }); });
    connect(PuppetList, &QComboBox::currentIndexChanged, this,
            Command(this, &TAnimationForm::PuppetListChange));
    connect(OpenKeyButton, &QPushButton::clicked, this,
            Command(this, &TAnimationForm::OpenKeyButtonClick));
    connect(PlayButton, &QToolButton::clicked, this,
            Command(this, &TAnimationForm::PlayButtonClick));
    connect(StopButton, &QToolButton::clicked, this,
            Command(this, &TAnimationForm::StopButtonClick));
    connect(StepBackButton, &QToolButton::clicked, this, [this] { RunCommand([&] { Step(-1); }); });
    connect(StepForwardButton, &QToolButton::clicked, this,
            [this] { RunCommand([&] { Step(1); }); });
    connect(PrevEntryButton, &QToolButton::clicked, this,
            [this] { RunCommand([&] { StepEntry(-1); }); });
    connect(NextEntryButton, &QToolButton::clicked, this,
            [this] { RunCommand([&] { StepEntry(1); }); });
    connect(SpeedBox, &QComboBox::currentIndexChanged, this,
            Command(this, &TAnimationForm::SpeedBoxChange));
    connect(LoopBox, &QComboBox::currentIndexChanged, this,
            Command(this, &TAnimationForm::LoopBoxChange));
    connect(Timeline, &QSlider::valueChanged, this, Command(this, &TAnimationForm::TimelineChange));
    connect(RefreshTimer, &QTimer::timeout, this, Command(this, &TAnimationForm::Refresh));

    // The keys act while this window has the focus, whichever of its controls holds it.
    const auto shortcut = [this](int key, std::function<void()> command)
    {
        auto* s = new QShortcut(QKeySequence(key), this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, [command] { RunCommand(command); });
    };
    shortcut(Qt::Key_Space, [this] { PlayButtonClick(); });
    shortcut(Qt::Key_Left, [this] { Step(-1); });
    shortcut(Qt::Key_Right, [this] { Step(1); });
    shortcut(Qt::Key_PageUp, [this] { StepEntry(-1); });
    shortcut(Qt::Key_PageDown, [this] { StepEntry(1); });
    shortcut(Qt::Key_Home, [this] { GoTo(0); });
    shortcut(Qt::Key_End, [this] { GoToEnd(); });

    FPreview->OnAnimationChanged = [this] { KeyChanged(); };
}

void TAnimationForm::FillKeys()
{
    KeyList->clear();
    for (const TKeyListing& key : FittingKeys(*FModel.Source, FModel.Nodes))
    {
        auto* item = new QTreeWidgetItem(KeyList);
        item->setText(0, NameText(key.Name));
        item->setText(1, QString::number(key.Frames));
        item->setText(2, QString::number(key.Fps));
        item->setText(3, MessageText(DescribeOrigin(key.Origin).c_str()));
        item->setData(0, kKeyNameRole, QByteArray::fromStdString(key.Name));
    }
}

void TAnimationForm::FillPuppets()
{
    const QSignalBlocker block(PuppetList);
    PuppetList->clear();
    PuppetList->addItem(QString::fromLatin1(kNoPuppet));
    for (const TAssetListing& pup : FModel.Source->List("misc/pup", "*.pup"))
    {
        const std::string& path = pup.GamePath;
        const std::string name = path.substr(path.find_last_of('/') + 1);
        PuppetList->addItem(NameText(name), QByteArray::fromStdString(name));
    }
    ActionList->clear();
}

void TAnimationForm::PuppetListChange()
{
    ActionList->clear();
    const QByteArray name = PuppetList->currentData().toByteArray();
    if (name.isEmpty())
        return;
    const std::optional<TAnimationFile> file =
        FindAnimationFile(name.toStdString(), *FModel.Source, "misc/pup");
    if (!file)
        return;
    TPuppet pup;
    try
    {
        pup = ReadPuppet(file->Bytes);
    }
    catch (const EPuppetError& e)
    {
        throw EPuppetError(file->Where + ": " + e.what());
    }
    for (const TPuppetMode& mode : pup.Modes)
        for (const TPuppetAction& action : mode.Actions)
        {
            auto* item = new QTreeWidgetItem(ActionList);
            item->setText(0, QString::number(mode.Number));
            item->setText(1, NameText(action.Name));
            item->setText(2, NameText(action.Key));
            item->setText(3, Hex(action.Flags));
            item->setData(0, kKeyNameRole, QByteArray::fromStdString(action.Key));
            item->setData(0, kFlagsRole, action.Flags);
            QString reason;
            if (!PuppetActionHasKey(action))
                reason = tr("no key");
            else
            {
                const TKeyState state = KeyStateFor(*FModel.Source, action.Key, FModel.Nodes);
                if (!state.Plays)
                    reason = MessageText(state.Reason.c_str());
            }
            if (!reason.isEmpty())
            {
                // Greyed, with the reason beside it and on the pointer.
                item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
                item->setText(4, reason);
                for (int c = 0; c < ActionList->columnCount(); ++c)
                    item->setToolTip(c, reason);
            }
        }
}

void TAnimationForm::KeyListActivate(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const std::string name = item->data(0, kKeyNameRole).toByteArray().toStdString();
    const std::optional<TAnimationFile> file = FindAnimationFile(name, *FModel.Source, "3do/key");
    if (!file)
        throw EInOutError(FormatText(kAnimationKeyNotFoundFormat, {name}));
    PlayKeyBytes(file->Bytes, file->Title, file->Where);
}

void TAnimationForm::ActionListActivate(QTreeWidgetItem* item)
{
    if (!item || !(item->flags() & Qt::ItemIsEnabled))
        return;
    const std::string name = item->data(0, kKeyNameRole).toByteArray().toStdString();
    const TResolvedAsset found = ResolveKey(*FModel.Source, name);
    if (!found.Origin)
        throw EInOutError(FormatText(kAnimationKeyNotFoundFormat, {name}));
    std::string title = name.substr(name.find_last_of("/\\") + 1);
    title = title.substr(0, title.find_last_of('.'));
    PlayKeyBytes(FModel.Source->Read(*found.Origin), title, DescribeOrigin(*found.Origin),
                 LoopModeForFlags(item->data(0, kFlagsRole).toUInt()));
}

void TAnimationForm::OpenKeyButtonClick()
{
    const QString fileName = Dialogs().OpenFileName(this, QString::fromLatin1(kKeyFileFilter));
    if (fileName.isEmpty())
        return;
    const std::string name = fileName.toStdString();
    const std::optional<TAnimationFile> file = FindAnimationFile(name, *FModel.Source, "3do/key");
    if (!file)
        throw EInOutError(FormatText(kAnimationKeyNotFoundFormat, {name}));
    PlayKeyBytes(file->Bytes, file->Title, file->Where);
}

void TAnimationForm::PlayKeyBytes(std::string_view bytes, const std::string& title,
                                  const std::string& where, TLoopMode mode)
{
    TKeyframes key;
    try
    {
        key = ReadKeyframes(bytes);
    }
    catch (const EKeyError& e)
    {
        throw EKeyError(where + ": " + e.what());
    }
    try
    {
        FPreview->PlayKey(FModel.GeoSet, FModel.Nodes, std::move(key), title, mode);
    }
    catch (const EKeyError& e)
    {
        throw EKeyError(where + ": " + e.what());
    }
}

void TAnimationForm::KeyChanged()
{
    TKeyPlayback* play = FPreview->Playback();
    const bool playing = play != nullptr;
    for (QWidget* w : std::initializer_list<QWidget*>{PlayButton, StopButton, PrevEntryButton,
                                                      StepBackButton, StepForwardButton,
                                                      NextEntryButton, Timeline, SpeedBox, LoopBox})
        w->setEnabled(playing);
    if (!play)
    {
        KeyTitle->setText(QString::fromLatin1(kNothingPlays));
        Timeline->SetKey(0, {}, {});
        Readout->clear();
        RefreshTimer->stop();
        return;
    }
    const TKeyframes& key = FPreview->Animation()->Key();
    KeyTitle->setText(MessageText(FPreview->AnimationTitle().c_str()));
    std::vector<double> markers;
    for (const TKeyMarker& m : key.Markers)
        markers.push_back(m.Frame);
    Timeline->SetKey(key.Frames, FPreview->EntryFrames(), std::move(markers));
    {
        const QSignalBlocker block(LoopBox);
        LoopBox->setCurrentIndex(static_cast<int>(play->Mode()));
    }
    // The speed chosen stays with the next key.
    play->SetSpeed(SpeedBox->currentData().toDouble());
    RefreshTimer->start();
    Refresh();
}

void TAnimationForm::Refresh()
{
    TKeyPlayback* play = FPreview->Playback();
    if (!play)
        return;
    const double frame = play->Frame();
    FRefreshing = true;
    Timeline->setValue(static_cast<int>(std::lround(frame * kTimelineSteps)));
    FRefreshing = false;
    PlayButton->setText(play->Playing() ? tr("Pause") : tr("Play"));
    Readout->setText(QString::fromStdString(play->Readout()));
}

void TAnimationForm::PlayButtonClick()
{
    TKeyPlayback* play = FPreview->Playback();
    if (!play)
        return;
    if (play->Playing())
        play->Pause();
    else
        play->Play();
    FPreview->PoseForFrame();
    Refresh();
}

void TAnimationForm::StopButtonClick()
{
    FPreview->StopAnimation();
}

void TAnimationForm::Step(int delta)
{
    if (TKeyPlayback* play = FPreview->Playback())
    {
        play->Step(delta);
        FPreview->PoseForFrame();
        Refresh();
    }
}

void TAnimationForm::StepEntry(int delta)
{
    if (TKeyPlayback* play = FPreview->Playback())
    {
        play->StepEntry(FPreview->EntryFrames(), delta);
        FPreview->PoseForFrame();
        Refresh();
    }
}

void TAnimationForm::GoTo(double frame)
{
    if (TKeyPlayback* play = FPreview->Playback())
    {
        play->Pause();
        play->Seek(frame);
        FPreview->PoseForFrame();
        Refresh();
    }
}

void TAnimationForm::GoToEnd()
{
    if (TKeyPlayback* play = FPreview->Playback())
        GoTo(play->LastFrame());
}

void TAnimationForm::SpeedBoxChange()
{
    if (TKeyPlayback* play = FPreview->Playback())
        play->SetSpeed(SpeedBox->currentData().toDouble());
}

void TAnimationForm::LoopBoxChange()
{
    if (TKeyPlayback* play = FPreview->Playback())
    {
        play->SetMode(static_cast<TLoopMode>(LoopBox->currentIndex()));
        FPreview->PoseForFrame();
        Refresh();
    }
}

void TAnimationForm::TimelineChange()
{
    TKeyPlayback* play = FPreview->Playback();
    if (FRefreshing || !play)
        return;
    // Scrubbing: the pose follows at once, even while playing.
    play->Seek(static_cast<double>(Timeline->value()) / kTimelineSteps);
    FPreview->PoseForFrame();
    Refresh();
}
