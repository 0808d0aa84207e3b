// The program's entry: application object, windows in their start-up order, message loop.
#include "F_Main.h"
#include "dialogs.h"

int main(int argc, char* argv[])
{
    TApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    QApplication::setApplicationDisplayName(QString::fromLatin1(kAppTitle));

    CreateForms();
    MainForm->show();
    const int result = QApplication::exec();
    DestroyForms();
    return result;
}
