#include "F_Archive.h"

#include "base/U_String.h"
#include "dialogs.h"
#include "formats/colormap.h"
#include "formats/gob.h"
#include "thumbnailer.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeView>

namespace
{
QPixmap Tile(const QColor& colour, int side = kThumbnailSize)
{
    QPixmap tile(side, side);
    tile.fill(colour);
    return tile;
}

// The gallery shows the model's large pictures where the list shows its small ones.
class TGalleryModel : public QIdentityProxyModel
{
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override
    {
        return QIdentityProxyModel::data(
            index, role == Qt::DecorationRole ? TArchiveListModel::GalleryRole : role);
    }
};

constexpr int kGalleryCellWidth = kGalleryThumbnailSize + 24;
constexpr int kGalleryCellHeight = kGalleryThumbnailSize + 40;
} // namespace

TEntryKind EntryKind(std::string_view name)
{
    const auto endsWith = [name](std::string_view end)
    { return name.size() >= end.size() && SameText(name.substr(name.size() - end.size()), end); };
    if (endsWith(".3do"))
        return ekModel;
    if (endsWith(".mat"))
        return ekMaterial;
    return ekOther;
}

// ---------------------------------------------------------------------------------------------
// TArchiveListModel

TArchiveListModel::TArchiveListModel(std::shared_ptr<const TGobArchive> archive, QObject* parent)
    : QAbstractTableModel(parent), FArchive(std::move(archive)),
      FPending(Tile(QColor::fromRgb(kThumbnailBackground))), FBlank(Tile(Qt::transparent)),
      FLargePending(Tile(QColor::fromRgb(kThumbnailBackground), kGalleryThumbnailSize)),
      FLargeBlank(Tile(Qt::transparent, kGalleryThumbnailSize))
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
        item.Kind = EntryKind(entry.Name);
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
        if (item.Kind == ekOther)
            return FBlank;
        return item.Done ? item.Thumbnail : FPending;
    case GalleryRole:
        if (item.Kind == ekOther)
            return FLargeBlank;
        return item.Done ? item.Large : FLargePending;
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
        if ((all || FItems[i].Kind == ekModel) &&
            FItems[i].Stored.contains(text, Qt::CaseInsensitive))
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
        if (FItems[i].Kind == ekModel)
            models.push_back(i);
    return models;
}

std::vector<std::size_t> TArchiveListModel::Pictured() const
{
    std::vector<std::size_t> entries;
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].Kind != ekOther)
            entries.push_back(i);
    return entries;
}

void TArchiveListModel::ForgetModelThumbnails()
{
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].Kind == ekModel)
        {
            FItems[i].Done = false;
            FItems[i].Thumbnail = FItems[i].Large = QPixmap();
            FItems[i].Error.clear();
        }
    if (!FRows.empty())
        emit dataChanged(index(0, colName), index(rowCount() - 1, colName),
                         {Qt::DecorationRole, Qt::ToolTipRole});
}

void TArchiveListModel::SetThumbnail(std::size_t entry, const QPixmap& picture,
                                     const QString& error)
{
    TItem& item = FItems[entry];
    item.Done = true;
    item.Large = picture;
    item.Thumbnail =
        picture.size() == FBlank.size()
            ? picture
            : picture.scaled(FBlank.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    item.Error = error;
    if (FRowOf[entry] >= 0)
    {
        const QModelIndex changed = index(FRowOf[entry], colName);
        emit dataChanged(changed, changed, {Qt::DecorationRole, GalleryRole, Qt::ToolTipRole});
    }
}

// ---------------------------------------------------------------------------------------------
// TArchiveForm

TArchiveForm::TArchiveForm(std::shared_ptr<const TGobArchive> archive, const QString& fileName,
                           QWidget* parent, bool textures,
                           std::shared_ptr<const TColormap> colormap)
    : QWidget(parent, Qt::Window), FArchive(std::move(archive)), FFileName(fileName),
      FColormap(std::move(colormap)), FTextures(textures)
{
    setObjectName("ArchiveForm");
    setWindowTitle(QFileInfo(fileName).fileName());

    FilterEdit = new QLineEdit;
    FilterEdit->setObjectName("FilterEdit");
    FilterEdit->setPlaceholderText(tr("Filter"));
    FilterEdit->setClearButtonEnabled(true);
    AllEntries = new QCheckBox(tr("Show all entries"));
    AllEntries->setObjectName("AllEntries");
    GalleryMode = new QCheckBox(tr("Gallery"));
    GalleryMode->setObjectName("GalleryMode");
    auto* top = new QHBoxLayout;
    top->addWidget(FilterEdit, 1);
    top->addWidget(AllEntries);
    top->addWidget(GalleryMode);

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

    Gallery = new QListView;
    Gallery->setObjectName("Gallery");
    Gallery->setModel(new TGalleryModel(this));
    static_cast<TGalleryModel*>(Gallery->model())->setSourceModel(FModel);
    Gallery->setViewMode(QListView::IconMode);
    Gallery->setResizeMode(QListView::Adjust);
    Gallery->setMovement(QListView::Static);
    Gallery->setUniformItemSizes(true);
    Gallery->setWordWrap(true);
    Gallery->setIconSize(QSize(kGalleryThumbnailSize, kGalleryThumbnailSize));
    Gallery->setGridSize(QSize(kGalleryCellWidth, kGalleryCellHeight));
    Gallery->setSelectionMode(QAbstractItemView::SingleSelection);
    Gallery->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Gallery->installEventFilter(this);
    Gallery->viewport()->installEventFilter(this);
    Views = new QStackedWidget;
    Views->setObjectName("Views");
    Views->addWidget(EntryList);
    Views->addWidget(Gallery);

    CountLabel = new QLabel;
    CountLabel->setObjectName("CountLabel");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(Views, 1);
    layout->addWidget(CountLabel);

    connect(FilterEdit, &QLineEdit::textChanged, this, &TArchiveForm::FilterChanged);
    connect(AllEntries, &QCheckBox::toggled, this, &TArchiveForm::FilterChanged);
    connect(EntryList, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { OpenRow(index.row()); });
    connect(Gallery, &QListView::doubleClicked, this,
            [this](const QModelIndex& index) { OpenRow(index.row()); });
    connect(GalleryMode, &QCheckBox::toggled, this, &TArchiveForm::ModeChanged);
    for (const QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(EntryList), static_cast<QAbstractItemView*>(Gallery)})
        connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this,
                &TArchiveForm::SchedulePriorities);

    resize(DefaultSize());
    StartThumbnails();
    UpdateCount();
    SchedulePriorities();
}

TArchiveForm::~TArchiveForm()
{
    if (OnClosing)
        OnClosing(size(), GalleryMode->isChecked());
}

QSize TArchiveForm::DefaultSize()
{
    // Four cells and a scroll bar wide, three cells and the filter and count lines high.
    return QSize(4 * kGalleryCellWidth + 40, 3 * kGalleryCellHeight + 90);
}

void TArchiveForm::StartThumbnails()
{
    // Pictures already drawn (materials, when the models are drawn again) are kept.
    std::vector<std::size_t> entries = FModel->Pictured();
    std::erase_if(entries, [this](std::size_t entry) { return FModel->HasThumbnail(entry); });
    FThumbnailer = std::make_unique<TThumbnailer>(
        FArchive, std::move(entries), QSize(kGalleryThumbnailSize, kGalleryThumbnailSize), 0,
        nullptr, FTextures ? FFileName.toStdString() : std::string(), false, FColormap);
    connect(FThumbnailer.get(), &TThumbnailer::Ready, this, &TArchiveForm::ThumbnailReady);
}

void TArchiveForm::SetTextures(bool textures)
{
    if (textures == FTextures)
        return;
    FTextures = textures;
    // The old workers finish what they draw and post nothing more.
    FThumbnailer.reset();
    FModel->ForgetModelThumbnails();
    StartThumbnails();
    SchedulePriorities();
}

QAbstractItemView* TArchiveForm::CurrentView() const
{
    return GalleryMode->isChecked() ? static_cast<QAbstractItemView*>(Gallery)
                                    : static_cast<QAbstractItemView*>(EntryList);
}

void TArchiveForm::ModeChanged()
{
    const QModelIndex current =
        CurrentView() == Gallery ? EntryList->currentIndex() : Gallery->currentIndex();
    Views->setCurrentWidget(CurrentView());
    if (current.isValid())
        CurrentView()->setCurrentIndex(CurrentView()->model()->index(current.row(), 0));
    SchedulePriorities();
}

QPixmap TArchiveForm::FailedThumbnail()
{
    QPixmap cross = Tile(Qt::transparent, kGalleryThumbnailSize);
    QPainter painter(&cross);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(220, 0, 0), 12, Qt::SolidLine, Qt::RoundCap));
    const int a = kGalleryThumbnailSize / 5, b = kGalleryThumbnailSize - a;
    painter.drawLine(a, a, b, b);
    painter.drawLine(b, a, a, b);
    return cross;
}

void TArchiveForm::FilterChanged()
{
    FModel->SetFilter(FilterEdit->text(), AllEntries->isChecked());
    if (FModel->rowCount() > 0)
        CurrentView()->setCurrentIndex(CurrentView()->model()->index(0, 0));
    UpdateCount();
    SchedulePriorities();
}

void TArchiveForm::OpenRow(int row)
{
    if (row < 0 || row >= FModel->rowCount())
        return;
    if (OnOpenEntry)
        OnOpenEntry(FModel->EntryAt(row));
}

bool TArchiveForm::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == EntryList || watched == Gallery) && event->type() == QEvent::KeyPress)
    {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
        {
            OpenRow(static_cast<QAbstractItemView*>(watched)->currentIndex().row());
            return true;
        }
    }
    if ((watched == EntryList->viewport() || watched == Gallery->viewport()) &&
        event->type() == QEvent::Resize)
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
    const QAbstractItemView* view = CurrentView();
    const QSize area = view->viewport()->size();
    const QModelIndex top = view->indexAt(QPoint(view == Gallery ? kGalleryCellWidth / 2 : 0, 0));
    const QModelIndex bottom =
        view->indexAt(QPoint(view == Gallery ? area.width() - 1 : 0, area.height() - 1));
    const int first = top.isValid() ? top.row() : 0;
    const int last = bottom.isValid() ? bottom.row() : rows - 1;
    std::vector<std::size_t> order;
    const auto add = [&](int row)
    {
        const std::size_t entry = FModel->EntryAt(row);
        if (FModel->HasPicture(entry) && !FModel->HasThumbnail(entry))
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
