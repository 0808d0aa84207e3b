// The animations a model can play, found through its asset source as the keys command finds
// them: every key under 3do\key\ that fits, the puppets under misc\pup\, and for a puppet's
// action whether its key is there and fits. For the preview's Animation window.
#pragma once

#include "formats/keyframes.h"
#include "formats/puppet.h"
#include "game/assets.h"
#include "model/model.h"

#include <optional>
#include <string>
#include <vector>

inline constexpr const char* kAnimationKeyNotFoundFormat = "Key not found: %s";
inline constexpr const char* kAnimationKeyMissing = "not found";
inline constexpr const char* kAnimationKeyMisfitFormat = "does not fit the model: %s";
inline constexpr const char* kAnimationKeyUnreadableFormat = "cannot be read: %s";
// The most bytes a key or puppet may have: the game's are a few kilobytes.
inline constexpr std::uint64_t kMaxAnimationFileBytes = 64ull << 20;
inline constexpr const char* kAnimationFileTooLargeFormat =
    "%s is larger than 64 MB; no key or puppet is";

// A key that fits, where it was found.
struct TKeyListing
{
    std::string Name; // its file name
    TAssetOrigin Origin;
    std::int32_t Frames = 0;
    double Fps = 0;
    std::size_t NodeCount = 0;
};

// Every key under 3do/key of the source that reads and fits the model, in the source's order.
// A key that cannot be read is left out with a line in `skipped` (where, and why).
std::vector<TKeyListing> FittingKeys(const TAssetSource& source, const TNodeList& nodes,
                                     std::vector<std::string>* skipped = nullptr);

// Whether a key named by a puppet can play on the model: found and fitting, or the reason
// it cannot ("not found", "does not fit the model: ...", "cannot be read: ...").
struct TKeyState
{
    std::optional<TAssetOrigin> Origin;
    bool Plays = false;
    std::string Reason;
};
TKeyState KeyStateFor(const TAssetSource& source, const std::string& name, const TNodeList& nodes);

// The bytes of a key or puppet named by a path on disk (an existing file), else by a game name
// found through the source under `folder` ("3do/key", "misc/pup"); none when neither. Throws
// EInOutError for a file larger than kMaxAnimationFileBytes or one that cannot be read.
struct TAnimationFile
{
    std::string Bytes;
    std::string Title; // the file name without folder and extension
    std::string Where; // the file, or where in the source it was found
};
std::optional<TAnimationFile> FindAnimationFile(const std::string& argument,
                                                const TAssetSource& source, const char* folder);
