#include "Designerwidget.h"

#include <QIcon>

TDesignerWidget::TDesignerWidget(TDesignerWidgetInfo info, QObject* parent) : QObject(parent), FInfo(std::move(info))
{
}

QIcon TDesignerWidget::icon() const
{
    return QIcon();
}

QString TDesignerWidget::domXml() const
{
    const QStringList g = FInfo.DefaultGeometry.split(' ');
    QString xml = QStringLiteral("<ui language=\"c++\">\n <widget class=\"%1\" name=\"%2\">\n")
                      .arg(FInfo.ClassName, FInfo.ClassName.mid(1));
    if (g.size() == 4)
        xml += QStringLiteral("  <property name=\"geometry\">\n   <rect><x>%1</x><y>%2</y><width>%3</width>"
                              "<height>%4</height></rect>\n  </property>\n")
                   .arg(g[0], g[1], g[2], g[3]);
    xml += FInfo.DefaultProperties;
    xml += QStringLiteral(" </widget>\n</ui>\n");
    return xml;
}
