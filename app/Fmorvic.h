#pragma once
// The converter window: one 32-bit value shown as binary, decimal,
// hexadecimal, octal and ASCII text and as a colour swatch. Typing into a
// field reads the value from it and rewrites the four other fields and the
// swatch.
#include <QByteArray>
#include <QEvent>
#include <QMainWindow>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QCloseEvent;
class QDialog;
class QLineEdit;
class QMenu;
class QTimer;
class THideOnTaskbar;
class TTrayIconHost;
struct TTrayMessage;

namespace Ui {
class TFormMorvic;
}

// The working directory when the program started (local 8-bit encoding),
// where the Users Manual item looks for the manual first; null when it could
// not be read.
extern QByteArray StartupDirectory;

// The window's settings: the parameter store application (both the profile
// name and the application name) and its value names.
inline constexpr const char* MorvicSettingsName = "KVMorvic";
inline constexpr const char* MorvicSettingTop = "top";
inline constexpr const char* MorvicSettingLeft = "left";
inline constexpr const char* MorvicSettingWidth = "width";
inline constexpr const char* MorvicSettingHeight = "height";
inline constexpr const char* MorvicSettingHideOnTaskbar = "hideontaskbar";
inline constexpr const char* MorvicSettingAutoLoad = "autoload";
inline constexpr const char* MorvicSettingPadHex = "padhex";
// Beside the window's own values: keep the window above other windows.
inline constexpr const char* MorvicSettingStayOnTop = "stayontop";

// The Settings menu item that keeps the window above others, and why it is
// disabled where the window system offers no such request.
inline constexpr const char* MorvicStayOnTopCaption = "Stay on &Top";
inline constexpr const char* MorvicStayOnTopUnavailable =
    "Wayland compositors do not let a program keep its window above others";

// The switch that hides the window to the notification area right after
// start; matched in any case, anywhere among the arguments.
inline constexpr const char* MorvicAutoMinimizeSwitch = "-autominimize";

// The tray icon's tooltip, and the message number its mouse events come as.
inline constexpr const char* MorvicTrayTip = "Tarvolin";
constexpr quint32 WM_TRAYNOTIFY = 0x0400 + 101; // 1125

// The manual's base name for the Users Manual item.
inline constexpr const char* MorvicManualName = "morvic";

// Reads the decimal field. Accepted, after leading spaces (code 32 only): an
// unsigned number 0..4294967295 or a negative one -2147483648..-1 (two's
// complement), each with an optional sign and nothing after the digits; or a
// hexadecimal number after "$", "x", "X", "0x" or "0X" that fits in 32 bits.
// Anything else, empty text included, reads as 0.
uint32_t DecimalFieldTextToValue(const char* text);

class TFormMorvic : public QMainWindow
{
    Q_OBJECT

public:
    // The colour chooser the Pick button runs: `initial` and `chosen` are
    // colours 0x00BBGGRR, `customColors` entries of the form "ColorA=RRGGBB"
    // (in 0x00BBGGRR digit order). Returns true when the user confirmed.
    using TColorDialogFunc = std::function<bool(QWidget* owner, uint32_t initial,
        const QStringList& customColors, uint32_t& chosen)>;

    // The notification area the tray object uses; tests put in a double.
    using TTrayHostFactory = std::function<std::unique_ptr<TTrayIconHost>()>;
    // Runs the About box modally (tests answer it without a modal loop).
    using TModalRunner = std::function<int(QDialog& dialog)>;

    // Reads its switches from the application's command line.
    explicit TFormMorvic(QWidget* parent = nullptr);
    // Reads its switches from arguments (the program name first).
    explicit TFormMorvic(const QStringList& arguments, QWidget* parent = nullptr);
    ~TFormMorvic() override;

    // Used by every window created afterwards; an empty factory restores the
    // system's notification area.
    static void SetTrayHostFactory(TTrayHostFactory factory);
    void SetModalRunner(TModalRunner runner);

    THideOnTaskbar* Tray() const { return FTray.get(); }
    bool AutoMinimize() const { return FAutoMinimize != 0; }
    QEvent::Type TaskbarCreatedMessage() const { return FTaskbarCreatedMsg; }

    uint32_t Value() const { return FValue; }
    bool HideOnTaskbar() const { return FHideOnTaskbar != 0; }
    bool StayOnTop() const { return FStayOnTop != 0; }

    // Replaces the colour chooser (tests answer it without a modal loop).
    void SetColorDialog(TColorDialogFunc dialog);
    // The system colour chooser: a non-native QColorDialog.
    static bool RunColorDialog(QWidget* owner, uint32_t initial, const QStringList& customColors,
        uint32_t& chosen);

    // Synchronises the fields from Sender (one of the five value fields);
    // with no sender, or any other sender, the value is kept and all five
    // fields are rewritten. The sender keeps its text as typed. The ASCII
    // field shifts in one byte per character, the last four bytes counting:
    // a Latin-1 character gives its code, any other character its UTF-8
    // bytes (so "\u041F" reads as 0xD09F, "A\u20AC" as 0x41E282AC).
    void InspectorChange(QObject* Sender);
    void EditPadHexChange(QObject* Sender);
    // The Copy buttons put their field's text on the clipboard exactly as
    // the field shows it.
    void Button1Click(QObject* Sender);
    void Button2Click(QObject* Sender);
    void Button3Click(QObject* Sender);
    void Button4Click(QObject* Sender);
    void Button5Click(QObject* Sender);
    void ButtonEndianFlip32Click(QObject* Sender);
    void ButtonEndianFlip24Click(QObject* Sender);
    void ButtonEndianFlip16Click(QObject* Sender);
    void ButtonColorPick(QObject* Sender);

    // Lifecycle and menus.
    void TimerStartupTimer(QObject* Sender);
    void Quit2Click(QObject* Sender);
    void MenuItem1Click(QObject* Sender);
    void Open1Click(QObject* Sender);
    void HideonTaskbarinsteadofClosing1Click(QObject* Sender);
    void About1Click(QObject* Sender);
    void MenuItemAutoLoadClick(QObject* Sender);
    void Help2Click(QObject* Sender);
    void Label4Click(QObject* Sender);
    void MenuItemStayOnTopClick(QObject* Sender);
    void UpdateMenuChecks();
    // Also when the session ends (the session manager, SIGTERM).
    void SaveSettings();
    // The icon's mouse events, and the notification area's (re)appearance.
    // Both return the message's result.
    qintptr TrayMessage(TTrayMessage& Message);
    qintptr TaskbarCreated();

signals:
    // A close went through: the program ends.
    void Ended();

protected:
    void FormCreate();
    void ParseCommandLine();
    void LoadSettings();
    // Every close request: saves the settings, then either lets the close go
    // on (CloseAllowed stays true) or turns it into a hide to the tray.
    void FormClose(QObject* Sender, bool& CloseAllowed);

    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::unique_ptr<Ui::TFormMorvic> FUi;
    QMenu* PopupMenuTaskbar = nullptr; // the tray icon's menu: Open1, N4, MenuItem1
    QTimer* TimerStartup = nullptr;    // 100 ms, not started here
    QAction* MenuItemStayOnTop = nullptr; // Settings › Stay on Top

    QEvent::Type FTaskbarCreatedMsg = QEvent::None;
    int32_t FUpdateDepth = 0;
    int32_t FHideOnTaskbar = 1;
    int32_t FQuitRequested = 0;
    int32_t FAutoLoad = 0;
    int32_t FAutoMinimize = 0;
    int32_t FStayOnTop = 0;
    uint32_t FValue = 0;
    std::unique_ptr<THideOnTaskbar> FTray;

private:
    int PadWidth() const;
    void SetSwatchColor(uint32_t colour);
    static void CopyField(const QLineEdit* field);

    TColorDialogFunc FColorDialog;
    TModalRunner FModalRunner;
    QStringList FArguments;
};
