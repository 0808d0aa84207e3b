// The application's idle-time processing. Qt has no idle event; a zero-interval timer, which
// fires whenever the event queue has run empty, stands in for it.
#pragma once

#include <QObject>

#include <functional>

// Called when the application is idle. Setting `done` to false asks to be called again at
// once; leaving it true waits until the next event arrives.
using TIdleHandler = std::function<void(bool& done)>;

// Makes `handler` the application's one idle handler, replacing any earlier one. `owner` is
// whoever installed it, so that it can remove it again.
void SetApplicationIdleHandler(const QObject* owner, TIdleHandler handler);
// Removes the idle handler if `owner` installed it; another owner's handler stays.
void ClearApplicationIdleHandler(const QObject* owner);
// Who installed the current handler (nullptr for none).
const QObject* ApplicationIdleOwner();
