#pragma once
// The program's command line:
//   tarvolin [-autominimize]        the window (or the running copy's)
//   tarvolin --toggle               show or hide the running copy's window
//   tarvolin --print TEXT [--from FIELD] [--pad N] [--flip BITS]
//                                   the converter's texts in the terminal
//   tarvolin --help | --version
// "-autominimize" is matched in any case, anywhere; other arguments a window
// start does not know are ignored, as they always were. A misused option of
// its own (a missing or bad value, --from without --print, ...) is a usage
// error (exit status 2).
#include "Fieldtexts.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>

enum class TMorvicRun
{
    Window,  // start the window, or hand over to the running copy
    Toggle,  // --toggle
    Print,   // --print
    Help,    // --help
    Version, // --version
    Usage    // a usage error: Error says what
};

struct TMorvicCommand
{
    TMorvicRun Run = TMorvicRun::Window;
    bool AutoMinimize = false;
    QString PrintText;
    TMorvicField From = TMorvicField::Decimal;
    int Pad = -1; // --pad; -1: the saved pad width
    int Flip = 0; // --flip: 32, 24, 16, or 0 for none
    QString Error;
};

// arguments: the program name first, as QCoreApplication::arguments() has them.
TMorvicCommand ParseMorvicCommandLine(const QStringList& arguments);

// The arguments of argv, decoded as the application object decodes them.
QStringList MorvicArguments(int argc, char* argv[]);

QByteArray MorvicHelpText();
QByteArray MorvicVersionText();

// The lines --print writes for value (UTF-8, each ending in a newline): the
// five field texts and the swatch colour. A byte a terminal would act on
// (a control character, DEL) is written as \xHH, and a backslash as \\.
QByteArray MorvicPrintLines(uint32_t value, int padWidth);

// The value --print shows for the command: its text read as the --from field
// reads it, then flipped.
uint32_t MorvicPrintValue(const TMorvicCommand& command);

// Runs the command line without a window: --print, --help, --version or a
// usage error. Returns the exit status.
int RunMorvicCommand(const TMorvicCommand& command, std::FILE* out, std::FILE* err);
