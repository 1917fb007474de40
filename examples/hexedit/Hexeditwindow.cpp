#include "Hexeditwindow.h"

#include "Hexcontrol.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cstring>

namespace {

const char AppTitle[] = "hexedit";
// One blink step; the cursor shows for three steps and hides for three.
const int BlinkInterval = 100;
const int DotCount = 30;

QString Quoted(const QString& path)
{
    return QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(path));
}

QByteArray NativeName(const QString& path)
{
    return QFile::encodeName(path);
}

QString EditorText(const char* text)
{
    return QString::fromLatin1(text);
}

} // namespace

THexEditWindow::THexEditWindow(QWidget* parent)
    : QMainWindow(parent)
{
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(4);

    auto* editorRow = new QHBoxLayout;
    editorRow->setSpacing(0);
    FEditor = new THexEditor(central);
    FEditor->setObjectName(QStringLiteral("HexEditor"));
    FEditor->setMinimumSize(200, 120);
    FEditor->SetColorByte(0x00000000);
    FEditor->SetColorAscii(0x00804000);  // dark blue characters
    FEditor->SetColorChange(0x000000C0); // changed bytes in red
    FEditor->SetColorCursor(0x00C00000); // cursor underline in blue
    FScrollBar = new QScrollBar(Qt::Vertical, central);
    FScrollBar->setObjectName(QStringLiteral("HexScrollBar"));
    FEditor->SetScrollBar(FScrollBar);
    editorRow->addWidget(FEditor, 1);
    editorRow->addWidget(FScrollBar);
    column->addLayout(editorRow, 1);

    BuildFindBar(central);
    setCentralWidget(central);
    BuildLogPanel();
    BuildStatusBar();
    BuildMenus();
    ConnectEditor();

    // The editor reads the scroll bar when it paints; moving the bar only
    // has to repaint it. The wheel over the editor scrolls the bar.
    connect(FScrollBar, &QScrollBar::valueChanged, FEditor, qOverload<>(&QWidget::update));
    FEditor->installEventFilter(this);

    // A change made to the open file by another program: the document
    // compares the file with what it read, and says so (OnSourceChange).
    FWatcher = new QFileSystemWatcher(this);
    connect(FWatcher, &QFileSystemWatcher::fileChanged, this, [this] {
        FEditor->Document()->CheckSource();
        WatchFile(); // a file replaced by a rename is watched no more
    });

    FBlinkTimer = new QTimer(this);
    FBlinkTimer->setInterval(BlinkInterval);
    connect(FBlinkTimer, &QTimer::timeout, FEditor, &THexEditor::AnimateCursor);
    FBlinkTimer->start();

    FEditor->SetNotLoaded();
    RefreshLog();
    UpdateFileActions();
    UpdateTitle();
    FEditor->setFocus();
    resize(980, 640);
}

void THexEditWindow::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* open = file->addAction(tr("&Open..."), this, [this] {
        const QString path = AskOpenFileName();
        if (!path.isEmpty() && MaybeSave())
            OpenFile(path);
    });
    open->setShortcut(QKeySequence::Open);
    FSaveAction = file->addAction(tr("&Save"), this, [this] { SaveFile(); });
    FSaveAction->setShortcut(QKeySequence::Save);
    FSaveAsAction = file->addAction(tr("Save &As..."), this, [this] {
        const QString path = AskSaveFileName();
        if (!path.isEmpty())
            SaveFileAs(path);
    });
    FSaveAsAction->setShortcut(QKeySequence::SaveAs);
    FCloseAction = file->addAction(tr("&Close"), this, [this] { CloseFile(); });
    FCloseAction->setShortcut(QKeySequence::Close);
    file->addSeparator();
    QAction* quit = file->addAction(tr("&Quit"), this, &QWidget::close);
    quit->setShortcut(QKeySequence::Quit);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    // The captions are replaced by the change they would undo or redo.
    FUndoAction = edit->addAction(QStringLiteral("Undo"), this, [this] { UndoOrRedo(false); });
    FUndoAction->setShortcut(QKeySequence::Undo);
    FRedoAction = edit->addAction(QStringLiteral("Redo"), this, [this] { UndoOrRedo(true); });
    FRedoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
    edit->addSeparator();
    QAction* find = edit->addAction(tr("&Find..."), this, [this] {
        FFindText->setFocus();
        FFindText->selectAll();
    });
    find->setShortcut(QKeySequence::Find);
    QAction* findNext = edit->addAction(tr("Find &Next"), this, [this] { FindFromBar(); });
    findNext->setShortcut(QKeySequence::FindNext);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    AddChoiceMenu(view, tr("Bytes per &line"),
                  {{QStringLiteral("8"), 8}, {QStringLiteral("16"), 16}, {QStringLiteral("24"), 24},
                   {QStringLiteral("32"), 32}, {QStringLiteral("64"), 64}},
                  FEditor->BytesPerLine(), [this](int v) { FEditor->SetBytesPerLine(v); });
    AddChoiceMenu(view, tr("Bytes per &group"),
                  {{QStringLiteral("1"), 1}, {QStringLiteral("2"), 2}, {QStringLiteral("4"), 4}},
                  FEditor->BytesPerGroup(), [this](int v) { FEditor->SetBytesPerGroup(v); });
    AddChoiceMenu(view, tr("&Byte base"), {{tr("&Hexadecimal"), 16}, {tr("&Decimal"), 10}},
                  FEditor->BaseBytes(), [this](int v) { FEditor->SetBaseBytes(v); });
    AddChoiceMenu(view, tr("&Offset base"), {{tr("&Hexadecimal"), 16}, {tr("&Decimal"), 10}},
                  FEditor->BaseOffset(), [this](int v) { FEditor->SetBaseOffset(v); });
    view->addSeparator();
    QAction* readOnly = view->addAction(tr("&Read only"));
    readOnly->setCheckable(true);
    readOnly->setChecked(FEditor->ReadOnly());
    connect(readOnly, &QAction::toggled, this, [this](bool on) {
        FEditor->SetReadOnly(on);
        statusBar()->showMessage(on ? tr("Read only: typing changes nothing") : tr("Editing enabled"), 3000);
    });
    QAction* dots = view->addAction(tr("Polka &dots"));
    dots->setCheckable(true);
    dots->setChecked(FEditor->PolkaDots() > 0);
    connect(dots, &QAction::toggled, this, [this](bool on) { FEditor->SetPolkaDots(on ? DotCount : 0); });
    view->addSeparator();
    view->addAction(findChild<QDockWidget*>()->toggleViewAction());
}

QMenu* THexEditWindow::AddChoiceMenu(QMenu* parent, const QString& title,
                                     const QList<QPair<QString, int>>& choices, int current,
                                     const std::function<void(int)>& setter)
{
    QMenu* menu = parent->addMenu(title);
    auto* group = new QActionGroup(menu);
    for (const auto& choice : choices) {
        QAction* action = menu->addAction(choice.first);
        action->setCheckable(true);
        action->setChecked(choice.second == current);
        group->addAction(action);
        const int value = choice.second;
        connect(action, &QAction::triggered, this, [this, setter, value] {
            setter(value);
            // Captions of the log depend on the bases and the group size.
            RefreshLog();
            RefreshCursorStatus();
        });
    }
    return menu;
}

void THexEditWindow::BuildFindBar(QWidget* parent)
{
    auto* bar = new QWidget(parent);
    bar->setObjectName(QStringLiteral("FindBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(tr("Find:"), bar));
    FFindMode = new QComboBox(bar);
    FFindMode->addItem(tr("Text"), int(THexEditor::smText));
    FFindMode->addItem(tr("Decimal"), int(THexEditor::smDecimal));
    FFindMode->addItem(tr("Hex"), int(THexEditor::smHex));
    row->addWidget(FFindMode);
    FFindText = new QLineEdit(bar);
    FFindText->setMaxLength(THexEditor::TextSize - 1);
    FFindText->setPlaceholderText(tr("text, a decimal number, or hex bytes such as 01 2c"));
    row->addWidget(FFindText, 1);
    FMatchCase = new QCheckBox(tr("Match case"), bar);
    row->addWidget(FMatchCase);
    FFromCursor = new QCheckBox(tr("From cursor"), bar);
    row->addWidget(FFromCursor);
    auto* next = new QPushButton(tr("Find next"), bar);
    row->addWidget(next);
    FFindStatus = new QLabel(bar);
    FFindStatus->setMinimumWidth(110);
    row->addWidget(FFindStatus);
    parent->layout()->addWidget(bar);

    connect(FFindText, &QLineEdit::returnPressed, this, [this] { FindFromBar(); });
    connect(next, &QPushButton::clicked, this, [this] { FindFromBar(); });
}

void THexEditWindow::BuildLogPanel()
{
    auto* dock = new QDockWidget(tr("Change log"), this);
    dock->setObjectName(QStringLiteral("ChangeLogPanel"));
    auto* panel = new QWidget(dock);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(4, 4, 4, 4);
    const QStringList headers = {tr("Offset"), tr("Kind"), tr("Old"), tr("New")};
    auto makeList = [&](const QString& title, const char* name) {
        column->addWidget(new QLabel(title, panel));
        auto* list = new QTreeWidget(panel);
        list->setObjectName(QString::fromLatin1(name));
        list->setColumnCount(headers.size());
        list->setHeaderLabels(headers);
        list->setRootIsDecorated(false);
        list->setUniformRowHeights(true);
        list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        column->addWidget(list, 1);
        connect(list, &QTreeWidget::itemActivated, this, [this, list] { LogItemActivated(list); });
        return list;
    };
    FUndoList = makeList(tr("Undo (newest last)"), "UndoList");
    FRedoList = makeList(tr("Redo (next last)"), "RedoList");
    dock->setWidget(panel);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    resizeDocks({dock}, {300}, Qt::Horizontal);
}

void THexEditWindow::BuildStatusBar()
{
    auto add = [this](int minWidth) {
        auto* label = new QLabel(this);
        label->setMinimumWidth(minWidth);
        statusBar()->addPermanentWidget(label);
        return label;
    };
    FNameLabel = new QLabel(this);
    statusBar()->addWidget(FNameLabel, 1);
    FOffsetLabel = add(150);
    FValueLabel = add(110);
    FSizeLabel = add(130);
    FDirtyLabel = add(70);
}

void THexEditWindow::ConnectEditor()
{
    connect(FEditor, &THexEditor::OnCursorChange, this, [this] { RefreshCursorStatus(); });
    connect(FEditor, &THexEditor::OnCursorByteChange, this, [this] { RefreshCursorStatus(); });
    connect(FEditor, &THexEditor::OnSizeChange, this, [this](QObject*, qint64 size) {
        FDataSize = size;
        FSizeLabel->setText(tr("Size: %1 bytes").arg(size));
    });
    connect(FEditor, &THexEditor::OnDirtyChange, this, [this](QObject*, bool dirty) {
        FDirty = dirty;
        FDirtyLabel->setText(dirty ? tr("Modified") : QString());
        UpdateTitle();
    });
    connect(FEditor, &THexEditor::OnFileNameChange, this, [this](QObject*, const char* name) {
        // The editor names its empty buffer "(null)".
        FNameLabel->setText(std::strcmp(name, "(null)") == 0 ? tr("No file open") : QFile::decodeName(name));
    });
    connect(FEditor, &THexEditor::OnChangeLogUpdate, this, [this] { RefreshLog(); });
    connect(FEditor, &THexEditor::OnSourceChange, this, [this](QObject*, int changes) {
        statusBar()->showMessage((changes & THexDocument::scReplaced)
                                     ? tr("The file was replaced or removed on disk by another program")
                                     : tr("The file was changed on disk by another program"));
    });
    // Characters typed into the character panel change bytes without a
    // cursor-byte event; the cursor move that follows refreshes the value.
}

bool THexEditWindow::OpenFile(const QString& path)
{
    const int result = FEditor->LoadFromFile(NativeName(path).constData());
    switch (result) {
    case THexEditor::frOk:
        FFilePath = QFileInfo(path).absoluteFilePath();
        if (FEditor->Document()->ReadOnly())
            statusBar()->showMessage(tr("A device: shown read-only"), 5000);
        break;
    case THexEditor::frReadShort:
        // The buffer now holds part of the new file while the editor keeps
        // the old name: unbind it, so Save cannot write it over that file.
        FFilePath.clear();
        FNameLabel->setText(tr("Part of %1").arg(QDir::toNativeSeparators(path)));
        ShowMessage(tr("Open"), tr("Only part of %1 could be read. The missing tail shows as zero bytes.\n"
                                   "Use Save As to keep what was read.").arg(Quoted(path)));
        break;
    default:
        ShowMessage(tr("Open"), tr("Cannot open %1.\n%2").arg(Quoted(path), FEditor->Document()->ErrorText()));
        break;
    }
    FLastFindKey.clear();
    WatchFile();
    UpdateFileActions();
    UpdateTitle();
    RefreshCursorStatus();
    return result == THexEditor::frOk;
}

void THexEditWindow::WatchFile()
{
    if (!FWatcher->files().isEmpty())
        FWatcher->removePaths(FWatcher->files());
    if (!FFilePath.isEmpty())
        FWatcher->addPath(FFilePath);
}

void THexEditWindow::WaitForWork(const QString& what)
{
    QEventLoop loop;
    bool done = false;
    const auto finish = [&] {
        done = true;
        loop.quit();
    };
    const auto found = connect(FEditor, &THexEditor::OnFindDone, &loop, finish);
    const auto saved = connect(FEditor, &THexEditor::OnSaveDone, &loop, finish);
    QProgressDialog progress(what, tr("Cancel"), 0, 1000, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    connect(FEditor, &THexEditor::OnProgress, &progress, [&progress](QObject*, qint64 done, qint64 total) {
        progress.setValue(total > 0 ? int(done * 1000 / total) : 0);
    });
    connect(&progress, &QProgressDialog::canceled, FEditor, &THexEditor::CancelWork);
    // Input waits until the work is over; the window still repaints.
    FWorking = true;
    QWidget* focus = QApplication::focusWidget();
    centralWidget()->setEnabled(false);
    menuBar()->setEnabled(false);
    if (!done)
        loop.exec();
    centralWidget()->setEnabled(true);
    menuBar()->setEnabled(true);
    if (focus)
        focus->setFocus();
    FWorking = false;
    disconnect(found);
    disconnect(saved);
}

bool THexEditWindow::SaveFile()
{
    if (FFilePath.isEmpty()) {
        const QString path = AskSaveFileName();
        return !path.isEmpty() && SaveFileAs(path);
    }
    return SaveFileAs(FFilePath);
}

bool THexEditWindow::SaveFileAs(const QString& path)
{
    // Another program wrote to the file since it was opened or saved here:
    // saving now would throw its bytes away.
    const bool sameFile = !FFilePath.isEmpty() && QFileInfo(path).absoluteFilePath() == FFilePath;
    if (sameFile && FEditor->Document()->CheckSource() != 0) {
        switch (AskChangedOnDisk()) {
        case caOverwrite: break;
        case caReload: OpenFile(FFilePath); return false;
        default: return false;
        }
    }
    int result = THexEditor::frBusy;
    const auto done = connect(FEditor, &THexEditor::OnSaveDone, this, [&result](QObject*, int r) { result = r; });
    if (FEditor->StartSaveToFile(NativeName(path).constData()))
        WaitForWork(tr("Saving %1...").arg(Quoted(path)));
    disconnect(done);
    if (result == THexEditor::frOk) {
        FFilePath = QFileInfo(path).absoluteFilePath();
        statusBar()->showMessage(tr("Saved %1").arg(Quoted(path)), 3000);
    } else if (result == THexEditor::frCancelled) {
        statusBar()->showMessage(tr("Save cancelled; the file on disk was left as it was"), 5000);
    } else if (result == THexEditor::frWriteShort) {
        ShowMessage(tr("Save"), tr("%1 could not be written completely (is the disk full?).\n"
                                   "The file on disk was left as it was.").arg(Quoted(path)));
    } else if (result == THexEditor::frSourceLost) {
        ShowMessage(tr("Save"), tr("%1 was not saved.\n%2\nReopen the file to go on.")
                                    .arg(Quoted(path), FEditor->Document()->ErrorText()));
    } else {
        ShowMessage(tr("Save"), tr("Cannot save to %1.\n%2").arg(Quoted(path), FEditor->Document()->ErrorText()));
    }
    WatchFile();
    UpdateFileActions();
    UpdateTitle();
    return result == THexEditor::frOk;
}

bool THexEditWindow::CloseFile()
{
    if (!MaybeSave())
        return false;
    FEditor->SetNotLoaded();
    FFilePath.clear();
    WatchFile();
    FLastFindKey.clear();
    UpdateFileActions();
    UpdateTitle();
    RefreshCursorStatus();
    return true;
}

bool THexEditWindow::MaybeSave()
{
    if (!FDirty)
        return true;
    switch (AskSaveChanges()) {
    case saSave: return SaveFile();
    case saDiscard: return true;
    default: return false;
    }
}

qint64 THexEditWindow::FindFromBar()
{
    const QByteArray text = FFindText->text().toLatin1();
    const int mode = FFindMode->currentData().toInt();
    const int flags = (FMatchCase->isChecked() ? int(THexEditor::sfMatchCase) : 0)
                      | (FFromCursor->isChecked() ? int(THexEditor::sfFromCursor) : 0);
    const QString key = QStringLiteral("%1/%2/").arg(mode).arg(flags) + QString::fromLatin1(text);
    qint64 found = -1;
    const auto done = connect(FEditor, &THexEditor::OnFindDone, this, [&found](QObject*, qint64 at) { found = at; });
    bool started;
    if (key == FLastFindKey) {
        started = FEditor->StartFindNext();
    } else {
        FLastFindKey = key;
        started = FEditor->StartFindFirst(text.constData(), mode, flags);
    }
    if (started)
        WaitForWork(tr("Searching..."));
    disconnect(done);
    if (found >= 0) {
        char offset[THexEditor::TextSize];
        FEditor->FormatOffset(found, offset);
        FFindStatus->setText(tr("Found at %1").arg(EditorText(offset)));
        FEditor->SetCursorOffset(found);
    } else if (found == THexEditor::FindCancelled) {
        FFindStatus->setText(tr("Stopped"));
    } else {
        FFindStatus->setText(tr("Not found"));
    }
    return found;
}

void THexEditWindow::UndoOrRedo(bool redo)
{
    const TChangeLog& log = FEditor->ChangeLog();
    const int before = redo ? log.RedoCount : log.UndoCount;
    if (redo)
        FEditor->Redo();
    else
        FEditor->Undo();
    // The buffer no longer matches what was saved or loaded.
    if (before > 0 && !FFilePath.isEmpty())
        FEditor->SetDirty(1);
    RefreshCursorStatus();
}

void THexEditWindow::LogItemActivated(QTreeWidget* list)
{
    const QTreeWidgetItem* item = list->currentItem();
    if (!item)
        return;
    bool ok = false;
    const qint64 offset = item->text(0).toLongLong(&ok, 16);
    if (ok) {
        FEditor->SetCursorOffset(offset);
        FEditor->setFocus();
    }
}

void THexEditWindow::RefreshLog()
{
    FEditor->ChangeLogToMenuItem(FUndoAction, FRedoAction);
    FEditor->ChangeLogToListView(FUndoList);
    FEditor->RedoLogToListView(FRedoList);
}

void THexEditWindow::RefreshCursorStatus()
{
    if (!FEditor->Message()[0] && FDataSize > 0) {
        const qint64 offset = FEditor->GetCursorOffset();
        char text[THexEditor::TextSize];
        FEditor->FormatOffset(offset, text);
        FOffsetLabel->setText(tr("Offset: %1").arg(EditorText(text)));
        FEditor->FormatByte(FEditor->GetByte(offset), text);
        FValueLabel->setText(tr("Byte: %1").arg(EditorText(text)));
    } else {
        FOffsetLabel->clear();
        FValueLabel->clear();
    }
}

void THexEditWindow::UpdateTitle()
{
    const QString name = FFilePath.isEmpty() ? tr("no file") : QFileInfo(FFilePath).fileName();
    setWindowTitle(QStringLiteral("%1[*] - %2").arg(name, QString::fromLatin1(AppTitle)));
    setWindowModified(FDirty);
}

void THexEditWindow::UpdateFileActions()
{
    // Data is shown unless the start message is; Save needs a file to go to.
    const bool shown = FEditor->Message()[0] == '\0';
    FSaveAction->setEnabled(shown && !FFilePath.isEmpty());
    FSaveAsAction->setEnabled(shown);
    FCloseAction->setEnabled(shown);
}

THexEditWindow::TChangedAnswer THexEditWindow::AskChangedOnDisk()
{
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(AppTitle),
                    tr("%1 was changed on disk by another program since it was opened or saved here.\n"
                       "Saving now replaces what that program wrote.").arg(Quoted(FFilePath)),
                    QMessageBox::Cancel, this);
    QPushButton* overwrite = box.addButton(tr("&Overwrite"), QMessageBox::DestructiveRole);
    QPushButton* reload = box.addButton(tr("&Reload (discard my changes)"), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    if (box.clickedButton() == overwrite)
        return caOverwrite;
    if (box.clickedButton() == reload)
        return caReload;
    return caCancel;
}

THexEditWindow::TSaveAnswer THexEditWindow::AskSaveChanges()
{
    const auto answer = QMessageBox::question(
        this, QString::fromLatin1(AppTitle),
        tr("%1 has unsaved changes.\nSave them before going on?")
            .arg(FFilePath.isEmpty() ? tr("The data") : Quoted(FFilePath)),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return saSave;
    if (answer == QMessageBox::Discard)
        return saDiscard;
    return saCancel;
}

QString THexEditWindow::AskOpenFileName()
{
    return QFileDialog::getOpenFileName(this, tr("Open file"), QFileInfo(FFilePath).absolutePath());
}

QString THexEditWindow::AskSaveFileName()
{
    return QFileDialog::getSaveFileName(this, tr("Save file as"), FFilePath);
}

void THexEditWindow::ShowMessage(const QString& caption, const QString& text)
{
    QMessageBox::warning(this, caption, text);
}

void THexEditWindow::closeEvent(QCloseEvent* e)
{
    // Long work first ends (or is cancelled) in its progress dialog.
    if (FWorking) {
        e->ignore();
        return;
    }
    if (MaybeSave())
        e->accept();
    else
        e->ignore();
}

bool THexEditWindow::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == FEditor && e->type() == QEvent::Wheel) {
        QApplication::sendEvent(FScrollBar, e);
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}
