// The plugin is loaded with QPluginLoader and every widget is created
// through it; this program does not link the widget library itself, so all
// it sees comes from the plugin.
#include <QPluginLoader>
#include <QWidget>
#include <QXmlStreamReader>
#include <QtTest>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

class TDesignerPluginTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void Widgets_data();
    void Widgets();
    void cleanupTestCase();

private:
    QDesignerCustomWidgetInterface* Find(const QString& name) const;
    QPluginLoader FLoader{QStringLiteral(TARVOLIN_DESIGNER_PLUGIN)};
    QDesignerCustomWidgetCollectionInterface* FCollection = nullptr;
};

void TDesignerPluginTest::initTestCase()
{
    QObject* instance = FLoader.instance();
    QVERIFY2(instance, qPrintable(FLoader.errorString()));
    FCollection = qobject_cast<QDesignerCustomWidgetCollectionInterface*>(instance);
    QVERIFY(FCollection);
}

QDesignerCustomWidgetInterface* TDesignerPluginTest::Find(const QString& name) const
{
    for (QDesignerCustomWidgetInterface* w : FCollection->customWidgets())
        if (w->name() == name)
            return w;
    return nullptr;
}

void TDesignerPluginTest::Widgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("include");
    QTest::addColumn<bool>("container");
    QTest::addColumn<QString>("property"); // one property and its default
    QTest::addColumn<int>("value");
    QTest::newRow("panel") << "TGlimraPanel" << "Additional" << "Glimrapanel.h" << true << "BarWidth" << 6;
    QTest::newRow("label") << "THtmlLabel" << "Samples" << "Htmllabel.h" << false << "WordWrap" << 0;
    QTest::newRow("hex editor") << "THexEditor" << "Additional" << "Hexcontrol.h" << false << "BytesPerLine" << 16;
    QTest::newRow("hex inspector") << "THexValueView" << "Additional" << "Hexvalueview.h" << false << "BigEndian" << 0;
}

void TDesignerPluginTest::Widgets()
{
    QFETCH(QString, name);
    QFETCH(QString, group);
    QFETCH(QString, include);
    QFETCH(bool, container);
    QFETCH(QString, property);
    QFETCH(int, value);

    QDesignerCustomWidgetInterface* w = Find(name);
    QVERIFY(w);
    QCOMPARE(w->group(), group);
    QCOMPARE(w->includeFile(), include);
    QCOMPARE(w->isContainer(), container);

    // The form fragment is well-formed and names the class.
    QXmlStreamReader xml(w->domXml());
    bool named = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("widget"))
            named = xml.attributes().value("class") == name;
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QVERIFY(named);

    QWidget parent;
    QWidget* widget = w->createWidget(&parent);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget(), &parent);
    QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), name);
    QCOMPARE(widget->property(qPrintable(property)).toInt(), value);
    // Designer edits properties through the meta-object.
    QVERIFY(widget->setProperty(qPrintable(property), value + 1));
    QCOMPARE(widget->property(qPrintable(property)).toInt(), value + 1);
    widget->resize(80, 40);
    QVERIFY(!widget->grab().isNull());
}

void TDesignerPluginTest::cleanupTestCase()
{
    // Widgets are gone by now; the plugin may go too.
    FLoader.unload();
}

QTEST_MAIN(TDesignerPluginTest)
#include "tst_designerplugin.moc"
