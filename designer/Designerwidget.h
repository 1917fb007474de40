#pragma once
// One widget class as Qt Designer sees it: its palette group, header, tool
// tip, default form fragment and a factory. Every widget of the library is
// described by one TDesignerWidgetInfo; see Designerplugin.cpp for the list.
#include <QObject>
#include <QString>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <functional>

struct TDesignerWidgetInfo
{
    QString ClassName;
    QString Group;
    QString IncludeFile;
    QString ToolTip;
    bool Container = false;
    // Properties the form gets when the widget is dropped, as <property>
    // elements of a .ui file; the geometry comes first.
    QString DefaultGeometry; // "x y w h"
    QString DefaultProperties;
    std::function<QWidget*(QWidget*)> Create;
};

template <class T>
std::function<QWidget*(QWidget*)> DesignerFactory()
{
    return [](QWidget* parent) -> QWidget* { return new T(parent); };
}

class TDesignerWidget : public QObject, public QDesignerCustomWidgetInterface
{
    Q_OBJECT
    Q_INTERFACES(QDesignerCustomWidgetInterface)

public:
    TDesignerWidget(TDesignerWidgetInfo info, QObject* parent);

    QString name() const override { return FInfo.ClassName; }
    QString group() const override { return FInfo.Group; }
    QString includeFile() const override { return FInfo.IncludeFile; }
    QString toolTip() const override { return FInfo.ToolTip; }
    QString whatsThis() const override { return FInfo.ToolTip; }
    QIcon icon() const override;
    bool isContainer() const override { return FInfo.Container; }
    QWidget* createWidget(QWidget* parent) override { return FInfo.Create(parent); }
    QString domXml() const override;
    bool isInitialized() const override { return FInitialized; }
    void initialize(QDesignerFormEditorInterface*) override { FInitialized = true; }

private:
    TDesignerWidgetInfo FInfo;
    bool FInitialized = false;
};
