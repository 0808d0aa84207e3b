#include "dialogs.h"

#include "model/loader.h"
#include "scene/dxerror.h"

#include <QColorDialog>
#include <QEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QRegularExpression>
#include <QScreen>
#include <QStringDecoder>
#include <QWindow>

#include <algorithm>
#include <exception>
#include <new>
#include <stdexcept>

namespace
{

class TQtDialogs : public TDialogs
{
public:
    QString OpenFileName(QWidget* parent, const QString& filter, const QString& start) override
    {
        QFileDialog dialog(parent, QString(), start);
        dialog.setFileMode(QFileDialog::ExistingFile);
        SetOpenFilters(dialog, filter);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    }

    QString SaveFileName(QWidget* parent, const QString& filter, const QString& start) override
    {
        const auto suffixOf = [](const QString& nameFilter)
        {
            static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
            return pattern.match(nameFilter).captured(1);
        };
        const QStringList filters = filter.split(QStringLiteral(";;"));
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters(filters);
        dialog.setDefaultSuffix(suffixOf(filters.first()));
        if (!start.isEmpty())
            dialog.selectFile(start);
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, suffixOf](const QString& chosen)
                         { dialog.setDefaultSuffix(suffixOf(chosen)); });
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    }

    std::optional<std::int32_t> ChooseColor(QWidget* parent, std::int32_t initial) override
    {
        const QColor chosen = QColorDialog::getColor(ToQColor(initial), parent);
        if (!chosen.isValid())
            return std::nullopt;
        return FromQColor(chosen);
    }

    void Message(QWidget* parent, const QString& caption, const QString& text,
                 QMessageBox::Icon icon) override
    {
        QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
        if (AnyWindowStaysOnTop())
            box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.exec();
    }

    QString FolderName(QWidget* parent, const QString& caption, const QString& initial) override
    {
        return QFileDialog::getExistingDirectory(parent, caption, initial);
    }

    bool Ask(QWidget* parent, const QString& caption, const QString& text) override
    {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                        parent);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }

    std::optional<int> ChooseItem(QWidget* parent, const QString& caption, const QString& label,
                                  const QStringList& items, int current) override
    {
        bool ok = false;
        const QString chosen =
            QInputDialog::getItem(parent, caption, label, items, current, false, &ok);
        if (!ok || !items.contains(chosen))
            return std::nullopt;
        return static_cast<int>(items.indexOf(chosen));
    }

private:
    static bool AnyWindowStaysOnTop()
    {
        const QWidgetList windows = QApplication::topLevelWidgets();
        return std::any_of(windows.begin(), windows.end(),
                           [](const QWidget* w) {
                               return w->isVisible() &&
                                      w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
                           });
    }
};

// Waits until a window manager has framed its window, then takes the frame off the inside.
class TOuterSizer : public QObject
{
public:
    TOuterSizer(QWidget* window, QSize outer, bool centred)
        : QObject(window), FWindow(window), FOuter(outer), FCentred(centred)
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        // A framed window is moved into its frame, so one of these follows the framing.
        const QEvent::Type type = event->type();
        if (type != QEvent::Move && type != QEvent::Resize && type != QEvent::Show &&
            type != QEvent::WindowActivate)
            return false;
        const QWindow* handle = FWindow->windowHandle();
        if (!handle || !FWindow->isVisible() || handle->frameMargins().isNull())
            return false;
        FWindow->removeEventFilter(this);
        FWindow->resize(FOuter.shrunkBy(handle->frameMargins()));
        if (FCentred)
            if (const QScreen* s = FWindow->screen())
            {
                QRect frame(QPoint(), FOuter);
                frame.moveCenter(s->availableGeometry().center());
                FWindow->move(frame.topLeft()); // a top-level's position is its frame's
            }
        deleteLater();
        return false;
    }

private:
    QWidget* FWindow;
    QSize FOuter;
    bool FCentred;
};

TQtDialogs qtDialogs;
TDialogs* installed = nullptr;

} // namespace

TDialogs& Dialogs()
{
    return installed ? *installed : qtDialogs;
}

void SetDialogs(TDialogs* dialogs)
{
    installed = dialogs;
}

QString MessageText(const char* what)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(QByteArrayView(what));
    return utf8.hasError() ? QString::fromLatin1(what) : text;
}

QString NameText(std::string_view name)
{
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

QString ErrorText(const std::exception& e)
{
    if (dynamic_cast<const std::bad_alloc*>(&e) || dynamic_cast<const std::length_error*>(&e))
        return QString::fromLatin1(kOutOfMemory);
    return MessageText(e.what());
}

void SetOpenFilters(QFileDialog& dialog, const QString& filter)
{
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(filter.split(QStringLiteral(";;")));
}

void RunCommand(const std::function<void()>& command)
{
    try
    {
        command();
    }
    catch (const std::exception& e)
    {
        // A carriage return inside a message starts a new line, as the message box shows it.
        QString text = ErrorText(e);
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        Dialogs().Message(QApplication::activeWindow(), QString::fromLatin1(kAppTitle), text,
                          QMessageBox::Critical);
    }
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // No display name: Qt would append it to every window title.
    setApplicationName(QString::fromLatin1(kAppTitle));
    SetMessageBoxHook(
        [](const std::string& text)
        {
            Dialogs().Message(QApplication::activeWindow(), QString::fromLatin1(kAppTitle),
                              QString::fromStdString(text), QMessageBox::NoIcon);
        });
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    bool result = false;
    RunCommand([&] { result = QApplication::notify(receiver, event); });
    return result;
}

void CentreOnScreen(QWidget* window)
{
    if (const QScreen* s = window->screen())
    {
        QRect client(QPoint(), window->size());
        client.moveCenter(s->availableGeometry().center());
        window->setGeometry(client);
    }
}

void SetOuterSize(QWidget* window, QSize outer, bool centred)
{
    window->resize(outer);
    new TOuterSizer(window, outer, centred);
}

QColor ToQColor(std::int32_t color)
{
    const auto c = static_cast<std::uint32_t>(color);
    return QColor(static_cast<int>(c & 0xff), static_cast<int>((c >> 8) & 0xff),
                  static_cast<int>((c >> 16) & 0xff));
}

std::int32_t FromQColor(const QColor& color)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(color.red()) |
                                     (static_cast<std::uint32_t>(color.green()) << 8) |
                                     (static_cast<std::uint32_t>(color.blue()) << 16));
}
