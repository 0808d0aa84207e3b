// Added: where the program finds the game's files, as the application saves it in the settings
// file beside the colours: the game folder, the chosen colormap and whether textures are shown.
#pragma once

#include <string>

inline constexpr const char* kGameSection = "GAME";
inline constexpr const char* kGameFolderKey = "Folder";     // UTF-8 path; empty: none
inline constexpr const char* kGameColormapKey = "Colormap"; // empty: the default colormap
inline constexpr const char* kGameTexturesKey = "Textures"; // "1" shown, "0" not
// Added: the folder each kind of file dialog last took a file from (UTF-8 paths).
inline constexpr const char* kGameModelDialogKey = "ModelDialogFolder";
inline constexpr const char* kGameArchiveDialogKey = "ArchiveDialogFolder";
inline constexpr const char* kGameExportDialogKey = "ExportDialogFolder";
// Added: the archive browser's size ("WxH") and whether it shows the gallery ("1") or the list.
inline constexpr const char* kGameBrowserSizeKey = "ArchiveBrowserSize";
inline constexpr const char* kGameBrowserGalleryKey = "ArchiveBrowserGallery";

struct TGameSettings
{
    std::string Folder;
    std::string Colormap;
    bool Textures = true;
};

// The settings the file holds; a missing file, section or key keeps the default above, and
// Textures is off only for "0".
TGameSettings ReadGameSettings(const std::string& fileName);
