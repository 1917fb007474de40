#include "Messagebox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QString>

namespace {

TMessageBoxHandler& Handler()
{
    static TMessageBoxHandler handler;
    return handler;
}

} // namespace

int MessageBoxTitleWidth(const QString& caption)
{
    // The window manager draws the caption in its own font, which no program
    // can read; a bold face of the title-bar font stands for it. Beside the
    // caption go the window's icon and its minimise, maximise and close
    // buttons, each about as wide as the bar is high.
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const QFontMetrics fm(font);
    const int button = fm.height() + 8;
    return fm.horizontalAdvance(caption) + 4 * button + 2 * fm.height();
}

void ShowMessageBox(QWidget* owner, const QByteArray& text, const QByteArray& caption)
{
    if (Handler()) {
        Handler()(owner, text, caption);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(caption), QString::fromLatin1(text),
                    QMessageBox::Ok, owner);
    // Its one button answers Enter and Escape alike.
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    // The box sizes itself to its text only; a short text under a caption
    // as long ("Invalid Password") left the caption cut off. A spacer below
    // everything widens it to the caption's width.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(MessageBoxTitleWidth(box.windowTitle()), 0, QSizePolicy::Minimum,
                                      QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    box.exec();
}

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler)
{
    TMessageBoxHandler old = std::move(Handler());
    Handler() = std::move(handler);
    return old;
}
