// Entry names between archives and the command line.
#include "entrynames.h"

#include "formats/gob.h"

std::optional<std::string> Utf8ToLatin1(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80)
            out.push_back(static_cast<char>(c));
        else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
                 (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80)
        {
            out.push_back(static_cast<char>((c & 0x03) << 6 | (text[i + 1] & 0x3F)));
            ++i;
        }
        else
            return std::nullopt;
    }
    return out;
}

std::size_t MatchEntry(const TGobArchive& archive, const std::string& argument)
{
    const std::optional<std::string> bytes = Utf8ToLatin1(argument);
    if (bytes && *bytes != argument)
    {
        try
        {
            return archive.Match(*bytes);
        }
        catch (const EArchiveError&)
        {
            // The archive may store the name as typed (UTF-8); the message names it so.
        }
    }
    return archive.Match(argument);
}
