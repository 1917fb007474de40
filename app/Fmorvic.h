#pragma once
// The converter window: one 32-bit value shown as binary, decimal,
// hexadecimal, octal and ASCII text and as a colour swatch. Typing into a
// field reads the value from it and rewrites the four other fields and the
// swatch.
#include <QMainWindow>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class QLineEdit;
class QMenu;
class QTimer;

namespace Ui {
class TFormMorvic;
}

// The address the web link label opens and the text it shows.
extern const char* const MakerWebAddress;
extern const char* const MakerWebLinkText;

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

    explicit TFormMorvic(QWidget* parent = nullptr);
    ~TFormMorvic() override;

    uint32_t Value() const { return FValue; }

    // Replaces the colour chooser (tests answer it without a modal loop).
    void SetColorDialog(TColorDialogFunc dialog);
    // The system colour chooser: a non-native QColorDialog.
    static bool RunColorDialog(QWidget* owner, uint32_t initial, const QStringList& customColors,
        uint32_t& chosen);

    // Synchronises the fields from Sender (one of the five value fields);
    // with no sender, or any other sender, the value is kept and all five
    // fields are rewritten.
    void InspectorChange(QObject* Sender);
    void EditPadHexChange(QObject* Sender);
    void Button1Click(QObject* Sender);
    void Button2Click(QObject* Sender);
    void Button3Click(QObject* Sender);
    void Button4Click(QObject* Sender);
    void Button5Click(QObject* Sender);
    void ButtonEndianFlip32Click(QObject* Sender);
    void ButtonEndianFlip24Click(QObject* Sender);
    void ButtonEndianFlip16Click(QObject* Sender);
    void ButtonColorPick(QObject* Sender);

protected:
    void FormCreate();

    std::unique_ptr<Ui::TFormMorvic> FUi;
    QMenu* PopupMenuTaskbar = nullptr; // the tray icon's menu: Open1, N4, MenuItem1
    QTimer* TimerStartup = nullptr;    // 100 ms, not started here

    int32_t FUpdateDepth = 0;
    uint32_t FValue = 0;

private:
    int PadWidth() const;
    void SetSwatchColor(uint32_t colour);
    static void CopyField(const QLineEdit* field);

    TColorDialogFunc FColorDialog;
};
