// The .3do loader: reads the text line by line (from memory or a file in chunks) into a new
// model and node list, reports progress, and keeps one model within the machine's memory.
#pragma once

#include "model/model.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TGobArchive;

inline constexpr const char* kMismatchCaption = "3DO Import Error";
inline constexpr const char* kLoadCaption = "Loading Jedi Knight 3DO";
inline constexpr const char* kLoadingGeometry = "Loading GEOMETRY...";
inline constexpr const char* kLoadingHierarchy = "Loading HIERARCHY...";
inline constexpr const char* kLearningAbout3DO = "Learning About 3DO...";
inline constexpr const char* kPathNotFound = "Path not found";
// The geometry set number a file gives, then the one it becomes.
inline constexpr const char* kGeoSetMismatch = "Mismatch Error Occurred. %s to %s";

// What the loader needs of its progress window. Gauge values are unsigned 16-bit and the
// position never passes the maximum.
class TLoadProgress
{
public:
    virtual ~TLoadProgress() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetText(const std::string& text) = 0;
    virtual void SetMin(std::uint16_t value) = 0;
    virtual void SetMax(std::uint16_t value) = 0;
    // Values outside Min .. Max read back as the nearer limit.
    virtual void SetPosition(int value) = 0;
    virtual std::uint16_t Position() const = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual void Update() = 0; // repaint now: no events are processed while a load runs
    // The modal "3DO Import Error" box for a GEOSET number that differs from its index.
    virtual void ReportMismatch(const std::string& text) = 0;
    // Called every few megabytes so a long load can keep its window alive.
    virtual void Tick(std::uint64_t bytesRead, std::uint64_t totalBytes)
    {
        (void)bytesRead;
        (void)totalBytes;
    }
};

// A progress sink without a window: keeps the gauge arithmetic and collects mismatch texts.
class TSilentProgress : public TLoadProgress
{
public:
    std::string Caption, Text;
    std::uint16_t Min = 0, Max = 0, Pos = 0;
    bool Visible = false;
    std::vector<std::string> Warnings;

    void SetCaption(const std::string& caption) override { Caption = caption; }
    void SetText(const std::string& text) override { Text = text; }
    void SetMin(std::uint16_t value) override { Min = value; }
    void SetMax(std::uint16_t value) override;
    void SetPosition(int value) override;
    std::uint16_t Position() const override { return Pos; }
    void Show() override { Visible = true; }
    void Hide() override { Visible = false; }
    void Update() override {}
    void ReportMismatch(const std::string& text) override { Warnings.push_back(text); }
};

struct TLoadedModel
{
    std::unique_ptr<T3DO> Model;
    std::unique_ptr<TNodeList> Nodes;
};

// Bytes the loader may use for one model before it gives up with kOutOfMemory: the memory
// the system reports as available when the load starts. Tests may lower it.
std::uint64_t LoaderMemoryBudget();
void SetLoaderMemoryBudget(std::uint64_t bytes); // 0 restores the system's figure

// Parses a whole .3do text already in memory into a new model and node list (bounds,
// links and offsets computed). Touches no process-wide state; throws on any error.
TLoadedModel Parse3DO(std::string_view data, TLoadProgress& progress);
// The same, reading the file in chunks. Throws EInOutError ("File not found", ...) when the
// file cannot be opened or read.
TLoadedModel Parse3DOFile(const std::string& fileName, TLoadProgress& progress);

// The same for an entry of an archive, read once the progress window shows. A broken entry
// fails with the archive's message (EArchiveError), as a file that cannot be read does.
TLoadedModel Parse3DOEntry(const TGobArchive& archive, std::size_t entry, TLoadProgress& progress);

// Loads FileName and makes it the current model. On failure the previous model, node list
// and current indices stay exactly as they were, the progress window is hidden, and the
// error propagates.
void Load3DO(const std::string& fileName, TLoadProgress& progress);
// Added: the same for an entry of an archive, with the messages, progress and result of the
// same bytes loaded from a file.
void Load3DOEntry(const TGobArchive& archive, std::size_t entry, TLoadProgress& progress);
