// What the main window and the orthographic view windows need of each other: the frame's
// status bar, the view's state for the status texts, the view's menus that the frame merges,
// and the factory through which the frame creates view windows.
#pragma once

#include <QList>
#include <QString>

#include <functional>

class QMenu;
class QWidget;

// The frame as a view window sees it. Panels are numbered from 0 to 5; any other index throws
// EListError ("List index out of bounds").
class TViewHost
{
public:
    virtual void SetStatusPanel(int index, const QString& text) = 0;
    virtual QString StatusPanel(int index) const = 0;
    // Writes zoom, pick mode, projection and `message` when the active child is a view window;
    // does nothing otherwise.
    virtual void ShowStatus(const QString& message) = 0;
    virtual ~TViewHost() = default;
};

// Implemented by the widget of every orthographic view window. The frame finds it with
// dynamic_cast on the widget of its active MDI subwindow.
class TViewInfo
{
public:
    virtual double Zoom() const = 0;
    virtual int PickMode() const = 0;   // pkVertex 0, pkPolygon 1
    virtual int Projection() const = 0; // prParallel 0, prPerspective 1
    // Menus shown in the frame's menu bar while this view is active. Each menu carries its
    // group index as the integer property "groupIndex"; the view keeps ownership.
    virtual QList<QMenu*> MergedMenus() const = 0;
    virtual ~TViewInfo() = default;
};

// The name of the dynamic property that holds a menu's group index.
inline constexpr const char* kGroupIndexProperty = "groupIndex";

// Creates a view window for plane vpFront (0), vpSide (1) or vpTop (2). The view sets its own
// plane and caption. The frame puts the widget into a new MDI subwindow that is deleted when
// it is closed, shows it and makes it active. Set by RegisterViewFactory (F_EDIT.h), which
// main calls before the main window exists; while it is empty the view commands do nothing.
extern std::function<QWidget*(TViewHost* host, int plane)> ViewFactory;

// A view window's design size outside, frame included.
inline constexpr int kViewOuterWidth = 299;
inline constexpr int kViewOuterHeight = 250;

// Caption of the view windows' message boxes; "Vellspore" once the main window exists.
extern QString MessageCaption;
