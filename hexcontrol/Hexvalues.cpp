#include "Hexvalues.h"

#include "Numbase.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

namespace {

struct TTypeInfo
{
    int Size;
    bool Signed;
    bool Float;
    const char* ShortName;
    const char* Name;
};

const TTypeInfo Types[THexValues::TypeCount] = {
    {1, true, false, "int8", QT_TRANSLATE_NOOP("THexValues", "Signed 8-bit integer")},
    {1, false, false, "uint8", QT_TRANSLATE_NOOP("THexValues", "Unsigned 8-bit integer")},
    {2, true, false, "int16", QT_TRANSLATE_NOOP("THexValues", "Signed 16-bit integer")},
    {2, false, false, "uint16", QT_TRANSLATE_NOOP("THexValues", "Unsigned 16-bit integer")},
    {4, true, false, "int32", QT_TRANSLATE_NOOP("THexValues", "Signed 32-bit integer")},
    {4, false, false, "uint32", QT_TRANSLATE_NOOP("THexValues", "Unsigned 32-bit integer")},
    {8, true, false, "int64", QT_TRANSLATE_NOOP("THexValues", "Signed 64-bit integer")},
    {8, false, false, "uint64", QT_TRANSLATE_NOOP("THexValues", "Unsigned 64-bit integer")},
    {4, true, true, "float32", QT_TRANSLATE_NOOP("THexValues", "32-bit float")},
    {8, true, true, "float64", QT_TRANSLATE_NOOP("THexValues", "64-bit float")},
};

const TTypeInfo& Info(THexValues::TType type)
{
    return Types[type >= 0 && type < THexValues::TypeCount ? type : 0];
}

// The `size` bytes as one unsigned number.
quint64 Pattern(const unsigned char* bytes, int size, bool bigEndian)
{
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | bytes[bigEndian ? i : size - 1 - i];
    return value;
}

QByteArray PatternBytes(quint64 value, int size, bool bigEndian)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i, value >>= 8)
        bytes[bigEndian ? size - 1 - i : i] = char(value & 0xFF);
    return bytes;
}

quint64 Mask(int size)
{
    return size >= 8 ? ~quint64(0) : (quint64(1) << (size * 8)) - 1;
}

template <typename T> QString FloatText(T value)
{
    if (std::isnan(value))
        return std::signbit(value) ? QStringLiteral("-NaN") : QStringLiteral("NaN");
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return QString::fromLatin1(text, int(end - text));
}

enum TRead { rdOk, rdNotNumber, rdOutOfRange };

// An integer: an optional sign, then decimal digits or 0x and hexadecimal
// digits, nothing else.
TRead ReadInteger(const QString& text, bool* negative, bool* hex, quint64* magnitude)
{
    int at = 0;
    *negative = text.startsWith(QLatin1Char('-'));
    if (*negative || text.startsWith(QLatin1Char('+')))
        at = 1;
    *hex = QStringView(text).mid(at, 2).compare(QLatin1String("0x"), Qt::CaseInsensitive) == 0;
    if (*hex)
        at += 2;
    const quint64 base = *hex ? 16 : 10;
    if (at >= text.size())
        return rdNotNumber;
    quint64 value = 0;
    bool overflow = false;
    for (int i = at; i < text.size(); ++i) {
        const int digit = HexDigitValue(text.at(i).toLatin1()); // 0 for a character beyond Latin-1
        if (digit < 0 || quint64(digit) >= base)
            return rdNotNumber;
        if (value > (~quint64(0) - quint64(digit)) / base)
            overflow = true;
        else
            value = value * base + quint64(digit);
    }
    *magnitude = value;
    return overflow ? rdOutOfRange : rdOk;
}

// A float in decimal or scientific notation, or inf, infinity or nan.
template <typename T> TRead ReadFloat(const QString& text, T* value)
{
    std::string s = text.toStdString();
    if (s.size() > 1 && s[0] == '+' && s[1] != '-')
        s.erase(0, 1); // from_chars takes a minus sign only
    const char* end = s.data() + s.size();
    const auto r = std::from_chars(s.data(), end, *value);
    if (s.empty() || r.ptr != end)
        return rdNotNumber;
    return r.ec == std::errc() ? rdOk : rdOutOfRange;
}

} // namespace

int THexValues::Size(TType type)
{
    return Info(type).Size;
}

QString THexValues::ShortName(TType type)
{
    return QString::fromLatin1(Info(type).ShortName);
}

QString THexValues::Name(TType type)
{
    return tr(Info(type).Name);
}

QString THexValues::Text(TType type, const unsigned char* bytes, qint64 available, bool bigEndian)
{
    const TTypeInfo& info = Info(type);
    if (!bytes || available < info.Size)
        return QString();
    const quint64 pattern = Pattern(bytes, info.Size, bigEndian);
    if (info.Float) {
        if (info.Size == 4) {
            const auto bits = quint32(pattern);
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return FloatText(f);
        }
        double d;
        std::memcpy(&d, &pattern, sizeof d);
        return FloatText(d);
    }
    if (!info.Signed)
        return QString::number(pattern);
    // Sign-extend from the type's width.
    const int shift = 64 - info.Size * 8;
    return QString::number(qint64(pattern << shift) >> shift);
}

bool THexValues::Bytes(TType type, const QString& text, bool bigEndian, QByteArray* bytes, QString* error)
{
    const TTypeInfo& info = Info(type);
    const QString t = text.trimmed();
    TRead read = rdNotNumber;
    quint64 pattern = 0;
    if (info.Float && info.Size == 4) {
        float f = 0;
        read = ReadFloat(t, &f);
        quint32 bits;
        std::memcpy(&bits, &f, sizeof bits);
        pattern = bits;
    } else if (info.Float) {
        double d = 0;
        read = ReadFloat(t, &d);
        std::memcpy(&pattern, &d, sizeof d);
    } else {
        bool negative, hex;
        quint64 magnitude = 0;
        read = ReadInteger(t, &negative, &hex, &magnitude);
        const int bits = info.Size * 8;
        const quint64 mask = Mask(info.Size);
        const quint64 maxPositive = info.Signed ? mask >> 1 : mask;
        if (read == rdOk) {
            if (hex && !negative) // a bit pattern of the type's width
                read = (bits == 64 || (magnitude >> bits) == 0) ? rdOk : rdOutOfRange;
            else if (negative)
                read = magnitude <= (info.Signed ? maxPositive + 1 : 0) ? rdOk : rdOutOfRange;
            else
                read = magnitude <= maxPositive ? rdOk : rdOutOfRange;
            pattern = (negative ? quint64(0) - magnitude : magnitude) & mask;
        }
        if (read == rdOutOfRange && error) {
            const QString low = info.Signed ? QString::number(-qint64(maxPositive) - 1) : QStringLiteral("0");
            *error = tr("Out of range: the %1 holds %2 to %3.").arg(Name(type).toLower(), low,
                                                                   QString::number(maxPositive));
        }
    }
    if (read == rdOk) {
        *bytes = PatternBytes(pattern, info.Size, bigEndian);
        return true;
    }
    if (!error)
        return false;
    if (t.isEmpty())
        *error = tr("Type a value for the %1.").arg(Name(type).toLower());
    else if (read == rdNotNumber && info.Float)
        *error = tr("\"%1\" is not a number: type one such as 1.5, -2e10, inf or nan.").arg(t);
    else if (read == rdNotNumber)
        *error = tr("\"%1\" is not a whole number: type decimal digits such as -12, or 0x and hexadecimal "
                    "digits such as 0x7F.").arg(t);
    else if (info.Float && info.Size == 4)
        *error = tr("Out of range: a 32-bit float holds about -3.4e38 to 3.4e38, and nothing nearer to zero "
                    "than 1.4e-45.");
    else if (info.Float)
        *error = tr("Out of range: a 64-bit float holds about -1.8e308 to 1.8e308, and nothing nearer to zero "
                    "than 4.9e-324.");
    return false;
}
