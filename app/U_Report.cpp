// The application's error display.
#include "U_Report.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QString>

#include <exception>
#include <utility>

namespace
{
TErrorDisplay& ErrorDisplay()
{
    static TErrorDisplay display;
    return display;
}

void ShowMessageBoxLater(const std::string& text)
{
    QMetaObject::invokeMethod(
        qApp,
        [message = QString::fromStdString(text)]
        { QMessageBox::critical(nullptr, QGuiApplication::applicationDisplayName(), message); },
        Qt::QueuedConnection);
}
} // namespace

void SetErrorDisplay(TErrorDisplay display)
{
    ErrorDisplay() = std::move(display);
}

void ShowErrorMessage(const std::string& text)
{
    if (ErrorDisplay())
        ErrorDisplay()(text);
    else
        ShowMessageBoxLater(text);
}

void RunReported(const std::function<void()>& command)
{
    try
    {
        command();
    }
    catch (const std::exception& e)
    {
        ShowErrorMessage(e.what());
    }
}
