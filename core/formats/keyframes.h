// The game's keyframe animations (.key): header, markers and the entries of every animated
// hierarchy node, read from a file's bytes in memory into plain data. pose.h evaluates them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A rejected file: "Key file, line N: REASON".
inline constexpr const char* kKeyLineFormat = "Key file, line %s: %s";
inline constexpr const char* kKeyExpectedFormat = "%s expected";
inline constexpr const char* kKeyEndsFormat = "the file ends before %s";
inline constexpr const char* kKeyFrames = "FRAMES must be a whole number of at least 1";
inline constexpr const char* kKeyFps = "FPS must be a number above 0";
inline constexpr const char* kKeyJoints = "JOINTS must be a whole number of at least 0";
inline constexpr const char* kKeyHexFormat = "%s must be a hexadecimal number";
inline constexpr const char* kKeyMarkerCount = "MARKERS must be a whole number from 0 to 8";
inline constexpr const char* kKeyMarker = "a marker is a frame and a whole-number type";
inline constexpr const char* kKeyNodeCount = "NODES must be a whole number of at least 0";
inline constexpr const char* kKeyNodeIndex = "NODE must be a whole number";
inline constexpr const char* kKeyEntryCount = "ENTRIES must be a whole number of at least 1";
inline constexpr const char* kKeyCountBeyondFileFormat =
    "%s %s is more than the rest of the file holds";
inline constexpr const char* kKeyEntryLine =
    "an entry is a number, frame, hexadecimal flags, x y z and pitch yaw roll";
inline constexpr const char* kKeyDeltaLine =
    "the second line of an entry is dx dy dz and dpitch dyaw droll";
inline constexpr const char* kKeyDescending =
    "the entry's frame is before the frame of the entry above it";
// Warning: the node is left out and the rest of the file read.
inline constexpr const char* kKeyNodeOutsideFormat =
    "Key file, line %s: node %s is outside the joint table (JOINTS %s); it is left out";

// The most markers the game keeps.
inline constexpr int kMaxKeyMarkers = 8;

// Entry flags: which of the per-frame changes apply.
inline constexpr std::uint32_t kKeyEntryMoves = 0x1;
inline constexpr std::uint32_t kKeyEntryTurns = 0x2;

class EKeyError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One entry: the node's local position and orientation (degrees) from Frame on, and their
// change per frame, which applies where Flags says so.
struct TKeyEntry
{
    double Frame = 0;
    std::uint32_t Flags = 0;
    double X = 0, Y = 0, Z = 0;
    double Pitch = 0, Yaw = 0, Roll = 0;
    double DX = 0, DY = 0, DZ = 0;
    double DPitch = 0, DYaw = 0, DRoll = 0;
};

struct TKeyNode
{
    std::int32_t Index = 0;         // the hierarchy node it animates
    std::string Name;               // as written (the game binds by Index)
    std::vector<TKeyEntry> Entries; // at least one, frames never going down
    int Line = 0;                   // of its NODE line
};

struct TKeyMarker
{
    double Frame = 0;
    std::int32_t Type = 0;
};

// A node the reader left out (outside the joint table), kept so a check can say so.
struct TLeftOutKeyNode
{
    std::int32_t Index = 0;
    std::string Name;
    int Line = 0;
};

struct TKeyframes
{
    std::uint32_t Flags = 0; // playback flags as written (hexadecimal)
    std::uint32_t Type = 0;  // node types driven at high priority
    std::int32_t Frames = 1; // length, the loop period
    double Fps = 0;
    std::int32_t Joints = 0; // size of the model's joint table the key was made for
    std::vector<TKeyMarker> Markers;
    std::vector<TKeyNode> Nodes; // in file order, without those left out
    std::vector<TLeftOutKeyNode> LeftOut;
    std::vector<std::string> Warnings;
};

// Reads a .key text. Lines end at CR, LF or CR LF and byte 26 ends the text; keywords are
// matched in any case, "#" starts a comment, blank lines are skipped. Rejects (EKeyError, the
// message naming the line) header lines missing or out of order, FRAMES below 1, FPS not above
// 0, more than eight markers, malformed numbers, ENTRIES below 1, entries whose frames go down,
// and a file that ends before the nodes or entries it announces. A node outside 0 .. JOINTS-1
// is left out with a warning. Memory stays within a small multiple of the text's size.
TKeyframes ReadKeyframes(std::string_view bytes);
