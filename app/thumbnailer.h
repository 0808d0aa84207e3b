// Thumbnails of an archive's models, drawn by a few worker threads while the user-interface
// thread goes on: the entries asked for first are drawn first, the rest after them.
#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TColormap;
class TGobArchive;

// What a thumbnail shows where the model is not (0xFFRRGGBB).
inline constexpr std::uint32_t kThumbnailBackground = 0xFF707070u;

class TThumbnailer : public QObject
{
    Q_OBJECT

public:
    // Starts drawing `entries` of the archive in that order at `size` pixels with `threads`
    // workers (0: one fewer than the machine has cores, at least one). Added: with the
    // archive's file name in `texturesFrom`, the models show their materials found in it.
    // With `held` the workers take nothing until Release, so that priorities set before are
    // the first thing they see (tests).
    // Added: entries whose name ends in .mat are drawn as their cel 0 through `colormap` (a
    // grey ramp when null).
    TThumbnailer(std::shared_ptr<const TGobArchive> archive, std::vector<std::size_t> entries,
                 QSize size, int threads = 0, QObject* parent = nullptr,
                 std::string texturesFrom = {}, bool held = false,
                 std::shared_ptr<const TColormap> colormap = nullptr);
    // Calls off what is left and waits for the pictures being drawn.
    ~TThumbnailer() override;

    // These entries next, in this order, before the rest; those started already are skipped.
    void Prioritise(const std::vector<std::size_t>& entries);
    // Lets workers started held go.
    void Release();
    // Calls off everything not finished; no Ready follows.
    void Cancel();
    int ThreadCount() const { return static_cast<int>(FWorkers.size()); }

signals:
    // On the user-interface thread: the picture of an entry on a grey ground, or (null
    // picture) why there is none.
    void Ready(std::size_t entry, const QImage& picture, const QString& error);

private:
    bool Take(std::size_t& entry);
    void Work();

    std::shared_ptr<const TGobArchive> FArchive;
    const QSize FSize;
    const std::string FTexturesFrom;
    const std::shared_ptr<const TColormap> FColormap;
    std::mutex FLock;
    std::condition_variable FReleased;
    bool FHeld;
    std::vector<std::size_t> FOrder;
    std::size_t FNext = 0;
    std::deque<std::size_t> FFirst;
    std::vector<bool> FTaken; // by entry index
    std::atomic<bool> FCancel{false};
    std::vector<std::thread> FWorkers;
};
