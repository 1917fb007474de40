// The floors for the start-up figures: the least a Qt Widgets program does to
// put one window on the screen. With "--text" the window also shows one line
// of text, which any real window does and which costs the font set-up (the
// first text laid out loads the system's font configuration). With
// "--controls" it is a main window holding the kinds and numbers of standard
// controls Tarvolin's window holds (a menu bar with three menus, line edits,
// push buttons, a spin box, labels), laid out alike, with no code of its own:
// what Qt itself costs for such a window.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>

#include <cstring>

namespace {

void AddControls(QMainWindow& window)
{
    for (const char* title : {"&File", "&Settings", "&Help"}) {
        QMenu* menu = window.menuBar()->addMenu(QString::fromLatin1(title));
        menu->addAction(QStringLiteral("&Open"));
        menu->addSeparator();
        menu->addAction(QStringLiteral("&Quit"));
    }
    auto* area = new QWidget(&window);
    window.setCentralWidget(area);
    (new QLabel(QStringLiteral("Value"), area))->move(100, 10);
    (new QLabel(QStringLiteral("Pad"), area))->move(230, 10);
    for (int row = 0; row < 5; ++row) {
        const int y = 30 + 25 * row;
        (new QLabel(QStringLiteral("field:"), area))->move(10, y + 3);
        (new QLineEdit(area))->setGeometry(60, y, 105, 21);
        (new QPushButton(QStringLiteral("Copy"), area))->setGeometry(170, y, 40, 23);
    }
    (new QSpinBox(area))->setGeometry(215, 80, 40, 21);
    (new QLabel(QStringLiteral("rgb:"), area))->move(10, 158);
    (new QPushButton(QStringLiteral("Pick"), area))->setGeometry(130, 155, 40, 23);
    int x = 60;
    for (const char* caption : {"Endian-Flip-32", "-24", "-16"}) {
        (new QPushButton(QString::fromLatin1(caption), area))->setGeometry(x, 182, x == 60 ? 85 : 30, 23);
        x += x == 60 ? 88 : 33;
    }
    (new QLabel(QStringLiteral("visit www.example.org"), area))->move(50, 215);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const char* variant = argc > 1 ? argv[1] : "";
    if (std::strcmp(variant, "--controls") == 0) {
        QMainWindow window;
        window.setWindowTitle(QStringLiteral("Minimal"));
        AddControls(window);
        window.setFixedSize(275, 259);
        window.show();
        return app.exec();
    }
    QWidget window;
    window.setWindowTitle(QStringLiteral("Minimal"));
    window.resize(400, 300);
    if (std::strcmp(variant, "--text") == 0)
        (new QLabel(QStringLiteral("Minimal"), &window))->move(10, 10);
    window.show();
    return app.exec();
}
