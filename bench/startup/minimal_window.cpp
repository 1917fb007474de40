// The floor for the start-up figure: the least a Qt Widgets program does to
// put one window on the screen. With "--text" the window also shows one line
// of text, which any real window does and which costs the font set-up (the
// first text laid out loads the system's font configuration).
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal"));
    window.resize(400, 300);
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0)
        (new QLabel(QStringLiteral("Minimal"), &window))->move(10, 10);
    window.show();
    return app.exec();
}
