// The model a command reads.
#include "modelinput.h"

#include "base/U_String.h"
#include "entrynames.h"
#include "formats/gob.h"

#include <string_view>

TModelLocation LocateModel(const std::string& argument, const TSharedOptions& shared)
{
    TModelLocation location;
    if (shared.Archive.empty())
    {
        // Read as model text, an archive's index would make a model of several.
        if (HasGobSignature(argument))
            throw EOptionValue(FormatText(kModelIsArchive, {argument, argument}));
        location.FileName = argument;
        return location;
    }
    std::shared_ptr<const TGobArchive> archive = TGobArchive::Open(shared.Archive);
    location.EntryName = std::string(archive->Entry(MatchEntry(*archive, argument)).Name);
    location.ArchiveName = shared.Archive;
    location.Archive = std::move(archive);
    return location;
}

const std::string& ModelName(const TModelLocation& location)
{
    return location.Archive ? location.EntryName : location.FileName;
}

std::string LowerExtension(const std::string& name)
{
    const std::size_t dot = name.find_last_of("./\\");
    if (dot == std::string::npos || name[dot] != '.')
        return {};
    return LowerCase(std::string_view(name).substr(dot));
}

std::string ReadModelEntry(const TModelLocation& location)
{
    // Match never gives a duplicate, so the name finds the same entry again.
    return location.Archive->Read(*location.Archive->Find(location.EntryName));
}

TLoadedModel ParseModel(const TModelLocation& location, TLoadProgress& progress)
{
    if (!location.Archive)
        return Parse3DOFile(location.FileName, progress);
    const std::string bytes = ReadModelEntry(location);
    return Parse3DO(bytes, progress);
}
