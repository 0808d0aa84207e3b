// Qt keys as Windows virtual key codes.
#include "virtualkeys.h"

#include "view/keycodes.h"

std::uint16_t VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::KeypadModifier)
    {
        switch (qtKey)
        {
        case Qt::Key_Asterisk:
            return kVkMultiply;
        case Qt::Key_Plus:
            return kVkAdd;
        case Qt::Key_Comma:
            return kVkSeparator;
        case Qt::Key_Minus:
            return kVkSubtract;
        case Qt::Key_Period:
            return kVkDecimal;
        case Qt::Key_Slash:
            return kVkDivide;
        default:
            break;
        }
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return static_cast<std::uint16_t>(kVkNumpad0 + (qtKey - Qt::Key_0));
    }
    // Letters and digits share their codes with Qt.
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return static_cast<std::uint16_t>(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return static_cast<std::uint16_t>(kVkF1 + (qtKey - Qt::Key_F1));
    switch (qtKey)
    {
    case Qt::Key_Backspace:
        return kVkBack;
    case Qt::Key_Tab:
        return kVkTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return kVkReturn;
    case Qt::Key_Escape:
        return kVkEscape;
    case Qt::Key_Space:
        return kVkSpace;
    case Qt::Key_PageUp:
        return kVkPageUp;
    case Qt::Key_PageDown:
        return kVkPageDown;
    case Qt::Key_End:
        return kVkEnd;
    case Qt::Key_Home:
        return kVkHome;
    case Qt::Key_Left:
        return kVkLeft;
    case Qt::Key_Up:
        return kVkUp;
    case Qt::Key_Right:
        return kVkRight;
    case Qt::Key_Down:
        return kVkDown;
    case Qt::Key_Insert:
        return kVkInsert;
    case Qt::Key_Delete:
        return kVkDelete;
    default:
        return 0;
    }
}
