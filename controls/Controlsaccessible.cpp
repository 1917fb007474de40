#include "Controlsaccessible.h"

#include "Glimrapanel.h"
#include "Htmllabel.h"

#include <QAccessible>

namespace {

// One <hyper> section of a label. It has no object of its own: the label's
// interface makes it, registers it and deletes it again when the caption
// changes or the label goes.
class THtmlLinkAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    THtmlLinkAccessible(THtmlLabel* label, int index, const QString& text)
        : FLabel(label), FIndex(index), FText(text)
    {
    }

    bool isValid() const override { return !FLabel.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override
    {
        const QAccessibleInterface* owner = parent();
        return owner ? owner->window() : nullptr;
    }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(FLabel.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override { return t == QAccessible::Name ? FText : QString(); }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!FLabel)
            return QRect();
        const QList<THtmlLabel::THyperLink> links = FLabel->HyperLinks();
        if (FIndex >= links.size() || links.at(FIndex).Box.isEmpty())
            return QRect();
        const QRect box = links.at(FIndex).Box;
        return QRect(FLabel->mapToGlobal(box.topLeft()), box.size());
    }
    QAccessible::Role role() const override { return QAccessible::Link; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!FLabel || !FLabel->isVisible())
            s.invisible = true;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && FLabel)
            emit FLabel->OnClick(FLabel.data());
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<THtmlLabel> FLabel;
    int FIndex;
    QString FText;
};

} // namespace

QAccessibleInterface* ControlsAccessibleFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TGlimraPanel") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Grouping);
    if (className == QLatin1String("THtmlLabel") && object && object->isWidgetType())
        return new THtmlLabelAccessible(static_cast<THtmlLabel*>(object));
    return nullptr;
}

void InstallControlsAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(&ControlsAccessibleFactory);
}

// ---- THtmlLabel ----------------------------------------------------------------

THtmlLabelAccessible::THtmlLabelAccessible(THtmlLabel* label) : QAccessibleWidget(label, QAccessible::StaticText)
{
}

THtmlLabelAccessible::~THtmlLabelAccessible()
{
    for (QAccessible::Id id : std::as_const(FLinks))
        QAccessible::deleteAccessibleInterface(id);
}

THtmlLabel* THtmlLabelAccessible::Label() const
{
    return static_cast<THtmlLabel*>(widget());
}

void THtmlLabelAccessible::Refresh() const
{
    if (FFresh && FCaption == Label()->CaptionText())
        return;
    for (QAccessible::Id id : std::as_const(FLinks))
        QAccessible::deleteAccessibleInterface(id);
    FLinks.clear();
    FCaption = Label()->CaptionText();
    FFresh = true;
    const QList<THtmlLabel::THyperLink> links = Label()->HyperLinks();
    for (int i = 0; i < links.size(); ++i)
        FLinks << QAccessible::registerAccessibleInterface(new THtmlLinkAccessible(Label(), i, links.at(i).Text));
}

void* THtmlLabelAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString THtmlLabelAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name) {
        const QString name = widget()->accessibleName();
        return name.isEmpty() ? Label()->PlainText() : name;
    }
    return QAccessibleWidget::text(t);
}

int THtmlLabelAccessible::childCount() const
{
    Refresh();
    return int(FLinks.size());
}

QAccessibleInterface* THtmlLabelAccessible::child(int index) const
{
    Refresh();
    if (index < 0 || index >= FLinks.size())
        return nullptr;
    return QAccessible::accessibleInterface(FLinks.at(index));
}

int THtmlLabelAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    Refresh();
    for (int i = 0; i < FLinks.size(); ++i)
        if (QAccessible::accessibleInterface(FLinks.at(i)) == child)
            return i;
    return -1;
}

void THtmlLabelAccessible::selection(int, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = 0;
}

QString THtmlLabelAccessible::text(int startOffset, int endOffset) const
{
    const QString plain = Label()->PlainText();
    if (startOffset < 0 || endOffset < startOffset)
        return QString();
    return plain.mid(startOffset, endOffset - startOffset);
}

int THtmlLabelAccessible::characterCount() const
{
    return int(Label()->PlainText().size());
}

QRect THtmlLabelAccessible::characterRect(int) const
{
    // The label draws runs, not characters: the whole label stands for each.
    return rect();
}

int THtmlLabelAccessible::offsetAtPoint(const QPoint&) const
{
    return -1;
}

QString THtmlLabelAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    *startOffset = *endOffset = offset;
    return QString();
}
