// Icons made at their first use or at each use, and the application style
// that hands out the menu bar's overflow icon that way: nothing is read
// before the icon is used, and what is drawn then is what the plain style
// draws.
#include "Deferredicon.h"
#include "Lazyicons.h"

#include <QApplication>
#include <QPixmap>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QtTest>

#include <memory>

namespace {

QImage Pixels(const QIcon& icon, int side)
{
    return icon.pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Counts the icons asked of it.
class TCountingStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override
    {
        ++Asked;
        return QProxyStyle::standardIcon(which, option, widget);
    }
    mutable int Asked = 0;
};

} // namespace

class TTestLazyIcons : public QObject
{
    Q_OBJECT

private slots:
    void DeferredIconIsMadeOnceAtFirstUse()
    {
        int made = 0;
        QPixmap red(8, 8);
        red.fill(Qt::red);
        QIcon icon = DeferredIcon([&made, red] {
            ++made;
            return QIcon(red);
        });
        const QIcon copy = icon;
        QCOMPARE(made, 0);
        QVERIFY(!copy.isNull());
        QCOMPARE(made, 1);
        QCOMPARE(Pixels(icon, 8), red.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied));
        QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(8, 8)});
        QPixmap blue(16, 16);
        blue.fill(Qt::blue);
        icon.addPixmap(blue); // a change reaches the icon made, in this copy only
        QCOMPARE(icon.availableSizes(), QList<QSize>({QSize(8, 8), QSize(16, 16)}));
        QCOMPARE(copy.availableSizes(), QList<QSize>{QSize(8, 8)});
        QCOMPARE(made, 1);
        QVERIFY(DeferredIcon([] { return QIcon(); }).isNull());
    }

    // The window icon's pixels are held only until the event loop runs.
    void RemadeIconHoldsNoPixelsBetweenUses()
    {
        int made = 0;
        QImage red(64, 64, QImage::Format_ARGB32_Premultiplied);
        red.fill(Qt::red);
        QIcon icon = RemadeIcon([&made, &red] {
            ++made;
            return red;
        });
        QCOMPARE(made, 0);
        QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(64, 64)});
        QCOMPARE(Pixels(icon, 64), red);
        QCOMPARE(Pixels(icon, 16), red.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        QCOMPARE(made, 1);
        QVERIFY(!red.isDetached()); // held by the icon
        QCoreApplication::processEvents();
        QVERIFY(red.isDetached());
        QCOMPARE(icon.actualSize(QSize(128, 128)), QSize(64, 64));
        QCOMPARE(made, 2);
        QIcon changed = icon; // a change reaches that copy only
        QPixmap blue(16, 16);
        blue.fill(Qt::blue);
        changed.addPixmap(blue);
        QCOMPARE(changed.availableSizes(), QList<QSize>({QSize(64, 64), QSize(16, 16)}));
        QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(64, 64)});
        QVERIFY(RemadeIcon([] { return QImage(); }).isNull());
    }

    void StyleDrawsItsIconsAsTheBaseStyle_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<bool>("deferred");
        QTest::newRow("menu bar overflow") << int(QStyle::SP_ToolBarHorizontalExtensionButton) << true;
        QTest::newRow("tool bar overflow") << int(QStyle::SP_ToolBarVerticalExtensionButton) << true;
        QTest::newRow("warning, passed through") << int(QStyle::SP_MessageBoxWarning) << false;
    }
    void StyleDrawsItsIconsAsTheBaseStyle()
    {
        QFETCH(int, which);
        QFETCH(bool, deferred);
        const auto pixmap = QStyle::StandardPixmap(which);
        const QString name = QApplication::style()->name();
        std::unique_ptr<QStyle> plain(QStyleFactory::create(name));
        auto* base = new TCountingStyle(QStyleFactory::create(name));
        TLazyIconStyle lazy(base);
        QCOMPARE(TLazyIconStyle::Deferred(pixmap), deferred);
        const QIcon icon = lazy.standardIcon(pixmap);
        QCOMPARE(base->Asked, deferred ? 0 : 1);
        for (int side : {16, 32})
            QCOMPARE(Pixels(icon, side), Pixels(plain->standardIcon(pixmap), side));
        QCOMPARE(base->Asked, 1);
    }
};

QTEST_MAIN(TTestLazyIcons)
#include "tst_lazyicons.moc"
