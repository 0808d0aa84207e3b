// The contract between the main window and its orthographic view windows.
#pragma once

#include <QList>
#include <QString>

#include <functional>

class QMenu;
class QWidget;

// What a view needs of the main window: its status bar panels and ShowStatus.
class TViewHost
{
public:
    virtual void SetStatusPanel(int index, const QString& text) = 0;
    virtual QString StatusPanel(int index) const = 0;
    virtual void ShowStatus(const QString& message) = 0;
    virtual ~TViewHost() = default;
};

// What the main window reads of the active view.
class TViewInfo
{
public:
    virtual double Zoom() const = 0;
    virtual int PickMode() const = 0;
    virtual int Projection() const = 0;
    virtual QList<QMenu*> MergedMenus() const = 0;
    virtual ~TViewInfo() = default;
};

// Creates a view window for a plane (0 front, 1 side, 2 top) with its caption set.
extern std::function<QWidget*(TViewHost* host, int plane)> ViewFactory;

// Caption of the message boxes the view windows show.
extern QString MessageCaption;
