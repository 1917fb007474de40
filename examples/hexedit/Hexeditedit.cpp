// THexEditWindow: the Edit menu's editing actions (cut, copy, paste, delete,
// select all, insert mode), find backwards, find all and replace from the
// find bar. The editor takes its keys itself while it has the focus; the
// menu's shortcuts reach it from anywhere else in the window.
#include "Hexeditwindow.h"

#include "Hexcontrol.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

void THexEditWindow::BuildEditActions(QMenu* edit)
{
    edit->addSeparator();
    FCutAction = edit->addAction(tr("Cu&t"), this, [this] { FEditor->Cut(); });
    FCutAction->setShortcut(QKeySequence::Cut);
    FCopyAction = edit->addAction(tr("&Copy"), this, [this] { FEditor->Copy(); });
    FCopyAction->setShortcut(QKeySequence::Copy);
    FPasteAction = edit->addAction(tr("&Paste"), this, [this] { FEditor->Paste(); });
    FPasteAction->setShortcut(QKeySequence::Paste);
    FDeleteAction = edit->addAction(tr("&Delete"), this, [this] { FEditor->Delete(); });
    FDeleteAction->setShortcut(QKeySequence::Delete);
    FSelectAllAction = edit->addAction(tr("Select A&ll"), this, [this] { FEditor->SelectAll(); });
    FSelectAllAction->setShortcut(QKeySequence::SelectAll);
    edit->addSeparator();
    FInsertModeAction = edit->addAction(tr("&Insert Mode"));
    FInsertModeAction->setCheckable(true);
    FInsertModeAction->setShortcut(QKeySequence(Qt::Key_Insert));
    connect(FInsertModeAction, &QAction::triggered, this, [this](bool on) { FEditor->SetInsertMode(on); });

    edit->addSeparator();
    QAction* find = edit->addAction(tr("&Find..."), this, [this] {
        FFindText->setFocus();
        FFindText->selectAll();
    });
    find->setShortcut(QKeySequence::Find);
    QAction* findNext = edit->addAction(tr("Find &Next"), this, [this] { FindFromBar(); });
    // F3 on every desktop: GNOME's own binding for these is Ctrl+G, which is
    // Go to Offset here.
    findNext->setShortcut(QKeySequence(Qt::Key_F3));
    QAction* findPrevious = edit->addAction(tr("Find Pre&vious"), this, [this] { FindPreviousFromBar(); });
    findPrevious->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    QAction* findAll = edit->addAction(tr("Find &All"), this, [this] { FindAllFromBar(); });
    findAll->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F3));
    QAction* replace = edit->addAction(tr("&Replace..."), this, [this] {
        FReplaceText->setFocus();
        FReplaceText->selectAll();
    });
    replace->setShortcut(QKeySequence::Replace);
    QAction* replaceAll = edit->addAction(tr("Replace All"), this, [this] { ReplaceAllFromBar(); });
    replaceAll->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));

    connect(FEditor, &THexEditor::OnCursorChange, this, [this] { UpdateEditActions(); });
    connect(FEditor, &THexEditor::OnSizeChange, this, [this] { UpdateEditActions(); });
}

void THexEditWindow::BuildReplaceRow(QWidget* parent)
{
    auto* bar = new QWidget(parent);
    bar->setObjectName(QStringLiteral("ReplaceBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(tr("Replace &with:"), bar);
    row->addWidget(label);
    FReplaceText = new QLineEdit(bar);
    FReplaceText->setMaxLength(THexEditor::TextSize - 1);
    FReplaceText->setPlaceholderText(tr("read as the search text is; insert mode for another length"));
    FReplaceText->setAccessibleName(tr("Replace with"));
    label->setBuddy(FReplaceText);
    row->addWidget(FReplaceText, 1);
    auto* replace = new QPushButton(tr("&Replace"), bar);
    replace->setObjectName(QStringLiteral("Replace"));
    row->addWidget(replace);
    auto* all = new QPushButton(tr("Replace a&ll"), bar);
    all->setObjectName(QStringLiteral("ReplaceAll"));
    row->addWidget(all);
    FFindStatus = new QLabel(bar);
    FFindStatus->setMinimumWidth(110);
    row->addWidget(FFindStatus);
    parent->layout()->addWidget(bar);
    connect(replace, &QPushButton::clicked, this, [this] { ReplaceFromBar(); });
    connect(all, &QPushButton::clicked, this, [this] { ReplaceAllFromBar(); });
}

void THexEditWindow::UpdateEditActions()
{
    if (!FCutAction)
        return;
    const bool shown = FEditor->Message()[0] == '\0';
    const bool editable = shown && !FEditor->ReadOnly() && !FEditor->Document()->ReadOnly();
    const bool selected = shown && FEditor->HasSelection();
    const bool insert = FEditor->InsertMode();
    FCopyAction->setEnabled(selected);
    FCutAction->setEnabled(selected);
    FPasteAction->setEnabled(editable);
    FDeleteAction->setEnabled(editable && insert && (selected || FEditor->GetCursorOffset() < FEditor->DataSize()));
    FSelectAllAction->setEnabled(shown && FEditor->DataSize() > 0);
    FInsertModeAction->setChecked(insert);
}

// What the find bar asks for: the text (hex text checked and made plain
// digit pairs; false, with the reason shown, when it is not hex), the mode
// and the flags; `same` when it is what the last search asked for, which
// then becomes this one.
bool THexEditWindow::ReadFindBar(QByteArray* text, int* mode, int* flags, bool* same)
{
    *text = FFindText->text().toLatin1();
    *mode = FFindMode->currentData().toInt();
    if (*mode == THexEditor::smHex && !CheckHexSearchText(text))
        return false;
    *flags = (FMatchCase->isChecked() ? int(THexEditor::sfMatchCase) : 0)
             | (FFromCursor->isChecked() ? int(THexEditor::sfFromCursor) : 0);
    const QString key = QStringLiteral("%1/%2/").arg(*mode).arg(*flags) + QString::fromLatin1(*text);
    *same = key == FLastFindKey;
    FLastFindKey = key;
    return true;
}

qint64 THexEditWindow::ShowFound(qint64 found)
{
    if (found >= 0) {
        char offset[THexEditor::TextSize];
        FEditor->FormatOffset(found, offset);
        FFindStatus->setText(tr("Found at %1").arg(QString::fromLatin1(offset)));
        FEditor->SetCursorOffset(found);
    } else if (found == THexEditor::FindCancelled) {
        FFindStatus->setText(tr("Stopped"));
    } else {
        FFindStatus->setText(tr("Not found"));
    }
    return found;
}

qint64 THexEditWindow::FindFromBar()
{
    return FindFromBarTowards(false);
}

qint64 THexEditWindow::FindPreviousFromBar()
{
    return FindFromBarTowards(true);
}

// Searches as the bar asks: on from the last match when the bar is unchanged
// since, else from the start (the end, backwards).
qint64 THexEditWindow::FindFromBarTowards(bool backwards)
{
    if (FWorking)
        return -1;
    QByteArray text;
    int mode = 0, flags = 0;
    bool same = false;
    if (!ReadFindBar(&text, &mode, &flags, &same))
        return -1;
    qint64 found = -1;
    const auto done = connect(FEditor, &THexEditor::OnFindDone, this, [&found](QObject*, qint64 at) { found = at; });
    bool started;
    if (backwards)
        started = same ? FEditor->StartFindPrevious() : FEditor->StartFindLast(text.constData(), mode, flags);
    else
        started = same ? FEditor->StartFindNext() : FEditor->StartFindFirst(text.constData(), mode, flags);
    if (started)
        WaitForWork(tr("Searching..."));
    disconnect(done);
    return ShowFound(found);
}

qint64 THexEditWindow::FindAllFromBar()
{
    if (FWorking)
        return -1;
    QByteArray text;
    int mode = 0, flags = 0;
    bool same = false;
    if (!ReadFindBar(&text, &mode, &flags, &same))
        return 0;
    FLastFindKey.clear(); // the next Find starts from the start again
    qint64 count = 0;
    const auto done = connect(FEditor, &THexEditor::OnFindAllDone, this, [&count](QObject*, qint64 n) { count = n; });
    if (FEditor->StartFindAll(text.constData(), mode, flags))
        WaitForWork(tr("Searching..."));
    disconnect(done);
    if (count == THexEditor::FindCancelled)
        FFindStatus->setText(tr("Stopped at %1 matches").arg(FEditor->MatchCount()));
    else if (count > THexDocument::MaxMatches)
        FFindStatus->setText(tr("%1 matches (the first %2 shaded)").arg(count).arg(THexDocument::MaxMatches));
    else
        FFindStatus->setText(count == 1 ? tr("1 match") : tr("%1 matches").arg(count));
    return count;
}

bool THexEditWindow::ReplaceFromBar()
{
    if (FWorking)
        return false;
    // The first click finds a match; each click then replaces the match
    // found and finds the next one.
    QByteArray text;
    int mode = 0, flags = 0;
    bool same = false;
    if (!ReadFindBar(&text, &mode, &flags, &same))
        return false;
    bool replaced = false;
    if (same) {
        const QByteArray with = FReplaceText->text().toLatin1();
        replaced = FEditor->ReplaceMatch(with.constData());
    } else {
        FLastFindKey.clear(); // FindFromBar starts the search
    }
    FindFromBar();
    if (same && !replaced && !FEditor->InsertMode())
        FFindStatus->setText(tr("Not replaced: overwriting keeps the length"));
    return replaced;
}

qint64 THexEditWindow::ReplaceAllFromBar()
{
    if (FWorking)
        return -1;
    QByteArray text;
    int mode = 0, flags = 0;
    bool same = false;
    if (!ReadFindBar(&text, &mode, &flags, &same))
        return -1;
    FLastFindKey.clear();
    const QByteArray with = FReplaceText->text().toLatin1();
    qint64 count = 0;
    const auto done = connect(FEditor, &THexEditor::OnReplaceDone, this, [&count](QObject*, qint64 n) { count = n; });
    if (FEditor->StartReplaceAll(text.constData(), mode, flags, with.constData()))
        WaitForWork(tr("Replacing..."));
    disconnect(done);
    if (count == THexEditor::ReplaceRefused) {
        ShowMessage(tr("Replace"), tr("In overwrite mode a replacement is as long as what it replaces, so the "
                                      "file keeps its size. Switch to insert mode (Insert) to replace with another "
                                      "length."));
    } else if (count == THexDocument::TooManyMatches) {
        ShowMessage(tr("Replace"), tr("There are more than %1 matches; nothing was replaced.")
                                       .arg(THexDocument::MaxMatches));
    } else if (count == THexEditor::FindCancelled) {
        FFindStatus->setText(tr("Stopped; nothing replaced"));
    } else {
        FFindStatus->setText(count == 1 ? tr("1 replaced") : tr("%1 replaced").arg(count));
    }
    RefreshCursorStatus();
    return count;
}
