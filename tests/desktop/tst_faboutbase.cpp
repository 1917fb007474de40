// The about box offscreen: its texts and layout, Enter and the title bar
// ending the modal loop, and the link labels opening their addresses.
#include "Faboutbase.h"

#include "Linklabel.h"
#include "Paintimage.h"
#include "Shellopen.h"
#include "Testenv.h"
#include "Weblinks.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestFaboutbase : public QObject
{
    Q_OBJECT

private:
    TTestConfigHome FHome;

    static QString Text(const QDialog& d, const char* name)
    {
        if (const QLabel* label = d.findChild<QLabel*>(name))
            return label->text();
        if (const TLinkLabel* link = d.findChild<TLinkLabel*>(name))
            return link->text();
        return QStringLiteral("<missing %1>").arg(QLatin1String(name));
    }

    // The lowest row of device pixels the label paints its text into, or -1.
    static int LowestInk(QWidget& label, qreal ratio)
    {
        const QRgb background = qRgb(0x12, 0x34, 0x56);
        QImage image(label.size() * ratio, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(background);
        label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        for (int y = image.height() - 1; y >= 0; --y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != background)
                    return y;
        return -1;
    }

private slots:
    void showsTheTexts()
    {
        for (int round = 0; round < 2; ++round) { // a second box shows the same
            TFormAboutBase box;
            QCOMPARE(box.windowTitle(), QString("About Tarvolin"));
            QCOMPARE(Text(box, "LabelProgName"), QString("Tarvolin"));
            QCOMPARE(Text(box, "LabelVersion"), QString("version 1.3a"));
            QCOMPARE(Text(box, "LabelUrl"), QString(WebProgramPage));
            QVERIFY(!Text(box, "LabelCopyright").isEmpty());
            QVERIFY(!Text(box, "Label1").isEmpty());
            const QPushButton* ok = box.findChild<QPushButton*>("ButtonOk");
            QVERIFY(ok);
            QCOMPARE(ok->text(), QString("Ok"));
            QVERIFY(ok->isDefault());
            QCOMPARE(ok->geometry(), QRect(160, 272, 75, 25));
            QCOMPARE(box.size(), QSize(396, 305));
            // At least the layout's height: the face in use may need more.
            const QRect last = box.findChild<TLinkLabel*>("Label5")->geometry();
            QCOMPARE(last.topLeft(), QPoint(8, 240));
            QCOMPARE(last.width(), 377);
            QVERIFY(last.height() >= 13 && last.bottom() < ok->y());
        }
    }

    // No label cuts off its text (the descenders of the copyright line, say),
    // whatever face stands in for the layout's, at device pixel ratios 1
    // and 2: given more room below, a label shows no more than it does.
    void labelsShowTheirWholeText_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("ratio 1") << 1.0;
        QTest::newRow("ratio 2") << 2.0;
    }
    void labelsShowTheirWholeText()
    {
        QFETCH(qreal, ratio);
        TFormAboutBase box;
        QList<QWidget*> labels;
        for (QLabel* label : box.findChildren<QLabel*>())
            labels << label;
        for (TLinkLabel* link : box.findChildren<TLinkLabel*>())
            labels << link;
        for (QWidget* label : labels) {
            const int height = label->height();
            const int shown = LowestInk(*label, ratio);
            label->resize(label->width(), height + 20);
            const int room = LowestInk(*label, ratio);
            label->resize(label->width(), height);
            QVERIFY2(shown >= 0 && shown == room, qPrintable(label->objectName()));
        }
    }

    void enterClosesWithOk()
    {
        TFormAboutBase box;
        QTimer::singleShot(0, &box, [&box] { QTest::keyClick(&box, Qt::Key_Return); });
        QCOMPARE(box.exec(), int(QDialog::Accepted));
        QVERIFY(!box.isVisible());
    }

    void titleBarCloseEndsTheLoop()
    {
        TFormAboutBase box;
        QTimer::singleShot(0, &box, [&box] { box.close(); });
        QCOMPARE(box.exec(), int(QDialog::Rejected));
    }

    void linksOpenTheirAddresses_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("address");
        QTest::newRow("program page") << "LabelUrl" << WebProgramPage;
        const char* const order[WebProductCount] = {"Label6", "Label2", "Label4", "Label3", "Label5"};
        for (int i = 0; i < WebProductCount; ++i)
            QTest::newRow(order[i]) << order[i] << WebProducts[i].Page;
    }
    void linksOpenTheirAddresses()
    {
        QFETCH(QString, label);
        QFETCH(QString, address);
        QList<QUrl> opened;
        SetShellOpenHandler([&opened](const QUrl& url) {
            opened.append(url);
            return true;
        });
        TFormAboutBase box;
        box.show();
        TLinkLabel* link = box.findChild<TLinkLabel*>(label);
        QVERIFY(link);
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(link->font().underline());
        QCOMPARE(link->font().family(), box.font().family()); // only underlined, same face
        QTest::mouseClick(link, Qt::LeftButton);
        // The keyboard's way: Tab stops on the link, Enter and Space open it.
        QCOMPARE(link->focusPolicy(), Qt::TabFocus);
        QTest::keyClick(link, Qt::Key_Return);
        QTest::keyClick(link, Qt::Key_Space);
        SetShellOpenHandler({});
        QCOMPARE(opened, QList<QUrl>(3, QUrl(address)));
    }

    // A link label draws and measures its text as a plain-text label with
    // the same font, palette and alignment does, in either direction.
    void linkLabelLooksLikeALabel_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("alignment");
        const int leftMiddle = int(Qt::AlignLeft | Qt::AlignVCenter);
        const int centreTop = int(Qt::AlignHCenter | Qt::AlignTop);
        for (const qreal ratio : {1.0, 2.0}) {
            const QByteArray at = " at " + QByteArray::number(ratio);
            QTest::newRow("left" + at) << ratio << "visit www.example.org" << leftMiddle;
            QTest::newRow("centred" + at) << ratio << "gypsy & quay" << centreTop;
            QTest::newRow("right to left" + at) << ratio << QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd") << leftMiddle;
        }
    }
    void linkLabelLooksLikeALabel()
    {
        QFETCH(qreal, ratio);
        QFETCH(QString, text);
        QFETCH(int, alignment);
        QFont font;
        font.setUnderline(true);
        QPalette palette;
        palette.setColor(QPalette::WindowText, QColor(0, 0, 0xCF));
        QLabel label;
        TLinkLabel link;
        for (QWidget* widget : {static_cast<QWidget*>(&label), static_cast<QWidget*>(&link)}) {
            widget->setFont(font);
            widget->setPalette(palette);
            widget->setGeometry(0, 0, 160, 20);
        }
        label.setText(text);
        label.setAlignment(Qt::Alignment(alignment));
        link.setText(text);
        link.setAlignment(Qt::Alignment(alignment));
        QCOMPARE(link.sizeHint(), label.sizeHint());
        QCOMPARE(RenderImage(link, ratio), RenderImage(label, ratio));
    }
};

QTEST_MAIN(TestFaboutbase)
#include "tst_faboutbase.moc"
