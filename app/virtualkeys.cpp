// Qt keys as Windows virtual key codes.
#include "virtualkeys.h"

#include "viewcore.h"

std::uint16_t VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::KeypadModifier)
    {
        switch (qtKey)
        {
        case Qt::Key_Asterisk:
            return 106;
        case Qt::Key_Plus:
            return kVkAdd;
        case Qt::Key_Comma:
            return kVkSeparator;
        case Qt::Key_Minus:
            return kVkSubtract;
        case Qt::Key_Period:
            return 110;
        case Qt::Key_Slash:
            return 111;
        default:
            break;
        }
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return static_cast<std::uint16_t>(96 + (qtKey - Qt::Key_0));
    }
    // Letters and digits share their codes with Qt.
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return static_cast<std::uint16_t>(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return static_cast<std::uint16_t>(112 + (qtKey - Qt::Key_F1));
    switch (qtKey)
    {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return kVkPageUp;
    case Qt::Key_PageDown:
        return kVkPageDown;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return kVkLeft;
    case Qt::Key_Up:
        return kVkUp;
    case Qt::Key_Right:
        return kVkRight;
    case Qt::Key_Down:
        return kVkDown;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        return 0;
    }
}
