#pragma once
// The restore password dialog: "Enter Password:", a masked edit, "Ok" (the
// default button) and "Cancel" (also Escape and the title bar's close box).
#include <QByteArray>
#include <QDialog>

#include <memory>

namespace Ui {
class TFormRestore;
}
class QLabel;
class QLineEdit;
class QPushButton;

// Results the dialog ends with.
constexpr int ModalResultOk = 1;
constexpr int ModalResultCancel = 2;

class TFormRestore : public QDialog
{
    Q_OBJECT
public:
    explicit TFormRestore(QWidget* owner = nullptr);
    ~TFormRestore() override;

    // The entered text, UTF-8.
    QByteArray Password() const;

    QLabel* Label1 = nullptr;
    QLineEdit* EditPassword = nullptr;
    QPushButton* ButtonOk = nullptr;
    QPushButton* ButtonCancel = nullptr;

public slots:
    // Escape and the close box end the dialog as Cancel does.
    void reject() override;

private:
    void ButtonOkClick();
    void ButtonCancelClick();

    std::unique_ptr<Ui::TFormRestore> FUi;
};
