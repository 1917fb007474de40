#include "Commandline.h"

#include "Fmorvic.h"
#include "Numbase.h"
#include "kvparam.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace {

struct TFieldName
{
    const char* Name;
    TMorvicField Field;
};

constexpr TFieldName FieldNames[] = {
    {"binary", TMorvicField::Binary}, {"decimal", TMorvicField::Decimal}, {"hex", TMorvicField::Hex},
    {"octal", TMorvicField::Octal},   {"ascii", TMorvicField::Ascii},
};

// The spinner's largest position (the form's pad spinner).
constexpr int PadSpinnerMaximum = 100;

void AppendTerminalText(QByteArray& out, const std::string& text)
{
    // The field's 8-bit characters, as the window shows them, in UTF-8.
    const QString shown = QString::fromLatin1(text.data(), qsizetype(text.size()));
    for (const QChar ch : shown) {
        const char16_t code = ch.unicode();
        if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", unsigned(code));
            out.append(escaped);
        } else if (code == '\\') {
            out.append("\\\\");
        } else {
            out.append(QString(ch).toUtf8());
        }
    }
}

} // namespace

QStringList MorvicArguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

TMorvicCommand ParseMorvicCommandLine(const QStringList& arguments)
{
    TMorvicCommand command;
    // Qt's parser takes "-autominimize" for a row of one-letter options:
    // the switch is picked out first, in any case, wherever it stands.
    QStringList rest;
    for (int i = 0; i < arguments.size(); ++i) {
        if (i > 0 && arguments.at(i).compare(QLatin1String(MorvicAutoMinimizeSwitch), Qt::CaseInsensitive) == 0)
            command.AutoMinimize = true;
        else
            rest.append(arguments.at(i));
    }
    if (rest.isEmpty())
        rest.append(QStringLiteral("tarvolin"));

    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption toggle(QStringLiteral("toggle"));
    const QCommandLineOption print(QStringLiteral("print"), QString(), QStringLiteral("text"));
    const QCommandLineOption from(QStringLiteral("from"), QString(), QStringLiteral("field"));
    const QCommandLineOption pad(QStringLiteral("pad"), QString(), QStringLiteral("digits"));
    const QCommandLineOption flip(QStringLiteral("flip"), QString(), QStringLiteral("bits"));
    QCommandLineParser parser;
    parser.addOptions({help, version, toggle, print, from, pad, flip});
    const bool parsed = parser.parse(rest);

    const auto usage = [&command](const QString& error) {
        command.Run = TMorvicRun::Usage;
        command.Error = error;
        return command;
    };
    const bool printing = parser.isSet(print);
    // A window start ignores what it does not know; a missing value of one
    // of our own options is an error all the same.
    if (!parsed && (printing || parser.unknownOptionNames().isEmpty()))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        command.Run = TMorvicRun::Help;
        return command;
    }
    if (parser.isSet(version)) {
        command.Run = TMorvicRun::Version;
        return command;
    }
    if (!printing) {
        if (parser.isSet(from) || parser.isSet(pad) || parser.isSet(flip))
            return usage(QStringLiteral("--from, --pad and --flip go with --print"));
        if (parser.isSet(toggle))
            command.Run = TMorvicRun::Toggle;
        return command;
    }

    if (parser.isSet(toggle))
        return usage(QStringLiteral("--toggle and --print do not go together"));
    if (parser.values(print).size() > 1 || !parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("--print takes one text"));
    command.Run = TMorvicRun::Print;
    command.PrintText = parser.value(print);
    if (parser.isSet(from)) {
        const QString name = parser.value(from);
        bool known = false;
        for (const TFieldName& field : FieldNames) {
            if (name == QLatin1String(field.Name)) {
                command.From = field.Field;
                known = true;
            }
        }
        if (!known)
            return usage(QStringLiteral("--from takes binary, decimal, hex, octal or ascii, not \"%1\"").arg(name));
    }
    if (parser.isSet(pad)) {
        bool ok = false;
        const int digits = parser.value(pad).toInt(&ok);
        if (!ok || digits < 0 || digits > PadSpinnerMaximum)
            return usage(QStringLiteral("--pad takes a number from 0 to %1").arg(PadSpinnerMaximum));
        command.Pad = digits;
    }
    if (parser.isSet(flip)) {
        const QString bits = parser.value(flip);
        if (bits != QLatin1String("32") && bits != QLatin1String("24") && bits != QLatin1String("16"))
            return usage(QStringLiteral("--flip takes 32, 24 or 16"));
        command.Flip = bits.toInt();
    }
    return command;
}

QByteArray MorvicHelpText()
{
    return "Usage: tarvolin [-autominimize]\n"
           "  or:  tarvolin --toggle\n"
           "  or:  tarvolin --print TEXT [--from FIELD] [--pad N] [--flip BITS]\n"
           "Show a 32-bit value as binary, decimal, hexadecimal, octal, ASCII text and colour.\n"
           "One copy runs per session: a later start brings its window forward.\n"
           "\n"
           "  -autominimize    hide to the notification area right after start\n"
           "      --toggle     hide the window when it is shown and active, else bring it\n"
           "                   forward (starting the program if it does not run); for a\n"
           "                   desktop shortcut\n"
           "      --print TEXT print what the fields would show for TEXT, without a window\n"
           "      --from FIELD read TEXT as the field FIELD does: binary, decimal (the\n"
           "                   default; also hexadecimal after 0x), hex, octal or ascii\n"
           "      --pad N      zero-fill the hexadecimal text to N digits (at most 16 are\n"
           "                   used; default: the window's saved Pad width)\n"
           "      --flip BITS  reverse the byte order over 32, 24 or 16 bits first\n"
           "  -h, --help       display this help and exit\n"
           "      --version    output version information and exit\n"
           "\n"
           "Exit status: 0 if OK, 1 if the running copy did not answer, 2 for a misused\n"
           "option.\n";
}

QByteArray MorvicVersionText()
{
    return "tarvolin " TARVOLIN_VERSION "\n";
}

QByteArray MorvicPrintLines(uint32_t value, int padWidth)
{
    // One line a field, named as on the command line.
    QByteArray out;
    for (const TFieldName& line : FieldNames) {
        out.append(line.Name).append(": ");
        AppendTerminalText(out, MorvicFieldText(line.Field, value, padWidth));
        out.append('\n');
    }
    // The swatch's colour, red first.
    const uint32_t colour = MorvicSwatchColour(value);
    char rgb[32];
    std::snprintf(rgb, sizeof rgb, "rgb: #%02X%02X%02X\n", unsigned(colour & 0xFF), unsigned((colour >> 8) & 0xFF),
                  unsigned((colour >> 16) & 0xFF));
    return out.append(rgb);
}

uint32_t MorvicPrintValue(const TMorvicCommand& command)
{
    const uint32_t value = MorvicFieldValue(command.From, command.PrintText);
    switch (command.Flip) {
    case 32:
        return EndianFlip32(value);
    case 24:
        return EndianFlip24(value);
    case 16:
        return EndianFlip16(value);
    default:
        return value;
    }
}

int RunMorvicCommand(const TMorvicCommand& command, std::FILE* out, std::FILE* err)
{
    QByteArray text;
    switch (command.Run) {
    case TMorvicRun::Help:
        text = MorvicHelpText();
        break;
    case TMorvicRun::Version:
        text = MorvicVersionText();
        break;
    case TMorvicRun::Print: {
        const int position = command.Pad >= 0
            ? command.Pad
            : MorvicPadPosition(ParamPeekInt(MorvicSettingsName, MorvicSettingPadHex, 0), PadSpinnerMaximum);
        text = MorvicPrintLines(MorvicPrintValue(command), MorvicPadWidth(position));
        break;
    }
    case TMorvicRun::Usage:
        std::fprintf(err, "tarvolin: %s\nTry 'tarvolin --help' for more information.\n",
                     command.Error.toLocal8Bit().constData());
        return 2;
    case TMorvicRun::Window:
    case TMorvicRun::Toggle:
        return 2;
    }
    std::fwrite(text.constData(), 1, size_t(text.size()), out);
    return std::fflush(out) == 0 ? 0 : 1;
}
