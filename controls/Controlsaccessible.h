#pragma once
// How screen readers and other assistive programs see the widgets of this
// folder, through Qt's accessibility (AT-SPI on Linux desktops):
//   TGlimraPanel  a grouping that hands its children on;
//   THtmlLabel    static text reading as its caption without the tags, with
//                 one child link per <hyper> section; pressing a link (its
//                 "press" action) raises the label's OnClick, as a click does.
//
// The factory is installed by the first TGlimraPanel or THtmlLabel made, so a
// program needs to do nothing; InstallControlsAccessibility() may also be
// called earlier, and again at no cost.
#include <QAccessibleWidget>
#include <QList>
#include <QPointer>

class THtmlLabel;

void InstallControlsAccessibility();

// The factory itself, for programs that keep a list of their own.
QAccessibleInterface* ControlsAccessibleFactory(const QString& className, QObject* object);

class THtmlLabelAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit THtmlLabelAccessible(THtmlLabel* label);
    ~THtmlLabelAccessible() override;

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;

    // The label's plain text; no caret and no selection.
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

private:
    THtmlLabel* Label() const;
    // Makes the link children again when the caption changed since.
    void Refresh() const;

    mutable QByteArray FCaption;
    mutable bool FFresh = false;
    mutable QList<QAccessible::Id> FLinks;
};
