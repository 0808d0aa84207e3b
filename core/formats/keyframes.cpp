// The .key reader.
#include "formats/keyframes.h"

#include "base/U_String.h"
#include "formats/textlines.h"

#include <initializer_list>

namespace
{
// The fewest bytes an entry takes (two lines of one-character words), and a node with one entry:
// they bound what a count may announce, so no count can reserve more than the text backs.
constexpr std::size_t kMinEntryBytes = 29;
constexpr std::size_t kMinNodeBytes = 58;

class TKeyReader
{
public:
    explicit TKeyReader(std::string_view bytes) : FLines(bytes) {}

    TKeyframes Read()
    {
        Header();
        Expect({"SECTION:"}, "SECTION: KEYFRAME NODES");
        if (FLines.Starts({"SECTION:", "MARKERS"}))
        {
            Markers();
            Expect({"SECTION:", "KEYFRAME", "NODES"}, "SECTION: KEYFRAME NODES");
        }
        else if (!FLines.Starts({"SECTION:", "KEYFRAME", "NODES"}))
            Fail(FormatText(kKeyExpectedFormat, {"SECTION: KEYFRAME NODES"}));
        Nodes();
        return std::move(FKey);
    }

private:
    [[noreturn]] void Fail(std::string_view reason) const
    {
        throw EKeyError(FormatText(kKeyLineFormat, {std::to_string(FLines.Line()), reason}));
    }

    // The next line, which must start with `words`; `what` names it in the message.
    void Expect(std::initializer_list<std::string_view> words, std::string_view what)
    {
        if (!FLines.Next())
            Fail(FormatText(kKeyEndsFormat, {what}));
        if (!FLines.Starts(words))
            Fail(FormatText(kKeyExpectedFormat, {what}));
    }

    std::uint32_t Hex(const char* keyword)
    {
        Expect({keyword}, keyword);
        const std::optional<std::uint32_t> value = ReadHex(FLines.Word(1));
        if (!value)
            Fail(FormatText(kKeyHexFormat, {keyword}));
        return *value;
    }

    // The whole number after `keyword`, at least `min`; `reason` otherwise.
    std::int32_t Count(const char* keyword, std::int32_t min, const char* reason)
    {
        Expect({keyword}, keyword);
        const std::optional<std::int32_t> value = ReadInteger(FLines.Word(1));
        if (!value || *value < min)
            Fail(reason);
        return *value;
    }

    void Header()
    {
        Expect({"SECTION:", "HEADER"}, "SECTION: HEADER");
        // Deliberate: the game reads FLAGS as a decimal number, so "0x14" is 0 there; the
        // hexadecimal value is what the author meant.
        FKey.Flags = Hex("FLAGS");
        FKey.Type = Hex("TYPE");
        FKey.Frames = Count("FRAMES", 1, kKeyFrames);
        Expect({"FPS"}, "FPS");
        const std::optional<double> fps = ReadNumber(FLines.Word(1));
        if (!fps || !(*fps > 0))
            Fail(kKeyFps);
        FKey.Fps = *fps;
        FKey.Joints = Count("JOINTS", 0, kKeyJoints);
    }

    void Markers()
    {
        const std::int32_t count = Count("MARKERS", 0, kKeyMarkerCount);
        if (count > kMaxKeyMarkers)
            Fail(kKeyMarkerCount);
        for (std::int32_t i = 0; i < count; ++i)
        {
            if (!FLines.Next())
                Fail(FormatText(kKeyEndsFormat, {"marker " + Ordinal(i, count)}));
            const std::optional<double> frame = ReadNumber(FLines.Word(0));
            const std::optional<std::int32_t> type = ReadInteger(FLines.Word(1));
            if (!frame || !type)
                Fail(kKeyMarker);
            FKey.Markers.push_back({*frame, *type});
        }
    }

    static std::string Ordinal(std::int32_t i, std::int32_t count)
    {
        return std::to_string(i + 1) + " of " + std::to_string(count);
    }

    void Nodes()
    {
        const std::int32_t count = Count("NODES", 0, kKeyNodeCount);
        if (static_cast<std::uint64_t>(count) > (FLines.Remaining() + 1) / kMinNodeBytes)
            Fail(FormatText(kKeyCountBeyondFileFormat, {"NODES", std::to_string(count)}));
        FKey.Nodes.reserve(static_cast<std::size_t>(count));
        for (std::int32_t i = 0; i < count; ++i)
            Node("node " + Ordinal(i, count));
    }

    void Node(const std::string& what)
    {
        TKeyNode node;
        Expect({"NODE"}, "NODE of " + what);
        node.Line = FLines.Line();
        const std::optional<std::int32_t> index = ReadInteger(FLines.Word(1));
        if (!index)
            Fail(kKeyNodeIndex);
        node.Index = *index;
        Expect({"MESH", "NAME"}, "MESH NAME of " + what);
        if (FLines.Count() < 3)
            Fail(FormatText(kKeyExpectedFormat, {"MESH NAME"}));
        node.Name = FLines.Word(2);
        const std::int32_t entries = Count("ENTRIES", 1, kKeyEntryCount);
        if (static_cast<std::uint64_t>(entries) > (FLines.Remaining() + 1) / kMinEntryBytes)
            Fail(FormatText(kKeyCountBeyondFileFormat, {"ENTRIES", std::to_string(entries)}));
        node.Entries.reserve(static_cast<std::size_t>(entries));
        for (std::int32_t k = 0; k < entries; ++k)
            node.Entries.push_back(Entry("entry " + Ordinal(k, entries) + " of " + what, node));
        if (node.Index < 0 || node.Index >= FKey.Joints)
        {
            FKey.Warnings.push_back(FormatText(
                kKeyNodeOutsideFormat, {std::to_string(node.Line), std::to_string(node.Index),
                                        std::to_string(FKey.Joints)}));
            FKey.LeftOut.push_back({node.Index, std::move(node.Name), node.Line});
            return;
        }
        FKey.Nodes.push_back(std::move(node));
    }

    // Numbers of the current line from word `first` on, into `out`; false when one is not.
    bool Numbers(int first, std::initializer_list<double*> out) const
    {
        int i = first;
        for (double* target : out)
        {
            const std::optional<double> value = ReadNumber(FLines.Word(i++));
            if (!value)
                return false;
            *target = *value;
        }
        return true;
    }

    TKeyEntry Entry(const std::string& what, const TKeyNode& node)
    {
        TKeyEntry e;
        if (!FLines.Next())
            Fail(FormatText(kKeyEndsFormat, {what}));
        const std::optional<std::uint32_t> flags = ReadHex(FLines.Word(2));
        if (!flags || !Numbers(1, {&e.Frame}) ||
            !Numbers(3, {&e.X, &e.Y, &e.Z, &e.Pitch, &e.Yaw, &e.Roll}))
            Fail(kKeyEntryLine);
        e.Flags = *flags;
        if (!node.Entries.empty() && e.Frame < node.Entries.back().Frame)
            Fail(kKeyDescending);
        if (!FLines.Next())
            Fail(FormatText(kKeyEndsFormat, {"the second line of " + what}));
        // A first word ending in ':' is the next entry: this entry's second line is missing.
        if (FLines.Word(0).ends_with(':') ||
            !Numbers(0, {&e.DX, &e.DY, &e.DZ, &e.DPitch, &e.DYaw, &e.DRoll}))
            Fail(kKeyDeltaLine);
        return e;
    }

    TTextLines FLines;
    TKeyframes FKey;
};
} // namespace

TKeyframes ReadKeyframes(std::string_view bytes)
{
    TKeyReader reader(bytes);
    return reader.Read();
}
