#pragma once
// A web link drawn as a one-line label (its colour, underline and hand cursor
// come from the form) that the keyboard reaches as well: Tab stops on it, a
// dotted frame shows the focus, and Enter, Return or Space activate it.
// Screen readers see a link named by its text, with a "press" action.
//
// It paints its text as a plain-text label does, but is no QLabel: a label
// that takes the focus keeps a whole rich-text document behind its one line,
// which the converter's window would pay for in memory as it opens.
//
// A mouse click is left to the form, which watches the label as it watches
// any other; Activated() is the keyboard's and the screen reader's click.
#include <QWidget>

class TLinkLabel : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
    Q_PROPERTY(Qt::Alignment alignment READ alignment WRITE setAlignment)
public:
    explicit TLinkLabel(QWidget* parent = nullptr);

    QString text() const { return FText; }
    void setText(const QString& text);
    Qt::Alignment alignment() const { return FAlignment; }
    void setAlignment(Qt::Alignment alignment);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void Activated();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString FText;
    Qt::Alignment FAlignment = Qt::AlignLeft | Qt::AlignVCenter;
};
