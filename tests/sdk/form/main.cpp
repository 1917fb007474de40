// Sets the Designer form up and checks that the widgets were made with the
// properties the form gives them.
#include "ui_form.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget form;
    Ui::Form ui;
    ui.setupUi(&form);
    const bool ok = ui.GlimraPanel->DoRed() == 255 && ui.GlimraPanel->BarWidth() == 6
                    && ui.HtmlLabel->CaptionText() == "<b>Html</b>Label" && ui.HtmlLabel->parent() == ui.GlimraPanel
                    && ui.HexEditor->BytesPerLine() == 8 && ui.HexEditor->ReadOnly();
    std::printf(ok ? "PASS\n" : "FAIL: the form's widgets are not as drawn\n");
    return ok ? 0 : 1;
}
