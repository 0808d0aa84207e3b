// How the commands show archive entry names and find the entry a command line names. Stored
// names are bytes; each byte above 127 is taken as the character of the same code (Latin-1).
#pragma once

#include "base/U_String.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class TGobArchive;

// The reverse of Latin1ToUtf8 (U_String.h), when the text is UTF-8 of characters up to U+00FF only; else nothing.
std::optional<std::string> Utf8ToLatin1(std::string_view text);

// The entry a command-line argument (UTF-8) names, by TGobArchive::Match's rules; an argument
// with characters from U+0080 to U+00FF is tried first as the bytes of those characters, then
// as typed. Throws EArchiveError (kArchiveEntryNotFound, kArchiveEntryAmbiguous).
std::size_t MatchEntry(const TGobArchive& archive, const std::string& argument);
