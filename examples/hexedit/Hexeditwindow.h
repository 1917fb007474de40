#pragma once
// The main window of the hexedit program: one THexEditor with its scroll
// bar, a find and replace bar, the change log in a side panel, a status bar
// fed by the editor's events (offset, byte, selection, insert or overwrite
// mode, size, modified), File, Edit and View menus (the Edit menu holds every
// editing action with its shortcut), Go to offset (Ctrl+G) and a value
// inspector panel. Files of any size open at once (the editor reads what it
// shows); a search or save that takes longer
// than half a second shows its progress with a Cancel button. The open file
// is watched: before a save would overwrite what another program wrote to
// it, the window asks, and offers to reload it instead.
//
// Every question and message goes through a virtual function so a test can
// answer it without a modal dialog.
#include <QMainWindow>
#include <QString>

#include <functional>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollBar;
class QTimer;
class QDockWidget;
class QTreeWidget;
class THexEditor;
class THexGotoDialog;
class THexValueView;

class THexEditWindow : public QMainWindow
{
    Q_OBJECT
public:
    enum TSaveAnswer { saSave, saDiscard, saCancel };
    enum TChangedAnswer { caOverwrite, caReload, caCancel };

    explicit THexEditWindow(QWidget* parent = nullptr);

    // Opens a file; a failure is reported in a message. True on success.
    bool OpenFile(const QString& path);
    // Saves to the current file, or asks for a name when there is none.
    bool SaveFile();
    bool SaveFileAs(const QString& path);
    // Asks about unsaved changes, then shows the start message again. False
    // when the user cancelled.
    bool CloseFile();
    // Starts a search with the find bar's text, mode and options, or carries
    // the running one on when nothing in the bar changed. Moves the cursor to
    // the match; returns its offset, -1, or THexEditor::FindCancelled.
    qint64 FindFromBar();
    // The same backwards: the match before the last one found, or the last
    // one (before the cursor with "From cursor") when the bar changed.
    qint64 FindPreviousFromBar();
    // Every match shaded; returns the count, or THexEditor::FindCancelled.
    qint64 FindAllFromBar();
    // Replaces the match found last with the replace text and finds the
    // next one; without a match found, finds one first. True when a match
    // was replaced.
    bool ReplaceFromBar();
    // Replaces every match; returns the count, THexEditor::ReplaceRefused
    // (another length in overwrite mode), or THexEditor::FindCancelled.
    qint64 ReplaceAllFromBar();

    // Sizes the window (and the panels beside the editor) to fit `available`,
    // a screen's available geometry, frame included; the constructor fits
    // it to the screen it opens on.
    void FitToScreen(const QRect& available);

    THexEditor* Editor() const { return FEditor; }
    THexValueView* Inspector() const { return FInspector; }
    QAction* GotoAction() const { return FGotoAction; }
    // Null until Go to offset was first asked for.
    THexGotoDialog* GotoDialog() const { return FGotoDialog; }
    QAction* UndoAction() const { return FUndoAction; }
    QAction* RedoAction() const { return FRedoAction; }
    QAction* SaveAction() const { return FSaveAction; }
    QAction* CopyAction() const { return FCopyAction; }
    QAction* DeleteAction() const { return FDeleteAction; }
    QAction* InsertModeAction() const { return FInsertModeAction; }
    QLineEdit* ReplaceText() const { return FReplaceText; }
    QLabel* ModeLabel() const { return FModeLabel; }
    QTreeWidget* UndoList() const { return FUndoList; }
    QTreeWidget* RedoList() const { return FRedoList; }
    QComboBox* FindMode() const { return FFindMode; }
    QLineEdit* FindText() const { return FFindText; }
    QCheckBox* FindMatchCase() const { return FMatchCase; }
    QCheckBox* FindFromCursor() const { return FFromCursor; }
    QLabel* FindStatus() const { return FFindStatus; }
    QString FilePath() const { return FFilePath; }
    bool IsDirty() const { return FDirty; }

protected:
    // Asked before unsaved changes would be lost.
    virtual TSaveAnswer AskSaveChanges();
    // Asked before a save would overwrite a file another program changed
    // since it was opened or saved here.
    virtual TChangedAnswer AskChangedOnDisk();
    // File dialogs; an empty result means the user cancelled.
    virtual QString AskOpenFileName();
    virtual QString AskSaveFileName();
    virtual void ShowMessage(const QString& caption, const QString& text);

    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void BuildMenus();
    // The Edit menu's editing and find actions (Hexeditedit.cpp).
    void BuildEditActions(QMenu* edit);
    void BuildReplaceRow(QWidget* parent);
    void UpdateEditActions();
    // The search the bar asks for: text, mode, flags; and whether it is the
    // one running (the bar unchanged since).
    bool ReadFindBar(QByteArray* text, int* mode, int* flags, bool* same);
    qint64 FindFromBarTowards(bool backwards);
    // Moves to a match found, or says why there is none.
    qint64 ShowFound(qint64 found);
    void BuildFindBar(QWidget* parent);
    void BuildLogPanel();
    void BuildStatusBar();
    // Go to offset and the value inspector (Hexedittools.cpp).
    void BuildTools();
    void AskGotoOffset();
    // Hex search text as digit pairs; false, with the find bar saying why,
    // when it holds anything else.
    bool CheckHexSearchText(QByteArray* text);
    void ConnectEditor();
    bool MaybeSave();
    // Runs the event loop until the editor's long work ends, with a progress
    // dialog from half a second on; the window takes no input meanwhile.
    void WaitForWork(const QString& what);
    void WatchFile();
    void RefreshLog();
    void RefreshCursorStatus();
    void UpdateTitle();
    void UpdateFileActions();
    void UndoOrRedo(bool redo);
    void LogItemActivated(QTreeWidget* list);
    QMenu* AddChoiceMenu(QMenu* parent, const QString& title, const QList<QPair<QString, int>>& choices,
                         int current, const std::function<void(int)>& setter);

    THexEditor* FEditor = nullptr;
    QScrollBar* FScrollBar = nullptr;
    QTimer* FBlinkTimer = nullptr;
    QFileSystemWatcher* FWatcher = nullptr;
    static constexpr char AppTitle[] = "hexedit";
    bool FWorking = false;
    bool FCloseAfterWork = false; // a close asked for while the work ran

    QAction* FSaveAction = nullptr;
    QAction* FSaveAsAction = nullptr;
    QAction* FCloseAction = nullptr;
    QAction* FUndoAction = nullptr;
    QAction* FRedoAction = nullptr;
    QAction* FCutAction = nullptr;
    QAction* FCopyAction = nullptr;
    QAction* FPasteAction = nullptr;
    QAction* FDeleteAction = nullptr;
    QAction* FSelectAllAction = nullptr;
    QAction* FInsertModeAction = nullptr;

    QComboBox* FFindMode = nullptr;
    QLineEdit* FFindText = nullptr;
    QCheckBox* FMatchCase = nullptr;
    QCheckBox* FFromCursor = nullptr;
    QLabel* FFindStatus = nullptr;
    QLineEdit* FReplaceText = nullptr;
    QString FLastFindKey; // text, mode and flags of the running search

    QAction* FGotoAction = nullptr;
    THexGotoDialog* FGotoDialog = nullptr;
    THexValueView* FInspector = nullptr;
    QDockWidget* FInspectorDock = nullptr;

    QTreeWidget* FUndoList = nullptr;
    QTreeWidget* FRedoList = nullptr;

    QLabel* FOffsetLabel = nullptr;
    QLabel* FValueLabel = nullptr;
    QLabel* FSizeLabel = nullptr;
    QLabel* FDirtyLabel = nullptr;
    QLabel* FSelectionLabel = nullptr;
    QLabel* FModeLabel = nullptr;
    QLabel* FNameLabel = nullptr;

    QString FFilePath; // empty while no file is open
    bool FDirty = false;
    qint64 FDataSize = 0;
};
