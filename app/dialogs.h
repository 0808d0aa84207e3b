// The seam through which every message box and file or colour dialog is shown, the one place
// that reports an error reaching the event loop, and the colour conversion at the Qt edge.
#pragma once

#include <QApplication>
#include <QColor>
#include <QMessageBox>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string_view>

class QFileDialog;
class QWidget;

inline constexpr const char* kAppTitle = "Quillmark";

// The modal dialogs the program uses. The default shows Qt's dialogs; tests install their own
// so that no dialog ever blocks them.
class TDialogs
{
public:
    virtual ~TDialogs() = default;
    // An existing file chosen by the user, or an empty string when cancelled. `filter` is a
    // Qt name filter list separated by ";;"; the dialog shows each without its last brackets,
    // the patterns (SetOpenFilters). Added: the dialog starts in the folder `start` (empty: Qt's
    // choice).
    virtual QString OpenFileName(QWidget* parent, const QString& filter,
                                 const QString& start = {}) = 0;
    // Added: a file to write, chosen by the user (who has agreed to replace it if it exists),
    // or an empty string when cancelled. A name typed without a suffix takes the suffix of the
    // filter chosen, the first pattern's. `start` is the file the dialog suggests, its folder
    // where it opens.
    virtual QString SaveFileName(QWidget* parent, const QString& filter,
                                 const QString& start = {}) = 0;
    // The chosen colour (0x00BBGGRR), or nothing when cancelled; the dialog starts at `initial`.
    virtual std::optional<std::int32_t> ChooseColor(QWidget* parent, std::int32_t initial) = 0;
    // A message box with an OK button. It opens above any window that stays on top, so that
    // the progress window of a load cannot hide it.
    virtual void Message(QWidget* parent, const QString& caption, const QString& text,
                         QMessageBox::Icon icon = QMessageBox::Information) = 0;
    // Added: an existing folder chosen by the user, or an empty string when cancelled; the
    // dialog starts in `initial`.
    virtual QString FolderName(QWidget* parent, const QString& caption, const QString& initial) = 0;
    // Added: a question with Yes and No buttons; true for Yes.
    virtual bool Ask(QWidget* parent, const QString& caption, const QString& text) = 0;
    // Added: the index of the entry of `items` the user chose, or nothing when cancelled;
    // entry `current` is selected when the list opens.
    virtual std::optional<int> ChooseItem(QWidget* parent, const QString& caption,
                                          const QString& label, const QStringList& items,
                                          int current) = 0;
};

// The dialogs in force.
TDialogs& Dialogs();
// Installs `dialogs` (not owned) for every later dialog; nullptr restores Qt's dialogs.
void SetDialogs(TDialogs* dialogs);

// The name filters of an open dialog, each shown as its text without its last brackets, which
// hold the patterns: "All Files (*)" reads "All Files" and still lists every file.
void SetOpenFilters(QFileDialog& dialog, const QString& filter);

// Runs a command. An exception that leaves it is shown in an error box captioned with the
// application title, and the program goes on with the state the command reached.
void RunCommand(const std::function<void()>& command);

// An error's text for the screen: UTF-8 where it is (file names), otherwise each byte as the
// character of the same code, as names from model files are shown everywhere.
QString MessageText(const char* what);
// A name from a model or an archive for the screen: names hold the file's bytes, and each byte
// is the character of the same code, as everywhere.
QString NameText(std::string_view name);
// The text of an exception that ends a command: MessageText of its own, but running out of
// memory is told in the program's words, never the C++ library's.
QString ErrorText(const std::exception& e);

// A slot that runs object->method() through RunCommand.
template <class T> auto Command(T* object, void (T::*method)())
{
    return [object, method] { RunCommand([&] { (object->*method)(); }); };
}

// The application object: carries the application title, shows the plain message boxes of
// the 3D layer under it, and reports errors that escape any event handler as RunCommand does.
class TApplication : public QApplication
{
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Places the window's client area in the middle of its screen.
void CentreOnScreen(QWidget* window);

// Gives a top-level window a size that includes its frame and title bar. Qt sizes the inside,
// and the frame is known only once a window manager has framed the shown window; the inside
// then shrinks by it, once (and a `centred` window is centred again, frame included). Without
// a window manager the inside keeps `outer`.
void SetOuterSize(QWidget* window, QSize outer, bool centred);

// 0x00BBGGRR to and from QColor.
QColor ToQColor(std::int32_t color);
std::int32_t FromQColor(const QColor& color);
