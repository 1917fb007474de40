#include "Numbase.h"

namespace {

// Character classes of the C locale, done by hand so the result never
// depends on the process's locale or on the sign of char.
bool IsSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

bool IsDigit(char ch)
{
    return ch >= '0' && ch <= '9';
}

} // namespace

std::string ValueToAscii(uint32_t value)
{
    // Bytes are taken least significant first and emitted in reverse. The
    // loop runs on the unsigned value, so a set top bit still shows its bytes.
    char bytes[4];
    int count = 0;
    while (value != 0) {
        const unsigned char b = static_cast<unsigned char>(value & 0xFFu);
        bytes[count++] = b == 0 ? '.' : static_cast<char>(b);
        value >>= 8;
    }
    std::string text;
    text.reserve(count);
    for (int i = count - 1; i >= 0; --i)
        text.push_back(bytes[i]);
    return text;
}

std::string ValueToBinary(uint32_t value, int byteCount)
{
    if (byteCount <= 0) {
        if (value & 0xFF000000u)
            byteCount = 4;
        else if (value & 0x00FF0000u)
            byteCount = 3;
        else if (value & 0x0000FF00u)
            byteCount = 2;
        else
            byteCount = 1;
    } else if (byteCount > 4) {
        byteCount = 4;
    }
    const int bits = byteCount * 8;
    std::string text(static_cast<size_t>(bits), '0');
    for (int i = 0; i < bits; ++i) {
        if (value & (1u << (bits - 1 - i)))
            text[static_cast<size_t>(i)] = '1';
    }
    return text;
}

uint32_t AsciiTextToValue(const char* text)
{
    uint32_t value = 0;
    for (; *text; ++text)
        value = (value << 8) | static_cast<unsigned char>(*text);
    return value;
}

uint32_t HexTextToValue(const char* text)
{
    uint32_t value = 0;
    for (; *text; ++text) {
        const int d = HexDigitValue(*text);
        if (d >= 0)
            value = (value << 4) | static_cast<uint32_t>(d);
    }
    return value;
}

uint32_t OctalTextToValue(const char* text)
{
    uint32_t value = 0;
    for (; *text; ++text) {
        if (*text >= '0' && *text <= '7')
            value = (value << 3) | static_cast<uint32_t>(*text - '0');
    }
    return value;
}

uint32_t BinaryTextToValue(const char* text)
{
    uint32_t value = 0;
    for (; *text; ++text) {
        if (*text == '0')
            value <<= 1;
        else if (*text == '1')
            value = (value << 1) | 1u;
    }
    return value;
}

int32_t DecimalTextToValue(const char* text)
{
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return static_cast<int32_t>(HexTextToValue(text + 2));

    while (IsSpace(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    // Unsigned arithmetic wraps without undefined behaviour.
    uint32_t value = 0;
    for (; IsDigit(*text); ++text)
        value = value * 10u + static_cast<uint32_t>(*text - '0');
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}

int HexDigitValue(char ch)
{
    if (IsDigit(ch))
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

int HexTextToBytes(const char* text, unsigned char* out)
{
    int written = 0;
    unsigned acc = 0;
    int digits = 0;
    for (; *text; ++text) {
        const int d = HexDigitValue(*text);
        if (digits == 2 || d < 0) {
            if (digits > 0)
                out[written++] = static_cast<unsigned char>(acc);
            acc = 0;
            digits = 0;
        }
        if (d >= 0) {
            acc = (acc << 4) | static_cast<unsigned>(d);
            ++digits;
        }
    }
    if (digits > 0)
        out[written++] = static_cast<unsigned char>(acc);
    return written;
}

int DecimalTextToBytes(const char* text, unsigned char* out)
{
    const uint32_t v = static_cast<uint32_t>(DecimalTextToValue(text));
    if (v < 256u) {
        out[0] = static_cast<unsigned char>(v);
        return 1;
    }
    if (v < 65536u) {
        out[0] = static_cast<unsigned char>(v >> 8);
        out[1] = static_cast<unsigned char>(v);
        return 2;
    }
    out[0] = static_cast<unsigned char>(v >> 24);
    out[1] = static_cast<unsigned char>(v >> 16);
    out[2] = static_cast<unsigned char>(v >> 8);
    out[3] = static_cast<unsigned char>(v);
    return 4;
}

int DecimalDigitsForBytes(int n)
{
    switch (n) {
    case 2: return 5;
    case 3: return 8;
    case 4: return 10;
    default: return 3;
    }
}

uint32_t EndianFlip32(uint32_t value)
{
    return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u)
        | (value << 24);
}

uint32_t EndianFlip24(uint32_t value)
{
    return (value & 0xFF00FF00u) | ((value >> 16) & 0xFFu) | ((value & 0xFFu) << 16);
}

uint32_t EndianFlip16(uint32_t value)
{
    return (value & 0xFFFF0000u) | ((value >> 8) & 0xFFu) | ((value & 0xFFu) << 8);
}
