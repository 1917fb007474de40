// hexedit: edits the bytes of one file at a time.
//   hexedit [file]
#include "Hexeditwindow.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("hexedit"));
    QApplication::setOrganizationName(QStringLiteral("Dremsel"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Hex editor for whole files"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The file to open."));
    parser.process(app);

    THexEditWindow window;
    window.show();
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty())
        window.OpenFile(files.first());
    return app.exec();
}
