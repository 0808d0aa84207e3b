// quillmark-cli's command-line parser.
#include "options.h"

#include <charconv>
#include <cmath>

bool ReadWhole(std::string_view text, long min, long max, long& value)
{
    long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < min || v > max)
        return false;
    value = v;
    return true;
}

bool ReadReal(std::string_view text, double& value)
{
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

TOptionParser::TOptionParser()
{
    // The shared options are declared here, so that they come before each command's own.
}

void TOptionParser::File(const std::string& name, std::string& target)
{
    FFiles.push_back({name, &target});
}

void TOptionParser::Files(const std::string& name, std::vector<std::string>& target)
{
    FRestName = name;
    FRest = &target;
}

void TOptionParser::Model(const std::string& name, std::string& target)
{
    File(name, target);
    Text("--archive ARCHIVE", FShared.Archive);
}

void TOptionParser::Add(const std::string& syntax, bool* flag, TAccept accept)
{
    TOption option;
    option.Name = syntax.substr(0, syntax.find(' '));
    option.Syntax = syntax;
    option.FlagTarget = flag;
    option.Accept = std::move(accept);
    FOptions.push_back(std::move(option));
}

void TOptionParser::Flag(const std::string& syntax, bool& target)
{
    Add(syntax, &target, {});
}

void TOptionParser::Value(const std::string& syntax, TAccept accept)
{
    Add(syntax, nullptr, std::move(accept));
}

void TOptionParser::Text(const std::string& syntax, std::string& target)
{
    Value(syntax,
          [&target](const std::string& v)
          {
              target = v;
              return true;
          });
}

void TOptionParser::RequiredText(const std::string& syntax, std::string& target)
{
    Text(syntax, target);
    FOptions.back().Required = true;
}

void TOptionParser::Whole(const std::string& syntax, int& target, int min, int max)
{
    Value(syntax,
          [&target, min, max](const std::string& v)
          {
              long value = 0;
              if (!ReadWhole(v, min, max, value))
                  return false;
              target = static_cast<int>(value);
              return true;
          });
}

void TOptionParser::Size(const std::string& syntax, int& width, int& height)
{
    Value(syntax,
          [&width, &height](const std::string& v)
          {
              const std::size_t x = v.find_first_of("xX");
              long w = 0, h = 0;
              if (x == std::string::npos ||
                  !ReadWhole(std::string_view(v).substr(0, x), 1, kMaxPictureSide, w) ||
                  !ReadWhole(std::string_view(v).substr(x + 1), 1, kMaxPictureSide, h))
                  return false;
              width = static_cast<int>(w);
              height = static_cast<int>(h);
              return true;
          });
}

void TOptionParser::Choice(const std::string& name, int& target,
                           std::vector<std::pair<std::string, int>> choices)
{
    std::string syntax = name;
    for (std::size_t i = 0; i < choices.size(); ++i)
        syntax += (i == 0 ? " " : "|") + choices[i].first;
    Value(syntax,
          [&target, choices = std::move(choices)](const std::string& v)
          {
              for (const auto& [text, value] : choices)
              {
                  if (text == v)
                  {
                      target = value;
                      return true;
                  }
              }
              return false;
          });
}

void TOptionParser::Parse(const std::vector<std::string>& args)
{
    std::size_t file = 0;
    bool optionsEnded = false;
    std::vector<bool> given(FOptions.size(), false);
    for (std::size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--")
        {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && a.size() > 2 && a.compare(0, 2, "--") == 0)
        {
            const TOption* option = nullptr;
            for (std::size_t o = 0; o < FOptions.size(); ++o)
            {
                if (FOptions[o].Name == a)
                {
                    option = &FOptions[o];
                    given[o] = true;
                }
            }
            if (!option)
                throw EUsage(FormatText(kUnknownOption, {a}));
            if (option->FlagTarget)
                *option->FlagTarget = true;
            else if (i + 1 >= args.size())
                throw EUsage(FormatText(kMissingValue, {a}));
            else if (!option->Accept(args[++i]))
                throw EUsage(FormatText(kInvalidValue, {a, args[i]}));
            continue;
        }
        if (file >= FFiles.size() && FRest)
        {
            FRest->push_back(a);
            continue;
        }
        if (file >= FFiles.size())
            throw EUsage(FormatText(kUnexpectedArgument, {a}));
        *FFiles[file++].Target = a;
    }
    if (file < FFiles.size())
        throw EUsage(FormatText(kMissingArgument, {FFiles[file].Name}));
    for (std::size_t o = 0; o < FOptions.size(); ++o)
        if (FOptions[o].Required && !given[o])
            throw EUsage(FormatText(kMissingArgument, {FOptions[o].Syntax}));
}

std::string TOptionParser::Usage() const
{
    std::string usage;
    for (const TFile& f : FFiles)
        usage += (usage.empty() ? "" : " ") + f.Name;
    if (FRest)
        usage += (usage.empty() ? "[" : " [") + FRestName + "...]";
    for (const TOption& o : FOptions)
        usage += (usage.empty() ? "" : " ") + (o.Required ? o.Syntax : "[" + o.Syntax + "]");
    return usage;
}

bool TOptionParser::AsksForHelp(const std::vector<std::string>& args)
{
    for (const std::string& a : args)
    {
        if (a == "--")
            return false;
        if (a == "--help" || a == "-h")
            return true;
    }
    return false;
}
