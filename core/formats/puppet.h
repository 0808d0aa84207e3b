// The game's puppet files (.pup): which key plays for which action in each mode, and which
// hierarchy node is which body part. Read from a file's bytes in memory into plain data.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A rejected file: "Puppet file, line N: REASON".
inline constexpr const char* kPuppetLineFormat = "Puppet file, line %s: %s";
inline constexpr const char* kPuppetMode = "mode= must be a whole number of at least 0";
inline constexpr const char* kPuppetBasedOn = "basedon= must be a whole number of at least 0";
inline constexpr const char* kPuppetFlags = "an action's flags must be a hexadecimal number";
inline constexpr const char* kPuppetPriority = "an action's priorities must be whole numbers";
inline constexpr const char* kPuppetJoint = "a joint is BODYPART=NODE, two whole numbers";
inline constexpr const char* kPuppetTooManyActions = "the puppet has more actions than it can";
// Warnings: the line is ignored, the rest read.
inline constexpr const char* kPuppetNoBaseFormat =
    "Puppet file, line %s: mode %s is not defined above it; basedon is ignored";
inline constexpr const char* kPuppetOneWordFormat =
    "Puppet file, line %s: a line of one word is not an action; it is ignored";
inline constexpr const char* kPuppetJointsNotEndedFormat =
    "Puppet file, line %s: the joints block has no end";

// The most actions a puppet holds, its modes' copies included.
inline constexpr std::size_t kMaxPuppetActions = 1 << 16;

class EPuppetError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct TPuppetAction
{
    std::string Name;        // stand, walk, ... as written
    std::string Key;         // the key's file name under 3do\key\, or "none"
    std::uint32_t Flags = 0; // playback flags
    std::int32_t LowPriority = 0, HighPriority = 0;
    bool Inherited = false; // copied from the mode this one is based on
    int Line = 0;
};

struct TPuppetMode
{
    std::int32_t Number = 0;
    std::optional<std::int32_t> BasedOn;
    // Its table: the copied actions first, then its own; a later line for an action replaces
    // the earlier one in place.
    std::vector<TPuppetAction> Actions;
};

struct TPuppetJoint
{
    std::int32_t BodyPart = 0;
    std::int32_t Node = 0;
};

struct TPuppet
{
    std::vector<TPuppetMode> Modes; // in the order they first appear
    std::vector<TPuppetJoint> Joints;
    std::vector<std::string> Warnings;
};

// Whether an action names no key ("none", in any case).
bool PuppetActionHasKey(const TPuppetAction& action);

// Reads a .pup text with the text rules of the .key reader. "mode=N" starts (or goes back to)
// mode N's table, "basedon=M" on its line copies mode M's table into it first; "joints" starts a
// block of BODYPART=NODE lines ended by "end"; any other line of two words or more is an action:
// NAME KEY [FLAGS [LOWPRI [HIGHPRI]]], flags hexadecimal (default 0), HIGHPRI defaulting to
// LOWPRI (default 0). Actions before any mode line belong to mode 0. Rejects malformed numbers
// and more than kMaxPuppetActions actions (EPuppetError, the message naming the line).
TPuppet ReadPuppet(std::string_view bytes);
