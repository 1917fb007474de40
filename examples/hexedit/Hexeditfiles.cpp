// THexEditWindow: opening and saving files, searching, the questions asked
// about them, and waiting for the editor's long work with a progress dialog.
// The window's parts and the editor's events are in Hexeditwindow.cpp.
#include "Hexeditwindow.h"

#include "Hexcontrol.h"

#include <QApplication>
#include <QComboBox>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

namespace {

QString Quoted(const QString& path)
{
    return QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(path));
}

QByteArray NativeName(const QString& path)
{
    return QFile::encodeName(path);
}

} // namespace

bool THexEditWindow::OpenFile(const QString& path)
{
    if (FWorking)
        return false; // a shortcut pressed while a save or search runs
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
    const auto all = connect(FEditor, &THexEditor::OnFindAllDone, &loop, finish);
    const auto replaced = connect(FEditor, &THexEditor::OnReplaceDone, &loop, finish);
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
    disconnect(all);
    disconnect(replaced);
    if (FCloseAfterWork) {
        FCloseAfterWork = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
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
    if (FWorking)
        return false;
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
    if (FWorking)
        return false;
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
