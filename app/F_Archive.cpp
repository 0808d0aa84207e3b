#include "F_Archive.h"

#include "dialogs.h"
#include "formats/gob.h"
#include "thumbnailer.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>

namespace
{
QPixmap Tile(const QColor& colour)
{
    QPixmap tile(kThumbnailSize, kThumbnailSize);
    tile.fill(colour);
    return tile;
}
} // namespace

// ---------------------------------------------------------------------------------------------
// TArchiveListModel

TArchiveListModel::TArchiveListModel(std::shared_ptr<const TGobArchive> archive, QObject* parent)
    : QAbstractTableModel(parent), FArchive(std::move(archive)),
      FPending(Tile(QColor::fromRgb(kThumbnailBackground))), FBlank(Tile(Qt::transparent))
{
    FItems.resize(FArchive->Count());
    for (std::size_t i = 0; i < FItems.size(); ++i)
    {
        const TGobEntry entry = FArchive->Entry(i);
        TItem& item = FItems[i];
        item.Stored = NameText(entry.Name);
        const qsizetype cut =
            std::max(item.Stored.lastIndexOf(QLatin1Char('\\')), item.Stored.lastIndexOf('/'));
        item.Name = item.Stored.mid(cut + 1);
        item.Folder = cut >= 0 ? item.Stored.left(cut) : QString();
        item.Size = entry.Size;
        item.Model = item.Stored.endsWith(QStringLiteral(".3do"), Qt::CaseInsensitive);
    }
    FRowOf.assign(FItems.size(), -1);
    SetFilter(QString(), false);
}

int TArchiveListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TArchiveListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : colCount;
}

QVariant TArchiveListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TItem& item = FItems[EntryAt(index.row())];
    switch (role)
    {
    case Qt::DisplayRole:
        if (index.column() == colName)
            return item.Name;
        if (index.column() == colFolder)
            return item.Folder;
        if (index.column() == colSize)
            return QString::number(item.Size);
        return {};
    case Qt::DecorationRole:
        if (index.column() != colName)
            return {};
        if (!item.Model)
            return FBlank;
        return item.Done ? item.Thumbnail : FPending;
    case Qt::ToolTipRole:
        return item.Error.isEmpty() ? item.Stored : item.Error;
    case Qt::TextAlignmentRole:
        if (index.column() == colSize)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant TArchiveListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section)
    {
    case colName:
        return tr("Name");
    case colFolder:
        return tr("Folder");
    case colSize:
        return tr("Size");
    default:
        return {};
    }
}

void TArchiveListModel::SetFilter(const QString& text, bool all)
{
    beginResetModel();
    for (const std::size_t entry : FRows)
        FRowOf[entry] = -1;
    FRows.clear();
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if ((all || FItems[i].Model) && FItems[i].Stored.contains(text, Qt::CaseInsensitive))
        {
            FRowOf[i] = static_cast<int>(FRows.size());
            FRows.push_back(i);
        }
    endResetModel();
}

std::vector<std::size_t> TArchiveListModel::Models() const
{
    std::vector<std::size_t> models;
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].Model)
            models.push_back(i);
    return models;
}

void TArchiveListModel::SetThumbnail(std::size_t entry, const QPixmap& picture,
                                     const QString& error)
{
    TItem& item = FItems[entry];
    item.Done = true;
    item.Thumbnail = picture;
    item.Error = error;
    if (FRowOf[entry] >= 0)
    {
        const QModelIndex changed = index(FRowOf[entry], colName);
        emit dataChanged(changed, changed, {Qt::DecorationRole, Qt::ToolTipRole});
    }
}

// ---------------------------------------------------------------------------------------------
// TArchiveForm

TArchiveForm::TArchiveForm(std::shared_ptr<const TGobArchive> archive, const QString& fileName,
                           QWidget* parent, bool textures)
    : QWidget(parent), FArchive(std::move(archive)), FFileName(fileName)
{
    setObjectName("ArchiveForm");
    setWindowTitle(QFileInfo(fileName).fileName());

    FilterEdit = new QLineEdit;
    FilterEdit->setObjectName("FilterEdit");
    FilterEdit->setPlaceholderText(tr("Filter"));
    FilterEdit->setClearButtonEnabled(true);
    AllEntries = new QCheckBox(tr("Show all entries"));
    AllEntries->setObjectName("AllEntries");
    auto* top = new QHBoxLayout;
    top->addWidget(FilterEdit, 1);
    top->addWidget(AllEntries);

    FModel = new TArchiveListModel(FArchive, this);
    EntryList = new QTreeView;
    EntryList->setObjectName("EntryList");
    EntryList->setModel(FModel);
    EntryList->setRootIsDecorated(false);
    EntryList->setUniformRowHeights(true);
    EntryList->setIconSize(QSize(kThumbnailSize, kThumbnailSize));
    EntryList->setSelectionMode(QAbstractItemView::SingleSelection);
    EntryList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    EntryList->setAllColumnsShowFocus(true);
    EntryList->header()->setStretchLastSection(false);
    EntryList->header()->setSectionResizeMode(TArchiveListModel::colName, QHeaderView::Stretch);
    EntryList->setColumnWidth(TArchiveListModel::colFolder, 90);
    EntryList->setColumnWidth(TArchiveListModel::colSize, 70);
    EntryList->installEventFilter(this);
    EntryList->viewport()->installEventFilter(this);

    CountLabel = new QLabel;
    CountLabel->setObjectName("CountLabel");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(EntryList, 1);
    layout->addWidget(CountLabel);

    connect(FilterEdit, &QLineEdit::textChanged, this, &TArchiveForm::FilterChanged);
    connect(AllEntries, &QCheckBox::toggled, this, &TArchiveForm::FilterChanged);
    connect(EntryList, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { OpenRow(index.row()); });
    connect(EntryList->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &TArchiveForm::SchedulePriorities);

    FThumbnailer = std::make_unique<TThumbnailer>(
        FArchive, FModel->Models(), QSize(kThumbnailSize, kThumbnailSize), 0, nullptr,
        textures ? fileName.toStdString() : std::string());
    connect(FThumbnailer.get(), &TThumbnailer::Ready, this, &TArchiveForm::ThumbnailReady);
    UpdateCount();
    SchedulePriorities();
}

TArchiveForm::~TArchiveForm() = default;

QPixmap TArchiveForm::FailedThumbnail()
{
    QPixmap cross = Tile(Qt::transparent);
    QPainter painter(&cross);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(220, 0, 0), 6, Qt::SolidLine, Qt::RoundCap));
    const int a = kThumbnailSize / 5, b = kThumbnailSize - a;
    painter.drawLine(a, a, b, b);
    painter.drawLine(b, a, a, b);
    return cross;
}

void TArchiveForm::FilterChanged()
{
    FModel->SetFilter(FilterEdit->text(), AllEntries->isChecked());
    if (FModel->rowCount() > 0)
        EntryList->setCurrentIndex(FModel->index(0, 0));
    UpdateCount();
    SchedulePriorities();
}

void TArchiveForm::OpenRow(int row)
{
    if (row < 0 || row >= FModel->rowCount())
        return;
    const std::size_t entry = FModel->EntryAt(row);
    if (FModel->IsModel(entry) && OnOpenEntry)
        OnOpenEntry(entry);
}

bool TArchiveForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == EntryList && event->type() == QEvent::KeyPress)
    {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
        {
            OpenRow(EntryList->currentIndex().row());
            return true;
        }
    }
    if (watched == EntryList->viewport() && event->type() == QEvent::Resize)
        SchedulePriorities();
    return QWidget::eventFilter(watched, event);
}

void TArchiveForm::ThumbnailReady(std::size_t entry, const QImage& picture, const QString& error)
{
    FModel->SetThumbnail(entry, picture.isNull() ? FailedThumbnail() : QPixmap::fromImage(picture),
                         error);
}

void TArchiveForm::SchedulePriorities()
{
    // Scrolling and typing come in bursts; one new order per burst is enough.
    if (FPriorityPending)
        return;
    FPriorityPending = true;
    QTimer::singleShot(0, this, &TArchiveForm::UpdatePriorities);
}

void TArchiveForm::UpdatePriorities()
{
    FPriorityPending = false;
    const int rows = FModel->rowCount();
    if (rows == 0)
        return;
    const QModelIndex top = EntryList->indexAt(QPoint(0, 0));
    const QModelIndex bottom = EntryList->indexAt(QPoint(0, EntryList->viewport()->height() - 1));
    const int first = top.isValid() ? top.row() : 0;
    const int last = bottom.isValid() ? bottom.row() : rows - 1;
    std::vector<std::size_t> order;
    const auto add = [&](int row)
    {
        const std::size_t entry = FModel->EntryAt(row);
        if (FModel->IsModel(entry) && !FModel->HasThumbnail(entry))
            order.push_back(entry);
    };
    for (int row = first; row <= last; ++row)
        add(row);
    for (int row = last + 1; row < rows; ++row)
        add(row);
    for (int row = 0; row < first; ++row)
        add(row);
    FThumbnailer->Prioritise(order);
}

void TArchiveForm::UpdateCount()
{
    const bool all = AllEntries->isChecked();
    const int total = static_cast<int>(all ? FArchive->Count() : FModel->Models().size());
    const int shown = FModel->rowCount();
    const QString what = all ? tr("entries") : tr("models");
    QString text = shown == total ? QStringLiteral("%1 %2").arg(total).arg(what)
                                  : tr("%1 of %2 %3").arg(shown).arg(total).arg(what);
    const std::vector<std::string>& warnings = FArchive->Warnings();
    if (!warnings.empty())
    {
        text += tr(" (archive warnings)");
        QStringList lines;
        for (const std::string& w : warnings)
            lines << NameText(w);
        CountLabel->setToolTip(lines.join(QLatin1Char('\n')));
    }
    CountLabel->setText(text);
}
