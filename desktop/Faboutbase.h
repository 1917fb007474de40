#pragma once
// The about box: the program's name, copyright, version and web page, a note
// on free use and links to the maker's other products. Shown modally and
// closed with Ok (Enter).
#include <QDialog>

#include <memory>

namespace Ui {
class FormAboutBase;
}
class QLabel;

constexpr char AboutProgName[] = "Tarvolin";
constexpr char AboutVersion[] = "1.3a";
constexpr char AboutVersionFormat[] = "version %s";
constexpr char AboutCopyright[] = "Copyright (c) 2026 Dremsel";

class TFormAboutBase : public QDialog
{
    Q_OBJECT

public:
    explicit TFormAboutBase(QWidget* owner = nullptr);
    ~TFormAboutBase() override;

public slots:
    // Fills the name, version, web page and copyright labels; runs at the end
    // of construction.
    void FormCreate(QObject* Sender);
    void LabelUrlClick(QObject* Sender);
    void Label2Click(QObject* Sender);
    void Label3Click(QObject* Sender);
    void Label4Click(QObject* Sender);
    void Label5Click(QObject* Sender);
    void Label6Click(QObject* Sender);
    // Ends the dialog with result OK (1).
    void ButtonOkClick(QObject* Sender);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OpenProduct(int index);

    std::unique_ptr<Ui::FormAboutBase> FUi;
};
