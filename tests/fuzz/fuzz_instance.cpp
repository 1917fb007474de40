// What another program or a shell hands the program: the one-line requests
// of the running copy's socket, and any command line. A line parses only if
// it is exactly what the sender would write for the request it gives; a
// command line always yields a run or a usage error with its message; and
// what --print writes never holds a byte a terminal would act on.
#include "Commandline.h"
#include "FuzzCheck.h"
#include "Instanceclient.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QStringList>

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    TActivationRequest request;
    const std::string line(reinterpret_cast<const char*>(data), size);
    if (ParseInstanceRequestLine(line, request)) {
        FUZZ_CHECK(InstanceRequestLine(request) == line);
        FUZZ_CHECK(request.Token.empty() || ValidActivationId(request.Token));
        FUZZ_CHECK(request.StartupId.empty() || ValidActivationId(request.StartupId));
        FUZZ_CHECK(StartupIdTime(request.StartupId) == 0 || request.StartupId.find("_TIME") != std::string::npos);
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
