// The about box offscreen: its texts and layout, Enter and the title bar
// ending the modal loop, and the link labels opening their addresses.
#include "Faboutbase.h"

#include "Shellopen.h"
#include "Testenv.h"
#include "Weblinks.h"

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
        const QLabel* label = d.findChild<QLabel*>(name);
        return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
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
            QCOMPARE(box.findChild<QLabel*>("Label5")->geometry(), QRect(8, 240, 377, 13));
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
        QLabel* link = box.findChild<QLabel*>(label);
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
};

QTEST_MAIN(TestFaboutbase)
#include "tst_faboutbase.moc"
