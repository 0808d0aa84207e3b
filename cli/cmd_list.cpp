// quillmark-cli list: the entries of a GOB or GOO archive, in index order.
#include "commands.h"
#include "terminal.h"

#include "base/U_String.h"
#include "formats/gob.h"

#include <nlohmann/json.hpp>

#include <iostream>

namespace
{
class TListCommand : public TCommand
{
public:
    void Declare(TOptionParser& parser) override
    {
        parser.File("ARCHIVE", FArchive);
        parser.Flag("--json", FJson);
    }

    // Archive warnings (duplicates, overlaps) go to standard error; the listing stays whole.
    int Run(const TSharedOptions&) override
    {
        const std::unique_ptr<TGobArchive> archive = TGobArchive::Open(FArchive);
        for (const std::string& warning : archive->Warnings())
            PrintWarning(warning);
        if (FJson)
        {
            nlohmann::ordered_json list = nlohmann::ordered_json::array();
            for (std::size_t i = 0; i < archive->Count(); ++i)
            {
                const TGobEntry entry = archive->Entry(i);
                list.push_back({{"name", Latin1ToUtf8(entry.Name)},
                                {"size", entry.Size},
                                {"offset", entry.Offset}});
            }
            std::cout << list.dump() << "\n";
            return 0;
        }
        std::string text;
        for (std::size_t i = 0; i < archive->Count(); ++i)
        {
            const TGobEntry entry = archive->Entry(i);
            text += std::to_string(entry.Size) + " " + ShownName(entry.Name) + "\n";
        }
        std::cout << text;
        return 0;
    }

private:
    std::string FArchive;
    bool FJson = false;
};

const TCommandRegistrar<TListCommand> kList("list");
} // namespace
