#include "Hexgoto.h"

#include "Numbase.h"

#include <limits>

namespace {

enum TRead { rdOk, rdNotNumber, rdHexWithoutPrefix, rdTooLarge };

// A count of bytes: decimal digits, or 0x and hexadecimal digits.
TRead ReadCount(const QString& text, qint64* count)
{
    const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    const int from = hex ? 2 : 0;
    if (text.size() <= from)
        return rdNotNumber;
    const quint64 base = hex ? 16 : 10;
    const quint64 limit = quint64(std::numeric_limits<qint64>::max());
    quint64 value = 0;
    bool tooLarge = false, hexDigits = false;
    for (int i = from; i < text.size(); ++i) {
        const int digit = HexDigitValue(text.at(i).toLatin1()); // 0 for a character beyond Latin-1
        if (digit < 0)
            return rdNotNumber;
        if (quint64(digit) >= base) {
            hexDigits = true;
            continue;
        }
        if (value > (limit - quint64(digit)) / base)
            tooLarge = true;
        else
            value = value * base + quint64(digit);
    }
    if (hexDigits)
        return rdHexWithoutPrefix;
    *count = qint64(value);
    return tooLarge ? rdTooLarge : rdOk;
}

} // namespace

bool THexGoto::Read(const QString& text, qint64 cursor, qint64 size, qint64* offset, QString* error)
{
    const QString t = text.trimmed();
    enum { Absolute, Forward, Backward, FromEnd } kind = Absolute;
    QString number = t;
    bool lastByte = false; // "end" alone
    if (t.startsWith(QLatin1String("end"), Qt::CaseInsensitive)) {
        const QString rest = t.mid(3).trimmed();
        kind = FromEnd;
        lastByte = rest.isEmpty();
        number = lastByte ? QStringLiteral("0") : rest.startsWith(QLatin1Char('-')) ? rest.mid(1).trimmed() : QString();
    } else if (t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-'))) {
        kind = t.startsWith(QLatin1Char('+')) ? Forward : Backward;
        number = t.mid(1).trimmed();
    }

    qint64 count = 0;
    QString why;
    switch (ReadCount(number, &count)) {
    case rdOk: break;
    case rdNotNumber:
        why = t.isEmpty() ? tr("Type an offset: %1.").arg(Syntax())
                          : tr("\"%1\" is not an offset: type 1234, 0x4D2, +16, -16 or end-16.").arg(t);
        break;
    case rdHexWithoutPrefix:
        why = tr("\"%1\" is not a decimal number: write hexadecimal with 0x, as in 0x%1.").arg(number);
        break;
    case rdTooLarge: why = tr("%1 is too large for an offset.").arg(number); break;
    }

    if (why.isEmpty()) {
        // Each sum stays within 64 bits: both sides are non-negative.
        const qint64 last = size > 0 ? size - 1 : 0;
        const qint64 max = std::numeric_limits<qint64>::max();
        qint64 target = count;
        bool before = false, past = false;
        switch (kind) {
        case Absolute: past = count > last; break;
        case Forward:
            past = count > max - cursor;
            target = past ? max : cursor + count;
            past = past || target > last;
            break;
        case Backward:
            target = cursor - count;
            before = target < 0;
            break;
        case FromEnd:
            target = lastByte ? last : size - count;
            before = target < 0;
            past = target > last;
            break;
        }
        if (before)
            why = tr("%1 lies before the start of the data.").arg(t);
        else if (past)
            why = tr("%1 lies past the end: the data holds %2 bytes, the last at offset %3 (0x%4).")
                      .arg(t)
                      .arg(size)
                      .arg(last)
                      .arg(QString::number(last, 16).toUpper());
        else
            *offset = target;
    }
    if (!why.isEmpty() && error)
        *error = why;
    return why.isEmpty();
}

QString THexGoto::Syntax()
{
    return tr("1234 decimal, 0x4D2 hexadecimal, +16 or -16 from the cursor, end-16 from the end (end-1 is the "
              "last byte)");
}
