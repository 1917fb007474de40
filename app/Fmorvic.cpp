#include "Fmorvic.h"
#include "ui_Fmorvic.h"

#include "Activation.h"
#include "Autoload.h"
#include "Canvas.h"
#include "Contrast.h"
#include "Deferredicon.h"
#include "Faboutbase.h"
#include "Fieldtexts.h"
#include "Formfont.h"
#include "Formutil.h"
#include "Hidetask.h"
#include "Linklabel.h"
#include "Numbase.h"
#include "Resources.h"
#include "Shellopen.h"
#include "Trayhostwatch.h"
#include "Trayicon.h"
#include "Viewdoc.h"
#include "Weblinks.h"
#include "Windowsystem.h"
#include "kvparam.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QColorDialog>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPalette>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <utility>

QByteArray StartupDirectory;

namespace {

// Field texts are strings of 8-bit characters: every byte maps to the one
// Latin-1 character of the same code.
void SetFieldBytes(QLineEdit* field, const char* text)
{
    field->setText(QString::fromLatin1(text));
}

} // namespace

uint32_t DecimalFieldTextToValue(const char* text)
{
    while (*text == ' ')
        ++text;
    if (*text == '\0')
        return 0;

    // Hexadecimal forms: "$", "x", "X", "0x" or "0X", then digits only.
    const char* hex = nullptr;
    if (*text == '$' || *text == 'x' || *text == 'X')
        hex = text + 1;
    else if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        hex = text + 2;
    if (hex) {
        if (*hex == '\0')
            return 0;
        uint64_t value = 0;
        for (; *hex; ++hex) {
            const int d = HexDigitValue(*hex);
            if (d < 0)
                return 0;
            value = (value << 4) | uint64_t(d);
            if (value > 0xFFFFFFFFull)
                return 0;
        }
        return uint32_t(value);
    }

    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    if (*text < '0' || *text > '9')
        return 0;
    uint64_t value = 0;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9')
            return 0;
        value = value * 10 + uint64_t(*text - '0');
        if (value > 0xFFFFFFFFull)
            return 0;
    }
    if (negative) {
        if (value > 0x80000000ull)
            return 0;
        return uint32_t(0u - uint32_t(value));
    }
    return uint32_t(value);
}

namespace {

TFormMorvic::TTrayHostFactory& TrayHostFactory()
{
    static TFormMorvic::TTrayHostFactory factory;
    return factory;
}

int RunModal(QDialog& dialog)
{
    return dialog.exec();
}

} // namespace

void TFormMorvic::SetTrayHostFactory(TTrayHostFactory factory)
{
    TrayHostFactory() = std::move(factory);
}

TFormMorvic::TFormMorvic(QWidget* parent)
    : TFormMorvic(QCoreApplication::arguments(), parent)
{
}

TFormMorvic::TFormMorvic(const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent)
    , FUi(std::make_unique<Ui::TFormMorvic>())
    , FColorDialog(&TFormMorvic::RunColorDialog)
    , FModalRunner(&RunModal)
    , FArguments(arguments)
{
    // The form's font first, so that the controls are made with it rather
    // than made and then all changed over to it; the installed family first,
    // so that it is found without a font sort on the way to the first frame.
    setFont(FormFontInstalledFirst());
    FUi->setupUi(this);

    // The spinner's edit is the pad field, with the name its settings and
    // handlers know it by.
    QLineEdit* padEdit = FUi->UpDownPadHex->findChild<QLineEdit*>();
    padEdit->setObjectName(QStringLiteral("EditPadHex"));
    padEdit->setAccessibleName(FUi->UpDownPadHex->accessibleName());

    // The panel's fill is a fixed colour: the captions on it keep the
    // desktop's text colour where it reads well there, else black or white.
    const QColor fill = TColorToQColor(FUi->GlimraPanel1->Color());
    for (QLabel* label : FUi->GlimraPanel1->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (label == FUi->PanelRGB)
            continue;
        QPalette readable = label->palette();
        readable.setColor(QPalette::WindowText, ReadableTextColor(readable.color(QPalette::WindowText), fill));
        label->setPalette(readable);
    }

    FUi->Label4->setText(QStringLiteral("visit ") + QString::fromLatin1(WebMakerHost));
    // Blue, in the shade that reads on the panel's fill.
    QPalette linkPalette = FUi->Label4->palette();
    linkPalette.setColor(QPalette::WindowText, ReadableShade(Qt::blue, fill));
    FUi->Label4->setPalette(linkPalette);
    FUi->Label4->adjustSize();

    PopupMenuTaskbar = new QMenu(this);
    PopupMenuTaskbar->setObjectName(QStringLiteral("PopupMenuTaskbar"));
    PopupMenuTaskbar->addAction(FUi->Open1);
    PopupMenuTaskbar->addAction(FUi->N4);
    PopupMenuTaskbar->addAction(FUi->MenuItem1);

    TimerStartup = new QTimer(this);
    TimerStartup->setObjectName(QStringLiteral("TimerStartup"));
    TimerStartup->setInterval(100);
    TimerStartup->setSingleShot(true);
    connect(TimerStartup, &QTimer::timeout, this, [this] { TimerStartupTimer(TimerStartup); });

    // The same icon as the application's, made once for both.
    setWindowIcon(TarvolinIcon());
    // The notification area's (re)appearance arrives as this message.
    FTaskbarCreatedMsg = RegisterWindowMessage(TaskbarCreatedMessageName);

    const auto bindAction = [this](QAction* action, void (TFormMorvic::*handler)(QObject*)) {
        connect(action, &QAction::triggered, this, [this, action, handler] { (this->*handler)(action); });
    };
    bindAction(FUi->Quit2, &TFormMorvic::Quit2Click);
    bindAction(FUi->MenuItem1, &TFormMorvic::MenuItem1Click);
    bindAction(FUi->Open1, &TFormMorvic::Open1Click);
    bindAction(FUi->HideonTaskbarinsteadofClosing1, &TFormMorvic::HideonTaskbarinsteadofClosing1Click);
    bindAction(FUi->About1, &TFormMorvic::About1Click);
    bindAction(FUi->MenuItemAutoLoad, &TFormMorvic::MenuItemAutoLoadClick);
    bindAction(FUi->Help2, &TFormMorvic::Help2Click);

    MenuItemStayOnTop = FUi->Settings1->addAction(QString::fromLatin1(MorvicStayOnTopCaption));
    MenuItemStayOnTop->setObjectName(QStringLiteral("MenuItemStayOnTop"));
    MenuItemStayOnTop->setCheckable(true);
    if (!StayOnTopAvailable()) {
        MenuItemStayOnTop->setEnabled(false);
        MenuItemStayOnTop->setToolTip(QString::fromLatin1(MorvicStayOnTopUnavailable));
        FUi->Settings1->setToolTipsVisible(true);
    }
    bindAction(MenuItemStayOnTop, &TFormMorvic::MenuItemStayOnTopClick);
    FUi->Label4->installEventFilter(this);
    connect(FUi->Label4, &TLinkLabel::Activated, this, [this] { Label4Click(FUi->Label4); });

    // Fixed size: the client area of the layout plus the menu bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    const auto bindField = [this](QLineEdit* field) {
        connect(field, &QLineEdit::textChanged, this, [this, field] { InspectorChange(field); });
    };
    bindField(FUi->EditInspectBinary);
    bindField(FUi->EditInspectDecimal);
    bindField(FUi->EditInspectHex);
    bindField(FUi->EditInspectOctal);
    bindField(FUi->EditInspectAscii);
    connect(FUi->UpDownPadHex, &QSpinBox::textChanged, this,
        [this] { EditPadHexChange(FUi->UpDownPadHex); });

    const auto bindButton = [this](QPushButton* button, void (TFormMorvic::*handler)(QObject*)) {
        connect(button, &QPushButton::clicked, this, [this, button, handler] { (this->*handler)(button); });
    };
    bindButton(FUi->Button1, &TFormMorvic::Button1Click);
    bindButton(FUi->Button2, &TFormMorvic::Button2Click);
    bindButton(FUi->Button3, &TFormMorvic::Button3Click);
    bindButton(FUi->Button4, &TFormMorvic::Button4Click);
    bindButton(FUi->Button5, &TFormMorvic::Button5Click);
    bindButton(FUi->ButtonEndianFlip32, &TFormMorvic::ButtonEndianFlip32Click);
    bindButton(FUi->ButtonEndianFlip24, &TFormMorvic::ButtonEndianFlip24Click);
    bindButton(FUi->ButtonEndianFlip16, &TFormMorvic::ButtonEndianFlip16Click);
    bindButton(FUi->ButtonPickColor, &TFormMorvic::ButtonColorPick);

    FormCreate();
}

TFormMorvic::~TFormMorvic() = default;

void TFormMorvic::FormCreate()
{
    ParseCommandLine();
    LoadSettings();

    FTray = std::make_unique<THideOnTaskbar>(TrayHostFactory() ? TrayHostFactory()() : nullptr);
    FTray->FOwnerForm = this;
    FTray->FTipText = MorvicTrayTip;
    FTray->FPopupMenu = PopupMenuTaskbar;
    FTray->FCallbackMessage = WM_TRAYNOTIFY;
    // Not drawn before the first hide: read then, not now.
    FTray->FIcon = DeferredIcon(&TarvolinTrayIcon);
    FTray->FSettingsName = MorvicSettingsName;

    FUpdateDepth = 0;
    FValue = 0;
    InspectorChange(nullptr);

    // Hides the window right after start when asked to (first tick only).
    TimerStartup->start();
}

void TFormMorvic::SetColorDialog(TColorDialogFunc dialog)
{
    FColorDialog = dialog ? std::move(dialog) : TColorDialogFunc(&TFormMorvic::RunColorDialog);
}

int TFormMorvic::PadWidth() const
{
    return MorvicPadWidth(FUi->UpDownPadHex->value());
}

void TFormMorvic::SetSwatchColor(uint32_t colour)
{
    QPalette palette = FUi->PanelRGB->palette();
    const QColor swatch = TColorToQColor(TColor(colour));
    palette.setColor(QPalette::Window, swatch);
    FUi->PanelRGB->setPalette(palette);
    FUi->PanelRGB->setAccessibleDescription(QStringLiteral("%1, red %2, green %3, blue %4")
        .arg(swatch.name(QColor::HexRgb).toUpper()).arg(swatch.red()).arg(swatch.green()).arg(swatch.blue()));
}

void TFormMorvic::InspectorChange(QObject* Sender)
{
    const int pad = PadWidth();
    // Our own writes below raise change notifications that land here again.
    if (FUpdateDepth > 0)
        return;
    ++FUpdateDepth;

    // The five fields, in the order they are written.
    const std::pair<QLineEdit*, TMorvicField> fields[] = {
        {FUi->EditInspectDecimal, TMorvicField::Decimal},
        {FUi->EditInspectHex, TMorvicField::Hex},
        {FUi->EditInspectBinary, TMorvicField::Binary},
        {FUi->EditInspectOctal, TMorvicField::Octal},
        {FUi->EditInspectAscii, TMorvicField::Ascii},
    };
    for (const auto& [field, kind] : fields) {
        if (Sender == field)
            FValue = MorvicFieldValue(kind, field->text());
    }
    // The field being typed into keeps its text exactly as typed.
    for (const auto& [field, kind] : fields) {
        if (Sender != field)
            SetFieldBytes(field, MorvicFieldText(kind, FValue, pad).c_str());
    }

    SetSwatchColor(MorvicSwatchColour(FValue));
    --FUpdateDepth;
}

void TFormMorvic::EditPadHexChange(QObject*)
{
    InspectorChange(nullptr);
}

void TFormMorvic::CopyField(const QLineEdit* field)
{
    // The text as the field shows it, whatever script it is in.
    QGuiApplication::clipboard()->setText(field->text());
}

void TFormMorvic::Button1Click(QObject*) { CopyField(FUi->EditInspectBinary); }
void TFormMorvic::Button2Click(QObject*) { CopyField(FUi->EditInspectDecimal); }
void TFormMorvic::Button3Click(QObject*) { CopyField(FUi->EditInspectHex); }
void TFormMorvic::Button4Click(QObject*) { CopyField(FUi->EditInspectOctal); }
void TFormMorvic::Button5Click(QObject*) { CopyField(FUi->EditInspectAscii); }

void TFormMorvic::ButtonEndianFlip32Click(QObject*)
{
    FValue = EndianFlip32(FValue);
    InspectorChange(nullptr);
}

void TFormMorvic::ButtonEndianFlip24Click(QObject*)
{
    FValue = EndianFlip24(FValue);
    InspectorChange(nullptr);
}

void TFormMorvic::ButtonEndianFlip16Click(QObject*)
{
    FValue = EndianFlip16(FValue);
    InspectorChange(nullptr);
}

void TFormMorvic::ButtonColorPick(QObject*)
{
    const uint32_t current = EndianFlip24(FValue);
    char entry[32];
    std::snprintf(entry, sizeof entry, "ColorA=%06X", unsigned(current));
    uint32_t chosen = 0;
    if (!FColorDialog(this, current, QStringList{QString::fromLatin1(entry)}, chosen))
        return;
    // Red lands in byte 2, green in byte 1, blue in byte 0; byte 3 is 0.
    FValue = EndianFlip24(chosen & 0x00FFFFFFu);
    InspectorChange(FUi->PanelRGB);
}

bool TFormMorvic::RunColorDialog(QWidget* owner, uint32_t initial, const QStringList& customColors,
    uint32_t& chosen)
{
    // Entries "ColorA=..." to "ColorP=..." fill the sixteen custom colour boxes.
    for (const QString& entry : customColors) {
        const QByteArray bytes = entry.toLatin1();
        if (bytes.size() < 8 || !bytes.startsWith("Color") || bytes[6] != '=')
            continue;
        const int index = bytes[5] - 'A';
        if (index < 0 || index >= QColorDialog::customCount())
            continue;
        QColorDialog::setCustomColor(index, TColorToQColor(TColor(HexTextToValue(bytes.constData() + 7))));
    }
    QColorDialog dialog(TColorToQColor(TColor(initial)), owner);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    // Over the window, as near its centre as the screen allows.
    PlaceDialogOver(owner, &dialog);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    chosen = uint32_t(QColorToTColor(dialog.selectedColor()));
    return true;
}

// ---- Start-up, settings and lifecycle --------------------------------------

void TFormMorvic::SetModalRunner(TModalRunner runner)
{
    FModalRunner = runner ? std::move(runner) : TModalRunner(&RunModal);
}

void TFormMorvic::ParseCommandLine()
{
    // Every argument after the program name; anything unknown is ignored.
    for (int i = 1; i < FArguments.size(); ++i) {
        if (FArguments.at(i).compare(QLatin1String(MorvicAutoMinimizeSwitch), Qt::CaseInsensitive) == 0)
            FAutoMinimize = 1;
    }
}

void TFormMorvic::LoadSettings()
{
    // The screen the window opens on; without one (no display at all) the
    // defaults put the window at the origin.
    QSize screenSize;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        screenSize = screen->geometry().size();

    TParamStore store;
    ParamOpen(MorvicSettingsName, MorvicSettingsName, store, 1);
    // Read in this order, so a first start seeds the values in this order.
    const int top = ParamReadInt(store, MorvicSettingTop, screenSize.height() / 2);
    const int left = ParamReadInt(store, MorvicSettingLeft, screenSize.width() / 2);
    move(left, top);
    // Moved only as far as it takes to be wholly on a screen: a position
    // stored on a monitor since unplugged, say, or the default on a small
    // screen at a large scale.
    KeepFormOnScreen(this);
    FHideOnTaskbar = ParamReadInt(store, MorvicSettingHideOnTaskbar, FHideOnTaskbar);
    FAutoLoad = ParamReadInt(store, MorvicSettingAutoLoad, FAutoLoad);
    // The spinner keeps the low 16 bits, read back with their sign, and
    // brings that into its own range.
    FUi->UpDownPadHex->setValue(int(int16_t(ParamReadInt(store, MorvicSettingPadHex, 0))));
    // Read only from settings that exist: a first start seeds just the
    // values above.
    if (store.Disposition == ParamOpenedExistingKey)
        FStayOnTop = ParamReadInt(store, MorvicSettingStayOnTop, 0) != 0 ? 1 : 0;
    ParamClose(store);
    if (FStayOnTop && StayOnTopAvailable())
        SetStayOnTop(this, true);

    UpdateMenuChecks();
}

void TFormMorvic::SaveSettings()
{
    TParamStore store;
    ParamOpen(MorvicSettingsName, MorvicSettingsName, store, 1);
    // Position and size only of a window in its normal state. Where the
    // window system keeps the position to itself (Wayland), the stored one
    // stays for the next start on a desktop that has one.
    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
        const QRect frame = frameGeometry();
        if (WindowSystemTraits().ReportsPosition) {
            ParamWriteInt(store, MorvicSettingTop, frame.top());
            ParamWriteInt(store, MorvicSettingLeft, frame.left());
        }
        ParamWriteInt(store, MorvicSettingWidth, frame.width());
        ParamWriteInt(store, MorvicSettingHeight, frame.height());
    }
    ParamWriteInt(store, MorvicSettingHideOnTaskbar, FHideOnTaskbar);
    ParamWriteInt(store, MorvicSettingAutoLoad, FAutoLoad);
    ParamWriteInt(store, MorvicSettingPadHex, int32_t(int16_t(FUi->UpDownPadHex->value())));
    ParamWriteInt(store, MorvicSettingStayOnTop, FStayOnTop);
    ParamClose(store);
}

void TFormMorvic::UpdateMenuChecks()
{
    FUi->HideonTaskbarinsteadofClosing1->setChecked(FHideOnTaskbar != 0);
    FUi->MenuItemAutoLoad->setChecked(FAutoLoad != 0);
    if (MenuItemStayOnTop)
        MenuItemStayOnTop->setChecked(FStayOnTop != 0);
}

void TFormMorvic::FormClose(QObject*, bool& CloseAllowed)
{
    SaveSettings();
    // A close that nothing could undo (no notification area, and a window
    // system that may ignore minimising) ends the program rather than
    // leaving it unreachable.
    if (FQuitRequested == 0 && FHideOnTaskbar != 0 && (!FTray || FTray->CanHide())) {
        if (FTray)
            FTray->HideToTray();
        CloseAllowed = false;
    }
}

void TFormMorvic::closeEvent(QCloseEvent* event)
{
    bool allowed = true;
    FormClose(this, allowed);
    if (!allowed) {
        event->ignore();
        return;
    }
    event->accept();
    emit Ended();
}

void TFormMorvic::TimerStartupTimer(QObject*)
{
    TimerStartup->stop();
    if (FAutoMinimize && FTray)
        FTray->HideToTray();
}

void TFormMorvic::Quit2Click(QObject*)
{
    FQuitRequested = 1;
    close();
}

void TFormMorvic::MenuItem1Click(QObject* Sender)
{
    Quit2Click(Sender);
}

void TFormMorvic::Open1Click(QObject*)
{
    if (FTray)
        FTray->RequestRestore();
}

void TFormMorvic::HideonTaskbarinsteadofClosing1Click(QObject*)
{
    FHideOnTaskbar = FHideOnTaskbar ? 0 : 1;
    UpdateMenuChecks();
}

void TFormMorvic::About1Click(QObject*)
{
    TFormAboutBase about(this);
    FModalRunner(about);
}

void TFormMorvic::MenuItemAutoLoadClick(QObject*)
{
    FAutoLoad = FAutoLoad ? 0 : 1;
    UpdateMenuChecks();
    // The "autoload" setting itself is written at the next close.
    SetAutoLoad(FAutoLoad, MorvicSettingsName);
}

void TFormMorvic::Help2Click(QObject*)
{
    ViewDocumentation(MorvicManualName, StartupDirectory.isNull() ? nullptr : StartupDirectory.constData(), 0);
}

void TFormMorvic::Label4Click(QObject*)
{
    ShellOpenAddress(WebMakerSite);
}

void TFormMorvic::MenuItemStayOnTopClick(QObject*)
{
    FStayOnTop = FStayOnTop ? 0 : 1;
    UpdateMenuChecks();
    // Stored at the next close, like the other Settings items.
    SetStayOnTop(this, FStayOnTop != 0);
}

qintptr TFormMorvic::TrayMessage(TTrayMessage& Message)
{
    if (FTray)
        FTray->HandleTrayMessage(Message);
    return Message.Result;
}

qintptr TFormMorvic::TaskbarCreated()
{
    if (FTray)
        FTray->ReAddIcon();
    return 1;
}

bool TFormMorvic::event(QEvent* event)
{
    if (FTaskbarCreatedMsg != QEvent::None && event->type() == FTaskbarCreatedMsg) {
        TaskbarCreated();
        event->accept();
        return true;
    }
    if (event->type() == TTrayNotifyEvent::EventType()) {
        auto* notify = static_cast<TTrayNotifyEvent*>(event);
        if (notify->Message.Msg == WM_TRAYNOTIFY) {
            notify->Message.Result = TrayMessage(notify->Message);
            event->accept();
            return true;
        }
    }
    return QMainWindow::event(event);
}

bool TFormMorvic::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FUi->Label4 && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton
        && FUi->Label4->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        emit FUi->Label4->Activated();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
