#include "Messagebox.h"

#include <QMessageBox>
#include <QString>

namespace {

TMessageBoxHandler& Handler()
{
    static TMessageBoxHandler handler;
    return handler;
}

} // namespace

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
    box.exec();
}

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler)
{
    TMessageBoxHandler old = std::move(Handler());
    Handler() = std::move(handler);
    return old;
}
