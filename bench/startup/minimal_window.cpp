// The floor for the start-up figure: the least a Qt Widgets program does to
// put one window on the screen.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal"));
    window.resize(400, 300);
    window.show();
    return app.exec();
}
