// quillmark-cli convert: writes one geoset of a model as the preview's .X file.
#include "commands.h"
#include "modelinput.h"

#include "U_String.h"
#include "loader.h"
#include "model.h"
#include "xexport.h"

namespace
{
class TConvertCommand : public TCommand
{
public:
    void Declare(TOptionParser& parser) override
    {
        parser.Model("MODEL.3do", FModel);
        parser.File("OUT.x", FOutput);
        parser.Whole("--geoset N", FGeoSet, 0, kMaxGeoSet);
    }

    int Run(const TSharedOptions& shared) override
    {
        TSilentProgress progress;
        const TLoadedModel loaded = ParseModel(LocateModel(FModel, shared), progress);
        WriteXFile(FOutput, *loaded.Model, *loaded.Nodes, FGeoSet);
        return 0;
    }

private:
    std::string FModel, FOutput;
    int FGeoSet = 0;
};

const TCommandRegistrar<TConvertCommand> kConvert("convert");
} // namespace
