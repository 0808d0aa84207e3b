// The eight colour roles with which the views draw, and their settings file. A colour is
// 0x00BBGGRR: red in the lowest byte, then green, then blue.
#pragma once

#include <array>
#include <cstdint>
#include <string>

extern std::int32_t BackgroundColor;
extern std::int32_t GridMarksColor;
extern std::int32_t InfoTextColor;
extern std::int32_t MultiSelectColor;
extern std::int32_t PolygonWireColor;
extern std::int32_t SelPolygonColor;
extern std::int32_t SelVertexColor;
extern std::int32_t VertexColor;

inline constexpr const char* kColorsSection = "COLORS";

// A role's text (also its settings key) and its variable.
struct TColorRole
{
    const char* Name;
    std::int32_t* Variable;
};

// In the order of the preferences list and of the writes.
extern const std::array<TColorRole, 8> ColorRoles;

// quillmark.ini in the per-user settings folder (UserFolder: ~/.config/Quillmark or
// $XDG_CONFIG_HOME/Quillmark on Linux, %APPDATA%\Quillmark on Windows), or beside the program
// when the system names no such folder.
std::string SettingsFileName();

// Writes every role under "COLORS", in list order. Throws EProfileError at the first key that
// cannot be written; the keys before it stay written.
void WriteColorRoles(const std::string& fileName);

// Sets each role that the file holds as a signed decimal integer; roles whose key is missing
// or unreadable, or all when the file is missing, keep their value.
void ReadColorRoles(const std::string& fileName);
