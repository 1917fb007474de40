#include "Faboutbase.h"

#include "ui_Faboutbase.h"

#include "Contrast.h"
#include "Formfont.h"
#include "Linklabel.h"
#include "Shellopen.h"
#include "Weblinks.h"

#include <QMouseEvent>

#include <cstdio>

TFormAboutBase::TFormAboutBase(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                         | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , FUi(std::make_unique<Ui::FormAboutBase>())
{
    FUi->setupUi(this);
    setFont(FormFont());
    setFixedSize(size());
    // The layout's 13-pixel rows hold one line of its own 8-point face. The
    // face standing in for it here may need taller lines, and a label keeps
    // its height: grow each to its text, or its descenders are cut off. The
    // rows are far enough apart for that.
    for (QLabel* label : findChildren<QLabel*>()) {
        const int needed =
            label->wordWrap() ? label->heightForWidth(label->width()) : label->fontMetrics().height();
        if (label->height() < needed)
            label->resize(label->width(), needed);
    }
    for (TLinkLabel* link : findChildren<TLinkLabel*>()) {
        if (link->height() < link->fontMetrics().height())
            link->resize(link->width(), link->fontMetrics().height());
    }

    // The product links, top to bottom.
    TLinkLabel* const products[WebProductCount] = {FUi->Label6, FUi->Label2, FUi->Label4, FUi->Label3, FUi->Label5};
    for (int i = 0; i < WebProductCount; ++i)
        products[i]->setText(QString::fromLatin1(WebProducts[i].Name));
    // The links' blue stays while it reads well on the dialog's colour; on a
    // dark desktop palette they take the shade of blue that does.
    const QColor blue(Qt::blue);
    const QColor shown = ReadableShade(blue, palette().color(QPalette::Window));
    for (TLinkLabel* link : {FUi->LabelUrl, FUi->Label2, FUi->Label3, FUi->Label4, FUi->Label5, FUi->Label6}) {
        link->installEventFilter(this);
        if (shown != blue)
            link->setStyleSheet(QStringLiteral("color: %1;").arg(shown.name()));
    }
    // A link's click, the mouse's (eventFilter), the keyboard's and the
    // screen reader's alike.
    connect(FUi->LabelUrl, &TLinkLabel::Activated, this, [this] { LabelUrlClick(FUi->LabelUrl); });
    connect(FUi->Label6, &TLinkLabel::Activated, this, [this] { Label6Click(FUi->Label6); });
    connect(FUi->Label2, &TLinkLabel::Activated, this, [this] { Label2Click(FUi->Label2); });
    connect(FUi->Label4, &TLinkLabel::Activated, this, [this] { Label4Click(FUi->Label4); });
    connect(FUi->Label3, &TLinkLabel::Activated, this, [this] { Label3Click(FUi->Label3); });
    connect(FUi->Label5, &TLinkLabel::Activated, this, [this] { Label5Click(FUi->Label5); });

    connect(FUi->ButtonOk, &QPushButton::clicked, this, [this] { ButtonOkClick(FUi->ButtonOk); });
    FUi->ButtonOk->setFocus();
    FormCreate(this);
}

TFormAboutBase::~TFormAboutBase() = default;

void TFormAboutBase::FormCreate(QObject* /*Sender*/)
{
    FUi->LabelProgName->setText(QString::fromLatin1(AboutProgName));
    char version[64];
    std::snprintf(version, sizeof version, AboutVersionFormat, AboutVersion);
    FUi->LabelVersion->setText(QString::fromLatin1(version));
    FUi->LabelUrl->setText(QString::fromLatin1(WebProgramPage));
    FUi->LabelCopyright->setText(QString::fromLatin1(AboutCopyright));
}

void TFormAboutBase::LabelUrlClick(QObject* /*Sender*/)
{
    ShellOpenAddress(WebProgramPage);
}

void TFormAboutBase::OpenProduct(int index)
{
    ShellOpenAddress(WebProducts[index].Page);
}

void TFormAboutBase::Label6Click(QObject* /*Sender*/)
{
    OpenProduct(0);
}

void TFormAboutBase::Label2Click(QObject* /*Sender*/)
{
    OpenProduct(1);
}

void TFormAboutBase::Label4Click(QObject* /*Sender*/)
{
    OpenProduct(2);
}

void TFormAboutBase::Label3Click(QObject* /*Sender*/)
{
    OpenProduct(3);
}

void TFormAboutBase::Label5Click(QObject* /*Sender*/)
{
    OpenProduct(4);
}

void TFormAboutBase::ButtonOkClick(QObject* /*Sender*/)
{
    done(QDialog::Accepted);
}

// Labels have no click of their own: a left button released over a link
// label counts as its click.
bool TFormAboutBase::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* label = qobject_cast<TLinkLabel*>(watched);
        if (label && mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint())) {
            emit label->Activated();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
