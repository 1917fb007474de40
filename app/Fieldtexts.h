#pragma once
// What the converter window's fields show, without the window: the text of
// each field for a value, the value a field's text reads as, the hex field's
// zero-fill width and the swatch colour. The window and `tarvolin --print`
// both use these, so the terminal shows exactly what the window would.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>

enum class TMorvicField
{
    Binary,
    Decimal,
    Hex,
    Octal,
    Ascii
};

// The value a field's text reads as (the decimal field also takes "0x" and
// the other hexadecimal forms, see DecimalFieldTextToValue).
uint32_t MorvicFieldValue(TMorvicField field, const QString& text);

// The text a field shows for value, as 8-bit characters; the hex text is
// zero-filled to padWidth digits.
std::string MorvicFieldText(TMorvicField field, uint32_t value, int padWidth);

// The hex field's zero-fill for the pad spinner's position: 0 to 16 digits.
int MorvicPadWidth(int spinnerPosition);

// The pad spinner's position for a stored "padhex" value: its low 16 bits
// with their sign, within the spinner's range.
int MorvicPadPosition(int32_t stored, int spinnerMaximum);

// The swatch's colour for value (0x00BBGGRR: byte 2 of the value is red;
// byte 3 stays where it is, and the swatch ignores it).
uint32_t MorvicSwatchColour(uint32_t value);
