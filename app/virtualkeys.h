// Qt's key events translated to the key codes the views answer (keycodes.h).
#pragma once

#include <Qt>

#include <cstdint>

// Windows virtual key code of a Qt key, keypad keys told apart (0 for keys without one).
std::uint16_t VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);
