// The .pup reader.
#include "formats/puppet.h"

#include "base/U_String.h"
#include "formats/textlines.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace
{
class TPuppetReader
{
public:
    explicit TPuppetReader(std::string_view bytes) : FLines(bytes) {}

    TPuppet Read()
    {
        while (FLines.Next())
        {
            if (StartsWithText(FLines.Word(0), "mode="))
                ModeLine();
            else if (FLines.Count() == 1 && SameText(FLines.Word(0), "joints"))
                Joints();
            else if (FLines.Count() >= 2)
                Action();
            else
                Warn(kPuppetOneWordFormat);
        }
        return std::move(FPuppet);
    }

private:
    [[noreturn]] void Fail(std::string_view reason) const
    {
        throw EPuppetError(FormatText(kPuppetLineFormat, {std::to_string(FLines.Line()), reason}));
    }

    void Warn(const char* format, std::string_view more = {})
    {
        FPuppet.Warnings.push_back(FormatText(format, {std::to_string(FLines.Line()), more}));
    }

    // The number after "NAME=" in a word that starts so.
    std::optional<std::int32_t> Setting(std::string_view word, std::string_view name) const
    {
        const std::optional<std::int32_t> value = ReadInteger(word.substr(name.size()));
        if (!value || *value < 0)
            return std::nullopt;
        return value;
    }

    TPuppetMode& AddMode(std::int32_t number)
    {
        FModes.emplace(number, FPuppet.Modes.size());
        FPuppet.Modes.push_back({number, std::nullopt, {}});
        FIndex.emplace_back();
        return FPuppet.Modes.back();
    }

    TPuppetMode* FindMode(std::int32_t number)
    {
        const auto it = FModes.find(number);
        return it == FModes.end() ? nullptr : &FPuppet.Modes[it->second];
    }

    std::size_t Current()
    {
        // Only a mode line sets it, so no mode exists yet.
        if (!FCurrent)
        {
            AddMode(0);
            FCurrent = 0;
        }
        return *FCurrent;
    }

    void ModeLine()
    {
        const std::optional<std::int32_t> number = Setting(FLines.Word(0), "mode=");
        if (!number)
            Fail(kPuppetMode);
        TPuppetMode* mode = FindMode(*number);
        if (!mode)
            mode = &AddMode(*number);
        FCurrent = static_cast<std::size_t>(mode - FPuppet.Modes.data());
        for (int i = 1; i < FLines.Count(); ++i)
        {
            if (!StartsWithText(FLines.Word(i), "basedon="))
                continue;
            const std::optional<std::int32_t> base = Setting(FLines.Word(i), "basedon=");
            if (!base)
                Fail(kPuppetBasedOn);
            const TPuppetMode* from = FindMode(*base);
            if (!from || from->Number == *number)
            {
                Warn(kPuppetNoBaseFormat, std::to_string(*base));
                continue;
            }
            const std::vector<TPuppetAction> copied = from->Actions;
            FPuppet.Modes[*FCurrent].BasedOn = *base;
            for (TPuppetAction a : copied)
            {
                a.Inherited = true;
                Put(*FCurrent, std::move(a));
            }
        }
    }

    void Put(std::size_t modeIndex, TPuppetAction action)
    {
        TPuppetMode& mode = FPuppet.Modes[modeIndex];
        std::string lower = action.Name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
        const auto [at, added] = FIndex[modeIndex].try_emplace(lower, mode.Actions.size());
        if (!added)
        {
            mode.Actions[at->second] = std::move(action);
            return;
        }
        if (++FActions > kMaxPuppetActions)
            Fail(kPuppetTooManyActions);
        mode.Actions.push_back(std::move(action));
    }

    void Action()
    {
        TPuppetAction a;
        a.Name = FLines.Word(0);
        a.Key = FLines.Word(1);
        a.Line = FLines.Line();
        if (FLines.Count() > 2)
        {
            const std::optional<std::uint32_t> flags = ReadHex(FLines.Word(2));
            if (!flags)
                Fail(kPuppetFlags);
            a.Flags = *flags;
        }
        if (FLines.Count() > 3)
        {
            const std::optional<std::int32_t> low = ReadInteger(FLines.Word(3));
            const std::optional<std::int32_t> high =
                FLines.Count() > 4 ? ReadInteger(FLines.Word(4)) : low;
            if (!low || !high)
                Fail(kPuppetPriority);
            a.LowPriority = *low;
            a.HighPriority = *high;
        }
        Put(Current(), std::move(a));
    }

    void Joints()
    {
        while (FLines.Next())
        {
            if (FLines.Count() == 1 && SameText(FLines.Word(0), "end"))
                return;
            const std::string_view word = FLines.Word(0);
            const std::size_t equals = word.find('=');
            const std::optional<std::int32_t> part = equals == std::string_view::npos
                                                         ? std::nullopt
                                                         : ReadInteger(word.substr(0, equals));
            const std::optional<std::int32_t> node = equals == std::string_view::npos
                                                         ? std::nullopt
                                                         : ReadInteger(word.substr(equals + 1));
            if (!part || !node || FLines.Count() != 1)
                Fail(kPuppetJoint);
            if (FPuppet.Joints.size() >= kMaxPuppetActions)
                Fail(kPuppetTooManyActions);
            FPuppet.Joints.push_back({*part, *node});
        }
        Warn(kPuppetJointsNotEndedFormat);
    }

    TTextLines FLines;
    TPuppet FPuppet;
    std::optional<std::size_t> FCurrent;
    std::size_t FActions = 0;
    // Per mode, each action's lower-case name and place: a long table is not searched per line.
    std::vector<std::unordered_map<std::string, std::size_t>> FIndex;
    std::unordered_map<std::int32_t, std::size_t> FModes; // mode number to its place
};
} // namespace

bool PuppetActionHasKey(const TPuppetAction& action)
{
    return !SameText(action.Key, "none");
}

TPuppet ReadPuppet(std::string_view bytes)
{
    TPuppetReader reader(bytes);
    return reader.Read();
}
