// Added: the archive browser, a window of its own listing an archive's models (or every entry)
// with name, folder, size and a thumbnail, or showing them as a gallery of larger thumbnails,
// narrowed by a filter as one types.
#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QAbstractItemView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QStackedWidget;
class QTreeView;
class TColormap;
class TGobArchive;
class TThumbnailer;

inline constexpr int kThumbnailSize = 64;
// Added: the gallery's thumbnails; the list shows them scaled down.
inline constexpr int kGalleryThumbnailSize = 128;

// What opening an entry does, by the end of its name.
enum TEntryKind
{
    ekModel,    // .3do
    ekMaterial, // .mat
    ekOther
};
TEntryKind EntryKind(std::string_view name);

// The rows the browser shows: entries of the archive in index order, narrowed by a filter.
class TArchiveListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum TColumn
    {
        colName,
        colFolder,
        colSize,
        colCount
    };
    // The gallery's picture of an entry (DecorationRole gives the list's).
    static constexpr int GalleryRole = Qt::UserRole + 1;

    explicit TArchiveListModel(std::shared_ptr<const TGobArchive> archive,
                               QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Shows the entries whose stored name holds `text` (any case); only models unless `all`.
    void SetFilter(const QString& text, bool all);
    std::size_t EntryAt(int row) const { return FRows[static_cast<std::size_t>(row)]; }
    bool IsModel(std::size_t entry) const { return FItems[entry].Kind == ekModel; }
    TEntryKind Kind(std::size_t entry) const { return FItems[entry].Kind; }
    // Added: models and materials have thumbnails.
    bool HasPicture(std::size_t entry) const { return FItems[entry].Kind != ekOther; }
    // The .3do entries in index order.
    std::vector<std::size_t> Models() const;
    // The entries with thumbnails, in index order.
    std::vector<std::size_t> Pictured() const;
    // Each model or material entry once has its thumbnail (gallery size), or a marked one and
    // its message as tooltip.
    void SetThumbnail(std::size_t entry, const QPixmap& picture, const QString& error);
    // Forgets the models' thumbnails, to be drawn again.
    void ForgetModelThumbnails();
    bool HasThumbnail(std::size_t entry) const { return FItems[entry].Done; }
    QString Error(std::size_t entry) const { return FItems[entry].Error; }

private:
    struct TItem
    {
        QString Stored; // the name as stored
        QString Name;   // after the last separator
        QString Folder; // before it
        std::uint32_t Size = 0;
        TEntryKind Kind = ekOther;
        bool Done = false;
        QPixmap Thumbnail; // the list's
        QPixmap Large;     // the gallery's
        QString Error;
    };

    std::shared_ptr<const TGobArchive> FArchive;
    std::vector<TItem> FItems;
    std::vector<std::size_t> FRows;
    std::vector<int> FRowOf; // by entry, -1 when not shown
    QPixmap FPending;        // a model's until its thumbnail comes
    QPixmap FBlank;          // other entries', keeping rows of one height
    QPixmap FLargePending, FLargeBlank;
};

class TArchiveForm : public QWidget
{
    Q_OBJECT

public:
    // `fileName` is the archive's file, for the caption. Thumbnails start at once; added: with
    // `textures`, they show the models' materials found in the archive; materials are drawn
    // through `colormap` (a grey ramp when null). With a parent it is still a window of its own.
    TArchiveForm(std::shared_ptr<const TGobArchive> archive, const QString& fileName,
                 QWidget* parent = nullptr, bool textures = false,
                 std::shared_ptr<const TColormap> colormap = nullptr);
    ~TArchiveForm() override;

    QLineEdit* FilterEdit;
    QCheckBox* AllEntries;
    QCheckBox* GalleryMode;
    QStackedWidget* Views;
    QTreeView* EntryList;
    QListView* Gallery;
    QLabel* CountLabel;

    // The size that shows four columns and three rows of the gallery.
    static QSize DefaultSize();
    // Models drawn with or without their materials: the models' thumbnails are drawn again.
    void SetTextures(bool textures);
    bool Textures() const { return FTextures; }
    // Called as the window goes, with its size and whether the gallery was shown.
    std::function<void(QSize size, bool gallery)> OnClosing;

    TArchiveListModel* Model() const { return FModel; }
    const std::shared_ptr<const TGobArchive>& Archive() const { return FArchive; }
    const QString& FileName() const { return FFileName; }
    const TThumbnailer* Thumbnailer() const { return FThumbnailer.get(); }
    // Called with an entry to open: a double click or Enter on any entry.
    std::function<void(std::size_t entry)> OnOpenEntry;
    // The marked thumbnail of a model that cannot be drawn.
    static QPixmap FailedThumbnail();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FilterChanged();
    void ModeChanged();
    void StartThumbnails();
    QAbstractItemView* CurrentView() const;
    void OpenRow(int row);
    void ThumbnailReady(std::size_t entry, const QImage& picture, const QString& error);
    // Shown rows' thumbnails first, then the other shown rows', then the rest.
    void SchedulePriorities();
    void UpdatePriorities();
    void UpdateCount();

    std::shared_ptr<const TGobArchive> FArchive;
    QString FFileName;
    TArchiveListModel* FModel;
    std::unique_ptr<TThumbnailer> FThumbnailer;
    std::shared_ptr<const TColormap> FColormap;
    bool FTextures;
    bool FPriorityPending = false;
};
