#include "Hexvalueview.h"

#include "Hexcontrol.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace {

THexValues::TType TypeOf(int row)
{
    return THexValues::TType(row);
}

} // namespace

THexValueView::THexValueView(QWidget* parent) : QWidget(parent)
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setColumnStretch(1, 1);
    grid->setVerticalSpacing(2);
    int line = 0;

    FWhere = new QLabel(this);
    grid->addWidget(FWhere, line++, 0, 1, 2);

    auto* orderLabel = new QLabel(tr("Byte &order:"), this);
    FByteOrder = new QComboBox(this);
    FByteOrder->addItem(tr("Little endian"));
    FByteOrder->addItem(tr("Big endian"));
    orderLabel->setBuddy(FByteOrder);
    grid->addWidget(orderLabel, line, 0);
    grid->addWidget(FByteOrder, line++, 1);
    connect(FByteOrder, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int index) { SetBigEndian(index == 1); });

    for (int row = 0; row < THexValues::TypeCount; ++row) {
        const THexValues::TType type = TypeOf(row);
        auto* label = new QLabel(THexValues::ShortName(type), this);
        label->setToolTip(THexValues::Name(type));
        auto* field = new QLineEdit(this);
        field->setObjectName(THexValues::ShortName(type));
        field->setToolTip(THexValues::Name(type));
        label->setBuddy(field);
        field->installEventFilter(this);
        connect(field, &QLineEdit::returnPressed, this, [this, type, field] { EnterValue(type, field->text()); });
        FFields[row] = field;
        grid->addWidget(label, line, 0);
        grid->addWidget(field, line++, 1);
    }

    FMessage = new QLabel(this);
    FMessage->setWordWrap(true);
    FMessage->setAccessibleName(tr("Inspector message"));
    grid->addWidget(FMessage, line++, 0, 1, 2);
    grid->setRowStretch(line, 1);
    ShowValues();
}

void THexValueView::SetEditor(THexEditor* editor)
{
    for (const QMetaObject::Connection& c : FConnections)
        disconnect(c);
    FConnections.clear();
    FEditor = editor;
    FOffset = -1;
    FBytes.clear();
    if (editor) {
        const auto schedule = [this] { ScheduleRefresh(); };
        FConnections << connect(editor, &THexEditor::OnCursorChange, this, schedule)
                     << connect(editor, &THexEditor::OnCursorByteChange, this, schedule)
                     << connect(editor, &THexEditor::OnSelectionChange, this, schedule)
                     << connect(editor, &THexEditor::OnChangeLogUpdate, this, schedule)
                     << connect(editor, &THexEditor::OnSizeChange, this, schedule)
                     << connect(editor, &THexEditor::OnFileNameChange, this, schedule)
                     << connect(editor, &QObject::destroyed, this, schedule);
    }
    Refresh();
    // Without an editor Refresh keeps what SetBytes gave; show it cleared.
    if (!editor)
        ShowValues();
}

void THexValueView::SetBigEndian(bool value)
{
    FBigEndian = value;
    if (FByteOrder->currentIndex() != int(value))
        FByteOrder->setCurrentIndex(int(value));
    ShowValues();
}

void THexValueView::SetBytes(qint64 offset, const QByteArray& bytes)
{
    FOffset = offset;
    FBytes = offset >= 0 ? bytes.left(THexValues::MaxSize) : QByteArray();
    ShowValues();
}

QString THexValueView::ValueText(THexValues::TType type) const
{
    return THexValues::Text(type, reinterpret_cast<const unsigned char*>(FBytes.constData()), FBytes.size(),
                            FBigEndian);
}

QLineEdit* THexValueView::ValueField(THexValues::TType type) const
{
    return type >= 0 && type < THexValues::TypeCount ? FFields[type] : nullptr;
}

QString THexValueView::Message() const
{
    return FMessage->text();
}

void THexValueView::ScheduleRefresh()
{
    // Many signals come in a row (a load, an undo); one read serves them.
    if (FRefreshPending)
        return;
    FRefreshPending = true;
    QTimer::singleShot(0, this, [this] {
        if (FRefreshPending)
            Refresh();
    });
}

void THexValueView::Refresh()
{
    FRefreshPending = false;
    if (!FEditor) {
        if (FConnections.isEmpty())
            return; // showing what the program gave SetBytes
        FConnections.clear(); // the editor is gone, and its connections with it
        FOffset = -1;
        FBytes.clear();
    } else if (FEditor->Message()[0] != '\0' || FEditor->DataSize() <= 0) {
        FOffset = -1;
        FBytes.clear();
    } else {
        FOffset = FEditor->HasSelection() ? FEditor->SelectionStart() : FEditor->GetCursorOffset();
        const qint64 available = qBound(qint64(0), FEditor->DataSize() - FOffset, qint64(THexValues::MaxSize));
        FBytes = QByteArray(int(available), '\0');
        FBytes.resize(int(FEditor->Document()->Read(FOffset, FBytes.data(), available)));
    }
    ShowValues();
}

void THexValueView::ShowValues()
{
    if (FOffset < 0) {
        FWhere->setText(tr("No data"));
    } else if (FEditor) {
        char text[THexEditor::TextSize];
        FEditor->FormatOffset(FOffset, text);
        FWhere->setText(tr("At offset %1").arg(QString::fromLatin1(text)));
    } else {
        FWhere->setText(tr("At offset 0x%1").arg(QString::number(FOffset, 16).toUpper()));
    }
    for (int row = 0; row < THexValues::TypeCount; ++row)
        ShowRow(row, true);
}

void THexValueView::ShowRow(int row, bool keepTyping)
{
    QLineEdit* field = FFields[row];
    const THexValues::TType type = TypeOf(row);
    QString name = THexValues::Name(type);
    if (THexValues::Size(type) > 1)
        name = FBigEndian ? tr("%1, big endian").arg(name) : tr("%1, little endian").arg(name);
    field->setAccessibleName(name);
    const QString value = ValueText(type);
    field->setEnabled(!value.isNull());
    field->setReadOnly(!Writable());
    field->setPlaceholderText(value.isNull() ? tr("past the end") : QString());
    // A value being typed stays until Enter, Escape or leaving the row.
    if (keepTyping && field->hasFocus() && field->isModified())
        return;
    field->setText(value);
    field->setCursorPosition(0); // a value too long for the row shows its start
    field->setAccessibleDescription(value.isNull() ? tr("past the end of the data") : QString());
}

bool THexValueView::Writable() const
{
    return !FEditor || (!FEditor->ReadOnly() && !FEditor->Document()->ReadOnly());
}

void THexValueView::Refuse(int row, const QString& why)
{
    FMessage->setText(why);
    FFields[row]->setAccessibleDescription(why);
    FFields[row]->selectAll();
}

bool THexValueView::EnterValue(THexValues::TType type, const QString& text)
{
    QLineEdit* field = ValueField(type);
    if (!field)
        return false;
    const int row = int(type);
    if (ValueText(type).isNull()) {
        Refuse(row, tr("The %1 at this offset runs past the end of the data.").arg(THexValues::Name(type).toLower()));
        return false;
    }
    if (!Writable()) {
        Refuse(row, tr("The data is read-only."));
        return false;
    }
    if (FEditor && FEditor->Busy()) {
        Refuse(row, tr("The data cannot change while a save or search runs."));
        return false;
    }
    QByteArray bytes;
    QString why;
    if (!THexValues::Bytes(type, text, FBigEndian, &bytes, &why)) {
        Refuse(row, why);
        return false;
    }
    FMessage->clear();
    const qint64 offset = FOffset;
    if (FEditor) {
        FEditor->OverwriteBytes(offset, bytes);
        Refresh();
    }
    ShowRow(row, false);
    emit OnValueEntered(offset, bytes);
    return true;
}

bool THexValueView::eventFilter(QObject* watched, QEvent* e)
{
    for (int row = 0; row < THexValues::TypeCount; ++row) {
        if (watched != FFields[row])
            continue;
        const bool escape = e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape;
        // Switching windows or opening a menu keeps what is being typed.
        const bool left = e->type() == QEvent::FocusOut
                          && static_cast<QFocusEvent*>(e)->reason() != Qt::ActiveWindowFocusReason
                          && static_cast<QFocusEvent*>(e)->reason() != Qt::PopupFocusReason;
        if ((escape && FFields[row]->isModified()) || left) {
            // The typed text is taken back; what the bytes hold shows again.
            FMessage->clear();
            ShowRow(row, false);
            if (escape)
                return true;
        }
        break;
    }
    return QWidget::eventFilter(watched, e);
}
