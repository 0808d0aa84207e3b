// What the command line prints as text. Names and messages carry bytes from files anyone can
// make; printed through these, nothing in them reaches the terminal as a command.
#pragma once

#include <exception>
#include <string>
#include <string_view>

// A stored name (its bytes taken as Latin-1, as the program shows names everywhere) on one
// line: control characters, C1 (0x80 .. 0x9F) included, as \xNN, then UTF-8.
std::string ShownName(std::string_view stored);

// A message: read as UTF-8 when it is valid UTF-8, else as Latin-1 (as the program's windows
// read messages), in UTF-8 with control characters as \xNN; a carriage return or line feed
// starts a new line, as in a message box.
std::string ShownMessage(std::string_view text);

// "warning: TEXT" on standard error, the text as ShownMessage shows it. Every command prints
// its warnings so.
void PrintWarning(std::string_view text);
// An error's text on standard error, as ShownMessage shows it.
void PrintError(std::string_view text);

// The text of an exception that ends a command: its own, but running out of memory is told in
// the program's words (kOutOfMemory), never the C++ library's.
std::string ErrorText(const std::exception& e);
