#include "view/colors.h"

#include "base/platform.h"
#include "formats/profile.h"

#include <charconv>

std::int32_t BackgroundColor = 0;
std::int32_t GridMarksColor = 0;
std::int32_t InfoTextColor = 0;
std::int32_t MultiSelectColor = 0;
std::int32_t PolygonWireColor = 0;
std::int32_t SelPolygonColor = 0;
std::int32_t SelVertexColor = 0;
std::int32_t VertexColor = 0;

const std::array<TColorRole, 8> ColorRoles = {{
    {"Background", &BackgroundColor},
    {"Grid Marks", &GridMarksColor},
    {"Information Text", &InfoTextColor},
    {"Multiple Selection", &MultiSelectColor},
    {"Polygon Wire", &PolygonWireColor},
    {"Selected Polygon", &SelPolygonColor},
    {"Selected Vertex", &SelVertexColor},
    {"Vertex", &VertexColor},
}};

std::string SettingsFileName()
{
    std::string folder = UserFolder(TUserFolder::ufSettings);
    if (folder.empty())
        folder = ProgramDirectory(); // Added: never a name relative to wherever we started
    return folder + "quillmark.ini";
}

void WriteColorRoles(const std::string& fileName)
{
    TSettingsFile settings(fileName);
    for (const TColorRole& role : ColorRoles)
        settings.WriteInteger(kColorsSection, role.Name, *role.Variable);
}

void ReadColorRoles(const std::string& fileName)
{
    for (const TColorRole& role : ColorRoles)
    {
        const auto text = ReadPrivateProfileString(kColorsSection, role.Name, fileName);
        if (!text)
            continue;
        std::int32_t value = 0;
        const char* end = text->data() + text->size();
        const auto [ptr, ec] = std::from_chars(text->data(), end, value);
        if (ec == std::errc() && ptr == end)
            *role.Variable = value;
    }
}
