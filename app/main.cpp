// The program's entry: application object, windows in their start-up order, message loop.
#include "F_EDIT.h"
#include "F_Main.h"
#include "dialogs.h"
#include "scene/dxerror.h"

int main(int argc, char* argv[])
{
    MaskFloatingPointExceptions();
    TApplication app(argc, argv);
    RegisterViewFactory();
    CreateForms();
    MainForm->show();
    MainForm->OpenArguments(QCoreApplication::arguments().mid(1));
    const int result = QApplication::exec();
    DestroyForms();
    return result;
}
