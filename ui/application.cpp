#include "ui/application.h"
#include "ui/unit1.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QProxyStyle>

#include <exception>

int hinthidepause = 0;

namespace {
QString& title()
{
    static QString t;
    return t;
}
} // namespace

QString apptitle()
{
    if (title().isEmpty()) {
        // The program file's name without folder and extension, first letter in upper case, the rest
        // in lower case: "virelan2" reads "Virelan2".
        QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        if (name.isEmpty())
            name = QStringLiteral("virelan2");
        title() = name.left(1).toUpper() + name.mid(1).toLower();
    }
    return title();
}

void setapptitle(const QString& t)
{
    title() = t;
}

void showerror(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, apptitle(), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

namespace {
// Hover hints appear after half a second.
class HintStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == QStyle::SH_ToolTip_WakeUpDelay)
            return 500;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};
} // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setStyle(new HintStyle);
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showerror(QString::fromUtf8(e.what()));
    } catch (...) {
        showerror(QStringLiteral("Unknown error."));
    }
    return false;
}
