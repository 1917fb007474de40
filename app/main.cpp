#include "Fmorvic.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    TFormMorvic form;
    form.show();
    return app.exec();
}
