// THexEditWindow: the window's parts (editor and scroll bar, find bar, log
// panel, status bar, menus), the editor's events, and the log and status
// shown. Files, search and long work are in Hexeditfiles.cpp.
#include "Hexeditwindow.h"

#include "Canvas.h"
#include "Contrast.h"
#include "Hexcontrol.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cstring>
#include <iterator>

namespace {

// One blink step; the cursor shows for three steps and hides for three.
const int BlinkInterval = 100;
const int DotCount = 30;

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
    // Black bytes, dark blue characters, changed bytes in red and a blue
    // cursor, each replaced by black or white where it would not read well on
    // the desktop's background (a dark or high-contrast palette).
    const QColor background = TColorToQColor(TColor(FEditor->Color()));
    const auto readable = [&background](unsigned colour) {
        return unsigned(QColorToTColor(ReadableTextColor(TColorToQColor(TColor(colour)), background)));
    };
    FEditor->SetColorByte(readable(0x00000000));
    FEditor->SetColorAscii(readable(0x00804000));
    FEditor->SetColorChange(readable(0x000000C0));
    FEditor->SetColorCursor(readable(0x00C00000));
    FScrollBar = new QScrollBar(Qt::Vertical, central);
    FScrollBar->setObjectName(QStringLiteral("HexScrollBar"));
    FScrollBar->setAccessibleName(tr("Rows"));
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
    // Tab goes through the window as it reads: the editor, the find bar, then
    // the change log.
    QWidget* order[] = {FEditor,
                        FFindMode,
                        FFindText,
                        FMatchCase,
                        FFromCursor,
                        findChild<QPushButton*>("FindNext"),
                        findChild<QPushButton*>("FindPrevious"),
                        findChild<QPushButton*>("FindAll"),
                        FReplaceText,
                        findChild<QPushButton*>("Replace"),
                        findChild<QPushButton*>("ReplaceAll"),
                        FUndoList,
                        FRedoList};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

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
    UpdateEditActions();
    UpdateTitle();
    BuildTools();
    FEditor->setFocus();
    FitToScreen(screen()->availableGeometry());
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
    // Also the window's own: its key still works while long work has the
    // menu bar disabled.
    addAction(quit);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    // The captions are replaced by the change they would undo or redo.
    FUndoAction = edit->addAction(QStringLiteral("Undo"), this, [this] { UndoOrRedo(false); });
    FUndoAction->setShortcut(QKeySequence::Undo);
    FRedoAction = edit->addAction(QStringLiteral("Redo"), this, [this] { UndoOrRedo(true); });
    FRedoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
    BuildEditActions(edit);

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
        UpdateEditActions();
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
    auto* findLabel = new QLabel(tr("Fin&d:"), bar);
    row->addWidget(findLabel);
    FFindMode = new QComboBox(bar);
    findLabel->setBuddy(FFindMode);
    FFindMode->addItem(tr("Text"), int(THexEditor::smText));
    FFindMode->addItem(tr("Decimal"), int(THexEditor::smDecimal));
    FFindMode->addItem(tr("Hex"), int(THexEditor::smHex));
    row->addWidget(FFindMode);
    FFindText = new QLineEdit(bar);
    FFindText->setMaxLength(THexEditor::TextSize - 1);
    FFindText->setPlaceholderText(tr("text, a decimal number, or hex bytes such as 01 2c"));
    FFindText->setAccessibleName(tr("Find what"));
    row->addWidget(FFindText, 1);
    FMatchCase = new QCheckBox(tr("Match &case"), bar);
    row->addWidget(FMatchCase);
    FFromCursor = new QCheckBox(tr("From c&ursor"), bar);
    row->addWidget(FFromCursor);
    auto* next = new QPushButton(tr("Ne&xt"), bar);
    next->setObjectName(QStringLiteral("FindNext"));
    row->addWidget(next);
    auto* previous = new QPushButton(tr("Pre&vious"), bar);
    previous->setObjectName(QStringLiteral("FindPrevious"));
    row->addWidget(previous);
    auto* all = new QPushButton(tr("&All"), bar);
    all->setObjectName(QStringLiteral("FindAll"));
    row->addWidget(all);
    parent->layout()->addWidget(bar);

    connect(FFindText, &QLineEdit::returnPressed, this, [this] { FindFromBar(); });
    connect(next, &QPushButton::clicked, this, [this] { FindFromBar(); });
    connect(previous, &QPushButton::clicked, this, [this] { FindPreviousFromBar(); });
    connect(all, &QPushButton::clicked, this, [this] { FindAllFromBar(); });
    BuildReplaceRow(parent);
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
        auto* label = new QLabel(title, panel);
        column->addWidget(label);
        auto* list = new QTreeWidget(panel);
        label->setBuddy(list);
        list->setAccessibleName(QString(title).remove(QLatin1Char('&')));
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
    FUndoList = makeList(tr("U&ndo (newest last)"), "UndoList");
    FRedoList = makeList(tr("Red&o (next last)"), "RedoList");
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
    FSelectionLabel = add(0);
    FSizeLabel = add(130);
    FModeLabel = add(0);
    FModeLabel->setText(tr("OVR"));
    FModeLabel->setToolTip(tr("Overwrite mode: typing writes over bytes (Insert switches)"));
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
    connect(FEditor, &THexEditor::OnSelectionChange, this, [this](QObject*, qint64, qint64 length) {
        FSelectionLabel->setText(length > 0 ? tr("Selected: %1 bytes").arg(length) : QString());
        UpdateEditActions();
    });
    connect(FEditor, &THexEditor::OnInsertModeChange, this, [this](QObject*, bool insert) {
        FModeLabel->setText(insert ? tr("INS") : tr("OVR"));
        FModeLabel->setToolTip(insert ? tr("Insert mode: typing inserts bytes (Insert switches)")
                                      : tr("Overwrite mode: typing writes over bytes (Insert switches)"));
        UpdateEditActions();
    });
    connect(FEditor, &THexEditor::OnClipboardRefused, this, [this](QObject*, int reason, qint64 length) {
        if (reason == THexEditor::crNotHex)
            ShowMessage(tr("Paste"), tr("The clipboard holds text that is not hex bytes. In the byte panel, paste "
                                        "hex digits such as 4f 6b or 0x4f 0x6b; paste text in the character panel."));
        else
            ShowMessage(tr("Clipboard"), tr("%1 bytes are more than the clipboard takes (%2 MiB). Nothing was "
                                            "copied or pasted.")
                                             .arg(length)
                                             .arg(THexEditor::ClipboardLimit >> 20));
    });
    connect(FEditor, &THexEditor::OnSourceChange, this, [this](QObject*, int changes) {
        statusBar()->showMessage((changes & THexDocument::scReplaced)
                                     ? tr("The file was replaced or removed on disk by another program")
                                     : tr("The file was changed on disk by another program"));
    });
    // Characters typed into the character panel change bytes without a
    // cursor-byte event; the cursor move that follows refreshes the value.
}

void THexEditWindow::UndoOrRedo(bool redo)
{
    if (redo)
        FEditor->Redo();
    else
        FEditor->Undo();
    // The editor clears the flag back at the bytes on disk; anywhere else
    // (undone past a save, say) they differ from the file.
    if (!FFilePath.isEmpty() && !FEditor->AtSavePoint())
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

void THexEditWindow::ShowMessage(const QString& caption, const QString& text)
{
    QMessageBox::warning(this, caption, text);
}

void THexEditWindow::closeEvent(QCloseEvent* e)
{
    // Long work first ends (or is cancelled in its progress dialog); the
    // window closes then, asking about changes as ever (Ctrl+S, Ctrl+Q
    // saves and quits).
    if (FWorking) {
        FCloseAfterWork = true;
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
