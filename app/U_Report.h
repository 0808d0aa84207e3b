// The application's one error display: commands run from slots and event handlers go through
// RunReported, which shows an escaping exception's text and returns.
#pragma once

#include <functional>
#include <string>

// Shows `text` to the user. The default is a message box captioned with the application
// title, posted to the event loop so that a failure inside a paint or an idle call does not
// open a nested loop there. Tests install a recorder; an empty display restores the default.
using TErrorDisplay = std::function<void(const std::string& text)>;
void SetErrorDisplay(TErrorDisplay display);
void ShowErrorMessage(const std::string& text);

// Runs `command`; a std::exception escaping it is shown with ShowErrorMessage and swallowed,
// leaving whatever state the command reached.
void RunReported(const std::function<void()>& command);
