#include "Fieldtexts.h"

#include "Fmorvic.h"
#include "Numbase.h"

#include <algorithm>
#include <cstdio>

namespace {

// The 8-bit characters a field's text stands for (each character of code
// 0..255 is the byte of that code).
QByteArray MorvicFieldBytes(const QString& text)
{
    return text.toLatin1();
}

// The bytes the ASCII field's text stands for: a Latin-1 character is its one
// byte, as the field shows bytes; any other character (which no byte shows
// as) gives its UTF-8 bytes, so pasted text of any script reads as the bytes
// a program would hold for it.
QByteArray MorvicAsciiFieldBytes(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const QChar ch = text.at(i);
        if (ch.unicode() <= 0xFF) {
            bytes.append(char(ch.unicode()));
            ++i;
            continue;
        }
        const qsizetype units = ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
        bytes.append(QStringView(text).mid(i, units).toUtf8());
        i += units;
    }
    return bytes;
}

} // namespace

uint32_t MorvicFieldValue(TMorvicField field, const QString& text)
{
    const QByteArray bytes = field == TMorvicField::Ascii ? MorvicAsciiFieldBytes(text) : MorvicFieldBytes(text);
    switch (field) {
    case TMorvicField::Binary:
        return BinaryTextToValue(bytes.constData());
    case TMorvicField::Decimal:
        return DecimalFieldTextToValue(bytes.constData());
    case TMorvicField::Hex:
        return HexTextToValue(bytes.constData());
    case TMorvicField::Octal:
        return OctalTextToValue(bytes.constData());
    case TMorvicField::Ascii:
        return AsciiTextToValue(bytes.constData());
    }
    return 0;
}

std::string MorvicFieldText(TMorvicField field, uint32_t value, int padWidth)
{
    char text[48];
    switch (field) {
    case TMorvicField::Binary:
        return ValueToBinary(value, 0);
    case TMorvicField::Decimal:
        std::snprintf(text, sizeof text, "%u", unsigned(value));
        return text;
    case TMorvicField::Hex:
        std::snprintf(text, sizeof text, "%0*X", MorvicPadWidth(padWidth), unsigned(value));
        return text;
    case TMorvicField::Octal:
        std::snprintf(text, sizeof text, "%o", unsigned(value));
        return text;
    case TMorvicField::Ascii:
        return ValueToAscii(value);
    }
    return std::string();
}

int MorvicPadWidth(int spinnerPosition)
{
    return std::clamp(spinnerPosition, 0, 16);
}

int MorvicPadPosition(int32_t stored, int spinnerMaximum)
{
    return std::clamp(int(int16_t(stored)), 0, spinnerMaximum);
}

uint32_t MorvicSwatchColour(uint32_t value)
{
    return EndianFlip24(value);
}
