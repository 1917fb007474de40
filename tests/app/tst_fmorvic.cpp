// The converter window driven through its real widgets: keystrokes into the
// fields, clicks on the buttons, the swatch read back as pixels.
#include "Fmorvic.h"
#include "Formfont.h"
#include "Linklabel.h"
#include "Testenv.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QtTest>

namespace {

QString L1(const char* text)
{
    return QString::fromLatin1(text);
}

} // namespace

class TTestFormMorvic : public QObject
{
    Q_OBJECT

private:
    TTestConfigHome FConfigHome;
    std::unique_ptr<TFormMorvic> FForm;

    QLineEdit* Field(const char* name) const { return FForm->findChild<QLineEdit*>(name); }
    QPushButton* Button(const char* name) const { return FForm->findChild<QPushButton*>(name); }
    QSpinBox* Spinner() const { return FForm->findChild<QSpinBox*>("UpDownPadHex"); }

    // Replaces a field's text the way a user does: select all, type.
    void Type(QLineEdit* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        TypeKeys(field, text);
    }

    // QTest::keyClicks takes ASCII only; Latin-1 letters come as key events
    // that carry their text, as a keyboard layout delivers them.
    static void TypeKeys(QWidget* widget, const QString& text)
    {
        for (const QChar ch : text) {
            if (ch.unicode() < 128)
                QTest::keyClick(widget, char(ch.unicode()));
            else
                QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        }
    }

    void SetPad(int pad)
    {
        QLineEdit* edit = Field("EditPadHex");
        Type(edit, QString::number(pad));
        QCOMPARE(Spinner()->value(), pad);
    }

    QColor SwatchPixel(int x, int y) const
    {
        QWidget* panel = FForm->findChild<QWidget*>("PanelRGB");
        return panel->grab().toImage().pixelColor(x, y);
    }

private slots:
    void init()
    {
        FForm = std::make_unique<TFormMorvic>();
        FForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(FForm.get()));
    }

    void cleanup()
    {
        FForm.reset();
    }

    // The window's font puts the installed family first; the face is the one
    // the forms' font gives.
    void FormFontIsTheFaceOfItsFamilyList()
    {
        const QFontInfo wanted(FormFont());
        const QFontInfo used(FForm->findChild<QLabel*>("Label6")->font());
        QCOMPARE(used.family(), wanted.family());
        QCOMPARE(used.styleName(), wanted.styleName());
        QCOMPARE(used.pixelSize(), FormFontPixelHeight);
    }

    void StartsAtZero()
    {
        QCOMPARE(FForm->Value(), 0u);
        QCOMPARE(Field("EditInspectDecimal")->text(), L1("0"));
        QCOMPARE(Field("EditInspectHex")->text(), L1("0"));
        QCOMPARE(Field("EditInspectBinary")->text(), L1("00000000"));
        QCOMPARE(Field("EditInspectOctal")->text(), L1("0"));
        QCOMPARE(Field("EditInspectAscii")->text(), QString());
        QCOMPARE(Field("EditPadHex")->text(), L1("0"));
        QCOMPARE(SwatchPixel(0, 0), QColor(Qt::black));
        QCOMPARE(FForm->windowTitle(), L1("Tarvolin"));

        // Fixed size: the client area below the menu bar is 275 x 238.
        QCOMPARE(FForm->centralWidget()->size(), QSize(275, 238));
        QCOMPARE(FForm->minimumSize(), FForm->maximumSize());
    }

    void ControlsCarryTheirNames()
    {
        const char* const names[] = {"GlimraPanel1", "Label1", "Label2", "Label3", "Label4", "Label5",
            "Label6", "Label7", "Label8", "Label9", "EditInspectBinary", "EditInspectDecimal",
            "EditInspectHex", "EditInspectOctal", "EditInspectAscii", "PanelRGB", "ButtonPickColor",
            "Button1", "Button2", "Button3", "Button4", "Button5", "EditPadHex", "UpDownPadHex",
            "ButtonEndianFlip32", "ButtonEndianFlip24", "ButtonEndianFlip16", "MainMenu1",
            "PopupMenuTaskbar", "TimerStartup", "Quit1", "Settings1", "Help1"};
        QWidget* panel = FForm->findChild<QWidget*>("GlimraPanel1");
        for (const char* name : names) {
            QObject* object = FForm->findChild<QObject*>(name);
            QVERIFY2(object, name);
            // Every value control sits on the background panel.
            if (QByteArray(name).startsWith("Edit") || QByteArray(name).startsWith("Button")
                || QByteArray(name).startsWith("Label"))
                QVERIFY2(panel->isAncestorOf(static_cast<QWidget*>(object)), name);
        }
        const char* const actions[] = {"Quit2", "HideonTaskbarinsteadofClosing1", "MenuItemAutoLoad",
            "Help2", "N1", "About1", "Open1", "N4", "MenuItem1"};
        for (const char* name : actions)
            QVERIFY2(FForm->findChild<QAction*>(name), name);
        QVERIFY(FForm->findChild<QAction*>("N1")->isSeparator());
    }

    void TabOrder()
    {
        const QStringList expected = {"EditInspectBinary", "EditInspectDecimal", "EditInspectHex",
            "EditInspectOctal", "ButtonPickColor", "EditInspectAscii", "Button1", "Button2", "Button3",
            "Button4", "Button5", "UpDownPadHex", "ButtonEndianFlip32", "ButtonEndianFlip24",
            "ButtonEndianFlip16", "Label4"};
        QStringList chain;
        QWidget* start = Field("EditInspectBinary");
        QWidget* w = start;
        do {
            if (expected.contains(w->objectName()))
                chain << w->objectName();
            w = w->nextInFocusChain();
        } while (w != start && chain.size() < expected.size());
        QCOMPARE(chain, expected);
    }

    void CaptionsFitTheirControls()
    {
        // Whatever fallback family the machine has, no caption may be cut off.
        // A mnemonic's "&" is not drawn.
        const auto shown = [](QString text) { return text.remove(QLatin1Char('&')); };
        QList<QPair<QWidget*, QString>> labels;
        for (QLabel* label : FForm->findChildren<QLabel*>())
            labels.append({label, label->text()});
        for (TLinkLabel* link : FForm->findChildren<TLinkLabel*>())
            labels.append({link, link->text()});
        for (const auto& [label, text] : labels) {
            const QFontMetrics fm(label->font());
            QVERIFY2(fm.horizontalAdvance(shown(text)) <= label->contentsRect().width(), qPrintable(label->objectName()));
            QVERIFY2(fm.ascent() + 1 <= label->height(), qPrintable(label->objectName()));
        }
        for (QPushButton* button : FForm->findChildren<QPushButton*>()) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = shown(button->text());
            const QRect contents = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            // Two pixels clear on each side, or the caption crowds the bevel.
            QVERIFY2(button->fontMetrics().horizontalAdvance(shown(button->text())) + 4 <= contents.width(),
                qPrintable(button->objectName()));
        }
    }

    void TypingRewritesOtherFields_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("pad");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected"); // decimal, hex, binary, octal, ascii
        QTest::addColumn<QColor>("swatch");

        const QString Y = QString(QChar(0xFF));
        QTest::newRow("hex ff pad 4") << "EditInspectHex" << 4 << "ff"
            << QStringList{"255", "ff", "11111111", "377", Y} << QColor(0, 0, 255);
        QTest::newRow("hex four letters") << "EditInspectHex" << 0 << "41424344"
            << QStringList{"1094861636", "41424344", "01000001010000100100001101000100", "10120441504",
                   "ABCD"}
            << QColor(0x42, 0x43, 0x44);
        QTest::newRow("hex low zero byte is dot") << "EditInspectHex" << 0 << "4100"
            << QStringList{"16640", "4100", "0100000100000000", "40400", "A."} << QColor(0, 0x41, 0);
        QTest::newRow("hex top bit shows ascii") << "EditInspectHex" << 0 << "80414243"
            << QStringList{"2151760451", "80414243", "10000000010000010100001001000011",
                   "20020241103", QString(QChar(0x80)) + "ABC"}
            << QColor(0x41, 0x42, 0x43);
        QTest::newRow("hex with stray chars") << "EditInspectHex" << 2 << "0x1g"
            << QStringList{"1", "0x1g", "00000001", "1", "\x01"} << QColor(0, 0, 1);
        QTest::newRow("ascii A") << "EditInspectAscii" << 0 << "A"
            << QStringList{"65", "41", "01000001", "101", "A"} << QColor(0, 0, 65);
        QTest::newRow("ascii latin1") << "EditInspectAscii" << 0 << QString(QChar(0xE9))
            << QStringList{"233", "E9", "11101001", "351", QString(QChar(0xE9))} << QColor(0, 0, 0xE9);
        // Beyond Latin-1 a character gives its UTF-8 bytes; the field keeps it.
        QTest::newRow("ascii Cyrillic") << "EditInspectAscii" << 0 << QString(QChar(0x41F))
            << QStringList{"53407", "D09F", "1101000010011111", "150237", QString(QChar(0x41F))}
            << QColor(0, 0xD0, 0x9F);
        const QString pr = QString(QChar(0x41F)) + QChar(0x440);
        QTest::newRow("ascii two Cyrillic fill four bytes") << "EditInspectAscii" << 0 << pr
            << QStringList{"3500134784", "D09FD180", "11010000100111111101000110000000", "32047750600", pr}
            << QColor(0x9F, 0xD1, 0x80);
        QTest::newRow("ascii five keys keep four") << "EditInspectAscii" << 0 << "ABCDE"
            << QStringList{"1094861636", "41424344", "01000001010000100100001101000100", "10120441504",
                   "ABCD"}
            << QColor(0x42, 0x43, 0x44);
        QTest::newRow("decimal -1") << "EditInspectDecimal" << 0 << "-1"
            << QStringList{"-1", "FFFFFFFF", QString(32, '1'), "37777777777", Y + Y + Y + Y}
            << QColor(255, 255, 255);
        QTest::newRow("decimal max unsigned") << "EditInspectDecimal" << 0 << "4294967295"
            << QStringList{"4294967295", "FFFFFFFF", QString(32, '1'), "37777777777", Y + Y + Y + Y}
            << QColor(255, 255, 255);
        QTest::newRow("decimal out of range") << "EditInspectDecimal" << 3 << "4294967296"
            << QStringList{"4294967296", "000", "00000000", "0", ""} << QColor(0, 0, 0);
        QTest::newRow("decimal hex prefix") << "EditInspectDecimal" << 0 << "0x10"
            << QStringList{"0x10", "10", "00010000", "20", "\x10"} << QColor(0, 0, 16);
        QTest::newRow("decimal trailing space") << "EditInspectDecimal" << 0 << "10 "
            << QStringList{"10 ", "0", "00000000", "0", ""} << QColor(0, 0, 0);
        QTest::newRow("binary with space") << "EditInspectBinary" << 0 << "1010 1010"
            << QStringList{"170", "AA", "1010 1010", "252", QString(QChar(0xAA))} << QColor(0, 0, 0xAA);
        QTest::newRow("octal skips 8") << "EditInspectOctal" << 0 << "1800"
            << QStringList{"64", "40", "01000000", "1800", "@"} << QColor(0, 0, 64);
    }

    void TypingRewritesOtherFields()
    {
        QFETCH(QString, field);
        QFETCH(int, pad);
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        QFETCH(QColor, swatch);

        SetPad(pad);
        Type(Field(field.toLatin1().constData()), typed);

        QCOMPARE(Field("EditInspectDecimal")->text(), expected[0]);
        QCOMPARE(Field("EditInspectHex")->text(), expected[1]);
        QCOMPARE(Field("EditInspectBinary")->text(), expected[2]);
        QCOMPARE(Field("EditInspectOctal")->text(), expected[3]);
        QCOMPARE(Field("EditInspectAscii")->text(), expected[4]);
        // The swatch is painted over its whole area.
        QWidget* panel = FForm->findChild<QWidget*>("PanelRGB");
        QCOMPARE(SwatchPixel(0, 0), swatch);
        QCOMPARE(SwatchPixel(panel->width() - 1, panel->height() - 1), swatch);
    }

    void DecimalFieldReading_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<uint>("value");
        QTest::newRow("empty") << QByteArray() << 0u;
        QTest::newRow("leading spaces") << QByteArray("  42") << 42u;
        QTest::newRow("leading tab") << QByteArray("\t42") << 0u;
        QTest::newRow("sign alone") << QByteArray("-") << 0u;
        QTest::newRow("minus zero") << QByteArray("-0") << 0u;
        QTest::newRow("int min") << QByteArray("-2147483648") << 0x80000000u;
        QTest::newRow("below int min") << QByteArray("-2147483649") << 0u;
        QTest::newRow("uint max") << QByteArray("4294967295") << 0xFFFFFFFFu;
        QTest::newRow("uint max + 1") << QByteArray("4294967296") << 0u;
        QTest::newRow("long run") << QByteArray("99999999999999999999") << 0u;
        QTest::newRow("leading zeros") << QByteArray("0000000000042") << 42u;
        QTest::newRow("trailing letter") << QByteArray("12abc") << 0u;
        QTest::newRow("dollar") << QByteArray("$FF") << 0xFFu;
        QTest::newRow("x lower") << QByteArray("xff") << 0xFFu;
        QTest::newRow("0X") << QByteArray("0X1f") << 0x1Fu;
        QTest::newRow("spaces then 0x") << QByteArray("  0x10") << 16u;
        QTest::newRow("prefix alone") << QByteArray("0x") << 0u;
        QTest::newRow("signed hex") << QByteArray("-$1") << 0u;
        QTest::newRow("hex bad digit") << QByteArray("$fg") << 0u;
        QTest::newRow("hex over 32 bits") << QByteArray("x1FFFFFFFF") << 0u;
        QTest::newRow("hex leading zeros") << QByteArray("0x00000000FFFFFFFF") << 0xFFFFFFFFu;
        QTest::newRow("high byte") << QByteArray("1\xB2") << 0u;
    }

    void DecimalFieldReading()
    {
        QFETCH(QByteArray, text);
        QFETCH(uint, value);
        QCOMPARE(DecimalFieldTextToValue(text.constData()), value);
    }

    void DotReadsBackAsFullStop()
    {
        Type(Field("EditInspectHex"), L1("4100"));
        QCOMPARE(Field("EditInspectAscii")->text(), L1("A."));
        // Editing the ASCII field reads the dot as a full stop, not a zero byte.
        QLineEdit* ascii = Field("EditInspectAscii");
        ascii->setFocus();
        ascii->end(false);
        QTest::keyClick(ascii, Qt::Key_Backspace);
        TypeKeys(ascii, L1("."));
        QCOMPARE(FForm->Value(), 0x412Eu);
        QCOMPARE(Field("EditInspectHex")->text(), L1("412E"));
    }

    void PadWidthClamped_data()
    {
        QTest::addColumn<int>("pad");
        QTest::addColumn<QString>("hex");
        QTest::newRow("0") << 0 << "1";
        QTest::newRow("4") << 4 << "0001";
        QTest::newRow("16") << 16 << "0000000000000001";
        QTest::newRow("20 counts as 16") << 20 << "0000000000000001";
        QTest::newRow("100 counts as 16") << 100 << "0000000000000001";
    }

    void PadWidthClamped()
    {
        QFETCH(int, pad);
        QFETCH(QString, hex);
        Type(Field("EditInspectDecimal"), L1("1"));
        SetPad(pad);
        QCOMPARE(Field("EditInspectHex")->text(), hex);
        QCOMPARE(Field("EditInspectDecimal")->text(), L1("1"));
    }

    void PadChangeRewritesTypedField()
    {
        Type(Field("EditInspectHex"), L1("ff"));
        QCOMPARE(Field("EditInspectHex")->text(), L1("ff"));
        SetPad(4);
        QCOMPARE(Field("EditInspectHex")->text(), L1("00FF"));
        // The spinner's arrow moves the pad as well.
        QTest::keyClick(Spinner(), Qt::Key_Up);
        QCOMPARE(Field("EditInspectHex")->text(), L1("000FF"));
    }

    void ByteOrderButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("flipped");
        QTest::newRow("32") << "ButtonEndianFlip32" << "44332211";
        QTest::newRow("24") << "ButtonEndianFlip24" << "11443322";
        QTest::newRow("16") << "ButtonEndianFlip16" << "11224433";
    }

    void ByteOrderButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, flipped);
        // The flip works on the value, not the typed text, and rewrites all fields.
        Type(Field("EditInspectHex"), L1("0x11223344"));
        QPushButton* b = Button(button.toLatin1().constData());
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(Field("EditInspectHex")->text(), flipped);
        QCOMPARE(Field("EditInspectDecimal")->text(), QString::number(flipped.toUInt(nullptr, 16)));
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(Field("EditInspectHex")->text(), L1("11223344"));
        QCOMPARE(FForm->Value(), 0x11223344u);
    }

    void CopyButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("clipboard");
        QTest::newRow("binary") << "Button1" << "EditInspectDecimal" << "5" << "00000101";
        QTest::newRow("decimal as typed") << "Button2" << "EditInspectDecimal" << " $ff" << " $ff";
        QTest::newRow("hex as typed") << "Button3" << "EditInspectHex" << "0xff" << "0xff";
        QTest::newRow("octal") << "Button4" << "EditInspectHex" << "ff" << "377";
        QTest::newRow("ascii latin1") << "Button5" << "EditInspectHex" << "ff" << QString(QChar(0xFF));
        QTest::newRow("empty field") << "Button5" << "EditInspectHex" << "0" << "";
        const QString word = QString::fromUtf8("\u041f\u0430\u0440\u043e\u043b\u044c");
        QTest::newRow("decimal Cyrillic as shown") << "Button2" << "EditInspectDecimal" << word << word;
        QTest::newRow("ascii Cyrillic as shown") << "Button5" << "EditInspectAscii" << word.left(2) << word.left(2);
    }

    void CopyButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, clipboard);
        QGuiApplication::clipboard()->setText(L1("stale"));
        Type(Field(field.toLatin1().constData()), typed);
        QTest::mouseClick(Button(button.toLatin1().constData()), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
    }

    void ColorPickConfirmed()
    {
        uint32_t seenInitial = 0;
        QStringList seenCustom;
        QWidget* seenOwner = nullptr;
        FForm->SetColorDialog([&](QWidget* owner, uint32_t initial, const QStringList& custom, uint32_t& chosen) {
            seenOwner = owner;
            seenInitial = initial;
            seenCustom = custom;
            chosen = 0x000000FFu; // pure red, 0x00BBGGRR
            return true;
        });
        // A value with a top byte: the dialog gets the whole flipped value.
        Type(Field("EditInspectHex"), L1("12345678"));
        QTest::mouseClick(Button("ButtonPickColor"), Qt::LeftButton);

        QCOMPARE(seenOwner, FForm.get());
        QCOMPARE(seenInitial, 0x12785634u);
        QCOMPARE(seenCustom, QStringList{L1("ColorA=12785634")});
        QCOMPARE(FForm->Value(), 0x00FF0000u);
        QCOMPARE(Field("EditInspectHex")->text(), L1("FF0000"));
        QCOMPARE(Field("EditInspectDecimal")->text(), L1("16711680"));
        QCOMPARE(SwatchPixel(3, 3), QColor(255, 0, 0));

        // A chosen colour's top byte never reaches the value.
        FForm->SetColorDialog([](QWidget*, uint32_t, const QStringList&, uint32_t& chosen) {
            chosen = 0xAB00FF00u;
            return true;
        });
        QTest::mouseClick(Button("ButtonPickColor"), Qt::LeftButton);
        QCOMPARE(FForm->Value(), 0x0000FF00u);
        QCOMPARE(SwatchPixel(3, 3), QColor(0, 255, 0));
    }

    void ColorPickCancelled()
    {
        FForm->SetColorDialog([](QWidget*, uint32_t, const QStringList& custom, uint32_t& chosen) {
            chosen = 0x00FFFFFFu;
            return custom.isEmpty(); // never confirms
        });
        Type(Field("EditInspectHex"), L1("abc"));
        QTest::mouseClick(Button("ButtonPickColor"), Qt::LeftButton);
        QCOMPARE(FForm->Value(), 0xABCu);
        QCOMPARE(Field("EditInspectHex")->text(), L1("abc"));
        QCOMPARE(SwatchPixel(0, 0), QColor(0, 0x0A, 0xBC));
    }

    void SystemColorDialog()
    {
        // The real chooser, answered from inside its own modal loop by a
        // zero-time timer: it must be the non-native dialog, preset to the
        // initial colour, with the first custom colour box filled.
        // Checks come after the loop, so a failed one cannot leave it running.
        bool seen = false;
        bool nonNative = false;
        QColor preset;
        QRect placed;
        FForm->move(262, 170); // where a dialog centred on it fits the screen
        QTimer::singleShot(0, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QColorDialog*>(w);
                if (!dialog || !dialog->isVisible())
                    continue;
                seen = true;
                nonNative = dialog->testOption(QColorDialog::DontUseNativeDialog);
                preset = dialog->currentColor();
                placed = dialog->frameGeometry();
                dialog->setCurrentColor(QColor(0x10, 0x20, 0x30));
                dialog->accept();
            }
        });
        uint32_t chosen = 0;
        const bool confirmed = TFormMorvic::RunColorDialog(FForm.get(), 0x00123456u,
            {L1("ColorA=AB654321")}, chosen);
        QVERIFY(seen);
        QVERIFY(nonNative);
        QCOMPARE(preset, QColor(0x56, 0x34, 0x12));
        // Centred over the window.
        QVERIFY(std::abs(placed.center().x() - FForm->frameGeometry().center().x()) <= 1);
        QVERIFY(std::abs(placed.center().y() - FForm->frameGeometry().center().y()) <= 1);
        QVERIFY(confirmed);
        QCOMPARE(chosen, 0x00302010u);
        // The entry's top byte has no meaning as a colour here.
        QCOMPARE(QColorDialog::customColor(0), QColor(0x21, 0x43, 0x65));
    }
};

QTEST_MAIN(TTestFormMorvic)
#include "tst_fmorvic.moc"
