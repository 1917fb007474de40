// THexEditWindow: Go to offset, the value inspector panel, the check of hex
// search text, and the window's size fitted to the screen; the Go to dialog
// and the reading of hex search text.
#include "Hexedittools.h"

#include "Hexcontrol.h"
#include "Hexeditwindow.h"
#include "Hexgoto.h"
#include "Hexvalueview.h"
#include "Numbase.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

// The window's size where the screen has room for it.
const QSize PreferredSize(980, 720);
const int PreferredPanelWidth = 300;
// Narrower than this, the panels beside the editor start closed.
const int LeastPanelWidth = 200;
// Room for the frame a window manager draws around the window: its real
// size is known only once the window is shown.
const QMargins FrameGuess(8, 36, 8, 8);

QString Elided(const QString& text)
{
    return text.size() <= 12 ? text : text.left(11) + QChar(0x2026);
}

} // namespace

// ---------------------------------------------------------------------------
// The Go to dialog

THexGotoDialog::THexGotoDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Go to offset"));
    auto* column = new QVBoxLayout(this);
    auto* label = new QLabel(tr("&Offset:"), this);
    FField = new QLineEdit(this);
    FField->setObjectName(QStringLiteral("GotoOffset"));
    FField->setAccessibleName(tr("Offset"));
    FField->setAccessibleDescription(THexGoto::Syntax());
    label->setBuddy(FField);
    auto* syntax = new QLabel(THexGoto::Syntax(), this);
    syntax->setWordWrap(true);
    FWhere = new QLabel(this);
    FMessage = new QLabel(this);
    FMessage->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(label);
    column->addWidget(FField);
    column->addWidget(syntax);
    column->addWidget(FWhere);
    column->addWidget(FMessage);
    column->addWidget(buttons);
    // The dialog grows with a message instead of squeezing the text above.
    column->setSizeConstraint(QLayout::SetFixedSize);
}

void THexGotoDialog::Prepare(qint64 cursor, const QString& cursorText, qint64 size)
{
    FCursor = cursor;
    FSize = size;
    FWhere->setText(tr("The cursor is at %1, in %2 bytes.").arg(cursorText).arg(size));
    FMessage->clear();
    FField->selectAll();
    FField->setFocus();
}

QString THexGotoDialog::Message() const
{
    return FMessage->text();
}

void THexGotoDialog::accept()
{
    QString why;
    if (!THexGoto::Read(FField->text(), FCursor, FSize, &FOffset, &why)) {
        FMessage->setText(why);
        FField->setFocus();
        FField->selectAll();
        return;
    }
    QDialog::accept();
}

// ---------------------------------------------------------------------------
// Hex search text

bool ReadHexSearchText(const QString& text, QByteArray* bytes, QString* error)
{
    QByteArray out;
    const QStringList runs = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& run : runs) {
        const bool prefixed = run.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
        const QString digits = prefixed ? run.mid(2) : run;
        for (const QChar c : digits) {
            if (HexDigitValue(c.toLatin1()) < 0) { // 0 beyond Latin-1
                *error = QCoreApplication::translate("THexEditWindow", "Not hex: \"%1\"").arg(Elided(run));
                return false;
            }
        }
        if (digits.isEmpty() || (digits.size() % 2 != 0 && digits.size() > 1)) {
            *error = digits.isEmpty()
                         ? QCoreApplication::translate("THexEditWindow", "No digits after 0x")
                         : QCoreApplication::translate("THexEditWindow", "Odd digit count: \"%1\"").arg(Elided(run));
            return false;
        }
        out += QByteArray::fromHex(digits.size() == 1 ? (QStringLiteral("0") + digits).toLatin1() : digits.toLatin1());
    }
    if (out.isEmpty()) {
        *error = QCoreApplication::translate("THexEditWindow", "Type hex bytes, such as 3f 87");
        return false;
    }
    *bytes = out;
    return true;
}

// ---------------------------------------------------------------------------
// The window's tools

void THexEditWindow::BuildTools()
{
    QMenu* edit = nullptr;
    QMenu* view = nullptr;
    for (QAction* action : menuBar()->actions()) {
        if (action->text() == tr("&Edit"))
            edit = action->menu();
        else if (action->text() == tr("&View"))
            view = action->menu();
    }

    FGotoAction = new QAction(tr("&Go to Offset..."), this);
    FGotoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(FGotoAction, &QAction::triggered, this, &THexEditWindow::AskGotoOffset);
    if (edit) {
        edit->addSeparator();
        edit->addAction(FGotoAction);
    } else {
        addAction(FGotoAction);
    }

    FInspectorDock = new QDockWidget(tr("Value inspector"), this);
    FInspectorDock->setObjectName(QStringLiteral("InspectorPanel"));
    auto* scroll = new QScrollArea(FInspectorDock);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus); // its rows take the focus
    FInspector = new THexValueView(scroll);
    FInspector->setObjectName(QStringLiteral("Inspector"));
    FInspector->SetEditor(FEditor);
    scroll->setWidget(FInspector);
    FInspectorDock->setWidget(scroll);
    // Below the change log rather than in tabs with it: a tab bar's current
    // tab tells screen readers it has the focus wherever the focus is.
    addDockWidget(Qt::RightDockWidgetArea, FInspectorDock);
    if (auto* log = findChild<QDockWidget*>(QStringLiteral("ChangeLogPanel")))
        splitDockWidget(log, FInspectorDock, Qt::Vertical);
    if (view)
        view->addAction(FInspectorDock->toggleViewAction());
}

void THexEditWindow::AskGotoOffset()
{
    if (FWorking)
        return;
    if (FEditor->Message()[0] != '\0') {
        statusBar()->showMessage(tr("Open a file to go to an offset in it"), 3000);
        return;
    }
    if (!FGotoDialog) {
        FGotoDialog = new THexGotoDialog(this);
        connect(FGotoDialog, &QDialog::accepted, this, [this] {
            FEditor->SetCursorOffset(FGotoDialog->Offset());
            FEditor->setFocus();
        });
    }
    const qint64 cursor = FEditor->GetCursorOffset();
    char text[THexEditor::TextSize];
    FEditor->FormatOffset(cursor, text);
    FGotoDialog->Prepare(cursor, QString::fromLatin1(text), FEditor->DataSize());
    FGotoDialog->open();
}

bool THexEditWindow::CheckHexSearchText(QByteArray* text)
{
    QByteArray bytes;
    QString why;
    if (!ReadHexSearchText(FFindText->text(), &bytes, &why)) {
        FFindStatus->setText(why);
        return false;
    }
    // Digit pairs with nothing between them: the editor's reading of hex
    // text gives exactly these bytes back, where a 0x would have made a byte
    // of its own.
    *text = bytes.toHex();
    return true;
}

void THexEditWindow::FitToScreen(const QRect& available)
{
    QMargins frame = FrameGuess;
    if (isVisible() && frameGeometry() != geometry()) {
        const QRect outer = frameGeometry(), inner = geometry();
        frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    }
    const QSize room = available.size().shrunkBy(frame);
    // The panels beside the editor give way first: they start closed when
    // the editor and its find bar would not keep their width beside them.
    const int centralWidth = centralWidget()->minimumSizeHint().width();
    const bool panels = room.width() - centralWidth >= LeastPanelWidth;
    for (QDockWidget* dock : findChildren<QDockWidget*>())
        if (dock->parentWidget() == this && dock->isVisibleTo(this) != panels)
            dock->setVisible(panels);
    const QSize size = PreferredSize.boundedTo(room).expandedTo(minimumSizeHint().boundedTo(room));
    resize(size);
    if (panels) {
        // Past their least width, the panels and the find bar's field share
        // what is left.
        const int wanted = centralWidth + qMax(0, centralWidget()->sizeHint().width() - centralWidth) / 2;
        const int panelWidth = qBound(LeastPanelWidth, size.width() - wanted, PreferredPanelWidth);
        resizeDocks({FInspectorDock}, {panelWidth}, Qt::Horizontal);
        // The inspector shows all its rows where the height allows; the
        // change log above it takes the rest.
        FInspectorDock->widget()->setMinimumHeight(qMin(FInspector->sizeHint().height(), room.height() / 2));
    }
}
