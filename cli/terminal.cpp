// Text for the terminal.
#include "terminal.h"

#include "base/U_String.h"
#include "model/loader.h"

#include <cstdint>
#include <cstdio>
#include <new>
#include <stdexcept>

namespace
{
// The length of the well-formed UTF-8 sequence at `at` (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF), and its code point; 0 when there is none.
std::size_t Utf8Sequence(std::string_view text, std::size_t at, std::uint32_t& code)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    if (lead < 0x80)
        length = 1;
    else if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    code = lead & kLeadBits[length];
    if (text.size() - at < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i)
    {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (byte(i) & 0x3Fu);
    }
    if ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
        (length == 4 && (code < 0x10000 || code > 0x10FFFF)))
        return 0;
    return length;
}

bool IsUtf8(std::string_view text)
{
    std::uint32_t code = 0;
    for (std::size_t at = 0; at < text.size();)
    {
        const std::size_t length = Utf8Sequence(text, at, code);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}
} // namespace

std::string ShownName(std::string_view stored)
{
    return Latin1ToUtf8(PrintableName(stored));
}

std::string ShownMessage(std::string_view text)
{
    std::string utf8 = IsUtf8(text) ? std::string(text) : Latin1ToUtf8(text);
    // The control characters of UTF-8 text are the code points of Latin-1's. A message's own
    // carriage return starts a new line, as a message box shows it (the DirectX messages).
    std::string shown;
    shown.reserve(utf8.size());
    std::uint32_t code = 0;
    for (std::size_t at = 0; at < utf8.size();)
    {
        const std::size_t length = Utf8Sequence(utf8, at, code);
        if (code == '\r' || code == '\n')
            shown += '\n';
        else if (code <= 0xFF && IsControlByte(static_cast<char>(code)))
            shown += PrintableName(std::string(1, static_cast<char>(code)));
        else
            shown.append(utf8, at, length);
        at += length;
    }
    return shown;
}

void PrintWarning(std::string_view text)
{
    std::fprintf(stderr, "warning: %s\n", ShownMessage(text).c_str());
}

void PrintError(std::string_view text)
{
    std::fprintf(stderr, "%s\n", ShownMessage(text).c_str());
}

std::string ErrorText(const std::exception& e)
{
    // A size beyond what any allocation can give is running out of memory too.
    if (dynamic_cast<const std::bad_alloc*>(&e) || dynamic_cast<const std::length_error*>(&e))
        return kOutOfMemory;
    return e.what();
}
