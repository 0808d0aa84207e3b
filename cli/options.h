// quillmark-cli's command line: the one parser every command reads its file names and options
// with, and the usage error it raises.
#pragma once

#include "base/U_String.h"

#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr const char* kUnknownCommand = "Unknown command '%s'";
inline constexpr const char* kUnknownOption = "Unknown option '%s'";
inline constexpr const char* kMissingValue = "Missing value for %s";
inline constexpr const char* kInvalidValue = "Invalid value for %s: '%s'";
inline constexpr const char* kMissingArgument = "Missing %s";
inline constexpr const char* kUnexpectedArgument = "Unexpected argument '%s'";

// The largest picture side the commands draw.
inline constexpr int kMaxPictureSide = 8192;
// Geometry sets are numbered as the main window's arrows count them.
inline constexpr int kMaxGeoSet = 65535;

// A command line the program cannot read. what() names the problem in one line; the program
// prints it with the command's usage and exits 2.
class EUsage : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A well-formed option value the program cannot honour here, such as a driver this build
// does not have: an error like any other (exit 1), never replaced by something else.
class EOptionValue : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A whole decimal number in min .. max, or a finite real number; false for anything else.
bool ReadWhole(std::string_view text, long min, long max, long& value);
bool ReadReal(std::string_view text, double& value);

// Options every command takes. A new one is a field here and one declaration in the
// TOptionParser constructor; every command then accepts it and shows it in its usage. Options
// for every command that reads a model are declared by TOptionParser::Model instead.
struct TSharedOptions
{
    std::string Archive; // the model argument names an entry of this archive
};

// Options are "--name" or "--name VALUE" anywhere on the line; every other argument is the
// next file name. After "--" every argument is a file name. The syntax is "--name" for a flag and
// "--name METAVAR" for an option with a value, as the usage shows them.
class TOptionParser
{
public:
    // Reads one value; false when the text is not a value of the option.
    using TAccept = std::function<bool(const std::string& value)>;

    TOptionParser();

    void File(const std::string& name, std::string& target);
    // Every remaining file name, none or more; declared after the others.
    void Files(const std::string& name, std::vector<std::string>& target);
    // The model file (or, with --archive, the archive entry) the command reads, and the options
    // every such command takes.
    void Model(const std::string& name, std::string& target);
    void Flag(const std::string& syntax, bool& target);
    void Value(const std::string& syntax, TAccept accept);
    void Text(const std::string& syntax, std::string& target);
    // A text option the command cannot do without; the usage shows it without brackets.
    void RequiredText(const std::string& syntax, std::string& target);
    void Whole(const std::string& syntax, int& target, int min, int max);
    // "WxH", each side 1 .. kMaxPictureSide.
    void Size(const std::string& syntax, int& width, int& height);
    // One of the named choices; the usage lists them.
    void Choice(const std::string& name, int& target,
                std::vector<std::pair<std::string, int>> choices);

    // Fills the targets; raises EUsage for an unknown option, a missing or unreadable value, or
    // too few or too many file names.
    void Parse(const std::vector<std::string>& args);
    // The files and options as the usage line shows them.
    std::string Usage() const;
    const TSharedOptions& Shared() const { return FShared; }

    // Whether the line asks for help (--help or -h before any "--").
    static bool AsksForHelp(const std::vector<std::string>& args);

private:
    struct TOption
    {
        std::string Name;
        std::string Syntax;
        bool* FlagTarget = nullptr;
        TAccept Accept;
        bool Required = false;
    };

    struct TFile
    {
        std::string Name;
        std::string* Target;
    };

    void Add(const std::string& syntax, bool* flag, TAccept accept);

    std::vector<TFile> FFiles;
    std::vector<std::string>* FRest = nullptr;
    std::string FRestName;
    std::vector<TOption> FOptions;
    TSharedOptions FShared;
};
