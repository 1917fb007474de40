#include "Frestore.h"

#include "Formfont.h"
#include "ui_Frestore.h"

TFormRestore::TFormRestore(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                         | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , FUi(new Ui::TFormRestore)
{
    FUi->setupUi(this);
    setFont(FormFont());
    Label1 = FUi->Label1;
    EditPassword = FUi->EditPassword;
    ButtonOk = FUi->ButtonOk;
    ButtonCancel = FUi->ButtonCancel;
    connect(ButtonOk, &QPushButton::clicked, this, &TFormRestore::ButtonOkClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &TFormRestore::ButtonCancelClick);
    EditPassword->setFocus();
}

TFormRestore::~TFormRestore() = default;

QByteArray TFormRestore::Password() const
{
    return EditPassword->text().toUtf8();
}

void TFormRestore::reject()
{
    ButtonCancelClick();
}

void TFormRestore::ButtonOkClick()
{
    done(ModalResultOk);
}

void TFormRestore::ButtonCancelClick()
{
    done(ModalResultCancel);
}
