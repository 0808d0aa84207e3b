// Added: the archive browser, a child window of the main window listing an archive's models
// (or every entry) with name, folder, size and a thumbnail, narrowed by a filter as one types.
#pragma once

#include <QAbstractTableModel>
#include <QPixmap>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTreeView;
class TGobArchive;
class TThumbnailer;

inline constexpr int kThumbnailSize = 64;

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

    explicit TArchiveListModel(std::shared_ptr<const TGobArchive> archive,
                               QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Shows the entries whose stored name holds `text` (any case); only models unless `all`.
    void SetFilter(const QString& text, bool all);
    std::size_t EntryAt(int row) const { return FRows[static_cast<std::size_t>(row)]; }
    bool IsModel(std::size_t entry) const { return FItems[entry].Model; }
    // The .3do entries in index order.
    std::vector<std::size_t> Models() const;
    // Each model entry once has its thumbnail, or a marked one and its message as tooltip.
    void SetThumbnail(std::size_t entry, const QPixmap& picture, const QString& error);
    bool HasThumbnail(std::size_t entry) const { return FItems[entry].Done; }
    QString Error(std::size_t entry) const { return FItems[entry].Error; }

private:
    struct TItem
    {
        QString Stored; // the name as stored
        QString Name;   // after the last separator
        QString Folder; // before it
        std::uint32_t Size = 0;
        bool Model = false;
        bool Done = false;
        QPixmap Thumbnail;
        QString Error;
    };

    std::shared_ptr<const TGobArchive> FArchive;
    std::vector<TItem> FItems;
    std::vector<std::size_t> FRows;
    std::vector<int> FRowOf; // by entry, -1 when not shown
    QPixmap FPending;        // a model's until its thumbnail comes
    QPixmap FBlank;          // other entries', keeping rows of one height
};

class TArchiveForm : public QWidget
{
    Q_OBJECT

public:
    // `fileName` is the archive's file, for the caption. Thumbnails start at once; added: with
    // `textures`, they show the models' materials found in the archive.
    TArchiveForm(std::shared_ptr<const TGobArchive> archive, const QString& fileName,
                 QWidget* parent = nullptr, bool textures = false);
    ~TArchiveForm() override;

    QLineEdit* FilterEdit;
    QCheckBox* AllEntries;
    QTreeView* EntryList;
    QLabel* CountLabel;

    TArchiveListModel* Model() const { return FModel; }
    const std::shared_ptr<const TGobArchive>& Archive() const { return FArchive; }
    const QString& FileName() const { return FFileName; }
    const TThumbnailer* Thumbnailer() const { return FThumbnailer.get(); }
    // Called with an entry to open: a double click or Enter on a model.
    std::function<void(std::size_t entry)> OnOpenEntry;
    // The marked thumbnail of a model that cannot be drawn.
    static QPixmap FailedThumbnail();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FilterChanged();
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
    bool FPriorityPending = false;
};
