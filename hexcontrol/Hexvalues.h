#pragma once
// THexValues: the numbers a run of bytes makes, and numbers typed back as
// bytes, with no widget. THexValueView (Hexvalueview.h) shows them beside a
// THexEditor; a program may also use them on its own.
//
// Types: signed and unsigned integers of 8, 16, 32 and 64 bits, and IEEE 754
// floats of 32 and 64 bits, read from the first Size(type) bytes in either
// byte order.
//
// Text shown (Text):
//   integers  decimal, with a minus sign for negative signed values;
//   floats    the shortest text that reads back as the same value
//             ("0.1", "3.4028235e+38"), "inf", "-inf", "NaN" or "-NaN" (a NaN's
//             payload is not shown).
// Text read (Bytes), surrounding white space ignored:
//   integers  decimal with an optional sign, in the type's range; or 0x and
//             hexadecimal digits, the bit pattern of the type's width (0xFF
//             in a signed 8-bit value is -1), with a minus sign its negation;
//   floats    decimal or scientific notation, "inf", "infinity", "nan" (any
//             case, optional sign); a finite value too large for the type is
//             refused, and so is a non-zero value that would round to zero.
// Anything else is refused with a sentence saying why.
#include <QByteArray>
#include <QCoreApplication>
#include <QString>

class THexValues
{
    Q_DECLARE_TR_FUNCTIONS(THexValues)
public:
    enum TType {
        vtInt8, vtUInt8, vtInt16, vtUInt16, vtInt32, vtUInt32, vtInt64, vtUInt64, vtFloat32, vtFloat64,
        TypeCount
    };
    enum { MaxSize = 8 };

    // Bytes the type takes: 1, 2, 4 or 8.
    static int Size(TType type);
    // "uint16": the short name shown beside the value.
    static QString ShortName(TType type);
    // "Unsigned 16-bit integer": the name read to the user.
    static QString Name(TType type);

    // The value of the first Size(type) of `available` bytes; a null QString
    // when fewer bytes are available (the value runs past the end).
    static QString Text(TType type, const unsigned char* bytes, qint64 available, bool bigEndian);

    // The Size(type) bytes of the value `text` names, in the byte order
    // asked for. False, with `error` saying why, when the text is not a
    // value of the type.
    static bool Bytes(TType type, const QString& text, bool bigEndian, QByteArray* bytes, QString* error);
};
