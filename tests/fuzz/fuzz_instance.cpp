// What another program or a shell hands the program: the one-line requests
// of the running copy's socket, and any command line. A line parses only if
// it is exactly what the sender would write for the request it gives; a
// command line always yields a run or a usage error with its message; and
// what --print writes never holds a byte a terminal would act on.
#include "Commandline.h"
#include "FuzzCheck.h"
#include "Instancelink.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QStringList>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    TActivationRequest request;
    if (ParseInstanceRequestLine(bytes, request)) {
        FUZZ_CHECK(InstanceRequestLine(request) == bytes);
        FUZZ_CHECK(request.Token.isEmpty() || ValidActivationId(request.Token));
        FUZZ_CHECK(request.StartupId.isEmpty() || ValidActivationId(request.StartupId));
    }

    // The same bytes as arguments, split at zero bytes.
    QStringList arguments{QStringLiteral("tarvolin")};
    for (const QByteArray& part : bytes.split('\0'))
        arguments.append(QString::fromLocal8Bit(part));
    const TMorvicCommand command = ParseMorvicCommandLine(arguments);
    FUZZ_CHECK(command.Error.isEmpty() == (command.Run != TMorvicRun::Usage));
    if (command.Run == TMorvicRun::Print) {
        const QByteArray lines = MorvicPrintLines(MorvicPrintValue(command), MorvicPadWidth(command.Pad < 0 ? 0 : command.Pad));
        FUZZ_CHECK(lines.count('\n') == 6 && lines.endsWith('\n'));
        for (const char ch : lines)
            FUZZ_CHECK(ch == '\n' || (static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7F));
        // UTF-8 of the characters shown: no C1 control (U+0080..U+009F).
        FUZZ_CHECK(!QString::fromUtf8(lines).contains(QRegularExpression(QStringLiteral("[\\x{80}-\\x{9f}]"))));
    }
    return 0;
}
