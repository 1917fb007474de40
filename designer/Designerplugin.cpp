#include "Designerplugin.h"

#include "Designerwidget.h"
#include "Glimrapanel.h"
#include "Hexcontrol.h"
#include "Hexvalueview.h"
#include "Htmllabel.h"

namespace {

// Widget box groups.
const QString GroupAdditional = QStringLiteral("Additional");
const QString GroupSamples = QStringLiteral("Samples");

QList<TDesignerWidgetInfo> LibraryWidgets()
{
    // One entry per widget; a new widget needs only an entry here (and its
    // library linked in CMakeLists.txt).
    return {
        {QStringLiteral("TGlimraPanel"), GroupAdditional, QStringLiteral("Glimrapanel.h"),
         QStringLiteral("Panel with a shaded bar along its edges"), true, QStringLiteral("0 0 185 41"),
         QStringLiteral("  <property name=\"DoRed\"><number>255</number></property>\n"
                        "  <property name=\"DoGreen\"><number>-1</number></property>\n"
                        "  <property name=\"MaxInc\"><number>150</number></property>\n"
                        "  <property name=\"BarWidth\"><number>6</number></property>\n"),
         DesignerFactory<TGlimraPanel>()},
        {QStringLiteral("THtmlLabel"), GroupSamples, QStringLiteral("Htmllabel.h"),
         QStringLiteral("Label drawing <b>, <i>, <u>, <strike>, <blue> and <hyper> mark-up"), false,
         QStringLiteral("0 0 120 17"),
         QStringLiteral("  <property name=\"Caption\"><string>&lt;b&gt;Html&lt;/b&gt;Label</string></property>\n"),
         DesignerFactory<THtmlLabel>()},
        {QStringLiteral("THexEditor"), GroupAdditional, QStringLiteral("Hexcontrol.h"),
         QStringLiteral("Hex editor for a byte buffer with undo, search and whole-file load and save"), false,
         QStringLiteral("0 0 560 300"), QString(), DesignerFactory<THexEditor>()},
        {QStringLiteral("THexValueView"), GroupAdditional, QStringLiteral("Hexvalueview.h"),
         QStringLiteral("The bytes at a hex editor's cursor as integers and floats, typed values written back"),
         false, QStringLiteral("0 0 240 330"), QString(), DesignerFactory<THexValueView>()},
    };
}

} // namespace

TTarvolinDesignerPlugin::TTarvolinDesignerPlugin(QObject* parent) : QObject(parent)
{
    for (TDesignerWidgetInfo& info : LibraryWidgets())
        FWidgets << new TDesignerWidget(std::move(info), this);
}
