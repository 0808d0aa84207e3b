#include "thumbnailer.h"

#include "base/U_String.h"
#include "base/errors.h"
#include "formats/colormap.h"
#include "formats/gob.h"
#include "scene/thumbnail.h"

#include <algorithm>
#include <new>

TThumbnailer::TThumbnailer(std::shared_ptr<const TGobArchive> archive,
                           std::vector<std::size_t> entries, QSize size, int threads,
                           QObject* parent, std::string texturesFrom, bool held,
                           std::shared_ptr<const TColormap> colormap)
    : QObject(parent), FArchive(std::move(archive)), FSize(size),
      FTexturesFrom(std::move(texturesFrom)),
      FColormap(colormap ? std::move(colormap)
                         : std::make_shared<const TColormap>(TColormap::GreyRamp())),
      FHeld(held), FOrder(std::move(entries)), FTaken(FArchive->Count(), false)
{
    if (threads <= 0)
        threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()) - 1);
    threads = std::min<int>(threads, static_cast<int>(std::max<std::size_t>(1, FOrder.size())));
    for (int i = 0; i < threads; ++i)
        FWorkers.emplace_back([this] { Work(); });
}

TThumbnailer::~TThumbnailer()
{
    Cancel();
    for (std::thread& worker : FWorkers)
        worker.join();
}

void TThumbnailer::Release()
{
    {
        const std::lock_guard lock(FLock);
        FHeld = false;
    }
    FReleased.notify_all();
}

void TThumbnailer::Cancel()
{
    {
        // Under the lock, so that a held worker cannot miss it between its check and its wait.
        const std::lock_guard lock(FLock);
        FCancel = true;
    }
    FReleased.notify_all();
}

void TThumbnailer::Prioritise(const std::vector<std::size_t>& entries)
{
    const std::lock_guard lock(FLock);
    FFirst.clear();
    for (const std::size_t entry : entries)
        if (entry < FTaken.size() && !FTaken[entry])
            FFirst.push_back(entry);
}

bool TThumbnailer::Take(std::size_t& entry)
{
    std::unique_lock lock(FLock);
    FReleased.wait(lock, [this] { return !FHeld || FCancel; });
    if (FCancel)
        return false;
    while (!FFirst.empty())
    {
        entry = FFirst.front();
        FFirst.pop_front();
        if (!FTaken[entry])
        {
            FTaken[entry] = true;
            return true;
        }
    }
    while (FNext < FOrder.size())
    {
        entry = FOrder[FNext++];
        if (entry < FTaken.size() && !FTaken[entry])
        {
            FTaken[entry] = true;
            return true;
        }
    }
    return false;
}

void TThumbnailer::Work()
{
    std::size_t entry = 0;
    while (!FCancel && Take(entry))
    {
        TThumbnail thumbnail;
        try
        {
            const std::string bytes = FArchive->Read(entry);
            const std::string_view name = FArchive->Entry(entry).Name;
            if (name.size() >= 4 && SameText(name.substr(name.size() - 4), ".mat"))
                thumbnail = DrawMaterialThumbnail(bytes, FSize.width(), FSize.height(), *FColormap);
            else
            {
                // Each picture finds its own materials: nothing is shared between the workers
                // but the archive, which may be read by several at once.
                const TModelLocation location{
                    {}, FTexturesFrom, std::string(FArchive->Entry(entry).Name), FArchive};
                thumbnail = DrawThumbnail(bytes, FSize.width(), FSize.height(), &FCancel,
                                          FTexturesFrom.empty() ? nullptr : &location);
            }
        }
        catch (const std::bad_alloc&)
        {
            thumbnail.Error = kOutOfMemory;
        }
        catch (const std::exception& e)
        {
            // The entry could not be read.
            thumbnail.Error = e.what();
        }
        if (FCancel || thumbnail.Cancelled)
            return;
        QImage picture;
        if (thumbnail.Error.empty())
        {
            // The preview lights models near white: they stand out on grey, not on a list's
            // white.
            picture = QImage(thumbnail.Width, thumbnail.Height, QImage::Format_RGB32);
            const std::uint32_t* pixel = thumbnail.Pixels.data();
            for (int y = 0; y < thumbnail.Height; ++y)
            {
                auto* line = reinterpret_cast<std::uint32_t*>(picture.scanLine(y));
                for (int x = 0; x < thumbnail.Width; ++x, ++pixel)
                    line[x] = *pixel ? *pixel : kThumbnailBackground;
            }
        }
        const QString error = QString::fromStdString(thumbnail.Error);
        // `this` outlives every worker, and its posted calls go with it.
        QMetaObject::invokeMethod(
            this,
            [this, entry, picture, error]
            {
                if (!FCancel)
                    emit Ready(entry, picture, error);
            },
            Qt::QueuedConnection);
    }
}
