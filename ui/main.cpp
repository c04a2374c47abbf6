#include "ui/application.h"
#include "ui/unit1.h"

#include <QMessageBox>

#include <exception>

int main(int argc, char** argv)
{
    Application app(argc, argv);
    try {
        TForm1 Form1; // FormCreate runs here, the start-up scan included
        Form1.show();
        return app.exec();
    } catch (const std::exception& e) {
        showerror(QString::fromUtf8(e.what()));
    } catch (...) {
        showerror(QStringLiteral("Unknown error."));
    }
    return 1;
}
