// The model a command reads: a file, or with --archive an entry of an archive.
#pragma once

#include "game/assets.h"
#include "model/loader.h"
#include "options.h"

#include <string>

// Added: a model argument that is an archive, given without --archive.
inline constexpr const char* kModelIsArchive =
    "%s is a GOB archive, not a model: name a model in it with --archive %s ENTRY";

// Where the command's model argument points: the file, or the archive opened and the entry
// found (MatchEntry). Throws as TGobArchive::Open and MatchEntry do, and EOptionValue
// (kModelIsArchive) for a file that starts as an archive does when --archive is not given.
TModelLocation LocateModel(const std::string& argument, const TSharedOptions& shared);

// The model's name as stored (the file name, or the entry name).
const std::string& ModelName(const TModelLocation& location);
// The extension of a file or entry name, lower-case with its dot; empty when it has none.
std::string LowerExtension(const std::string& name);

// The entry's bytes; throws as TGobArchive::Read.
std::string ReadModelEntry(const TModelLocation& location);
// Parses the model from its file, or from the entry's bytes in memory: the same results and
// messages either way.
TLoadedModel ParseModel(const TModelLocation& location, TLoadProgress& progress);
