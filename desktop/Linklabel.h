#pragma once
// A web link drawn as a label (its colour, underline and hand cursor come
// from the form) that the keyboard reaches as well: Tab stops on it, a dotted
// frame shows the focus, and Enter, Return or Space activate it. Screen
// readers see a link named by its text, with a "press" action.
//
// A mouse click is left to the form, which watches the label as it watches
// any other; Activated() is the keyboard's and the screen reader's click.
#include <QLabel>

class TLinkLabel : public QLabel
{
    Q_OBJECT
public:
    explicit TLinkLabel(QWidget* parent = nullptr);

signals:
    void Activated();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
