// The program's entry: application object, windows in their start-up order, message loop.
#include "F_EDIT.h"
#include "F_Main.h"
#include "dialogs.h"
#include "dxerror.h"

int main(int argc, char* argv[])
{
    MaskFloatingPointExceptions();
    TApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    QApplication::setApplicationDisplayName(QString::fromLatin1(kAppTitle));

    SetMessageBoxHook([](const std::string& text) {
        Dialogs().Message(QApplication::activeWindow(), QString::fromLatin1(kAppTitle),
                          QString::fromStdString(text));
    });
    RegisterViewFactory();
    CreateForms();
    MainForm->show();
    const int result = QApplication::exec();
    DestroyForms();
    return result;
}
