// The printable report from the window: the background's context menu saves a one-unit report
// of the unit read last, laid out as the command line's.  Nothing goes to the unit.
#include "settings/report.h"
#include "settings/session.h"
#include "settings/strtoint.h"
#include "ui/unit1.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>

namespace {

QString askreportfile(TForm1& form)
{
    QFileDialog dlg(&form);
    // Qt's own dialog, as for the settings files: it keeps the working directory, where
    // "log.txt" lives, and asks before a file is overwritten.
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilter(QStringLiteral("Отчёты PDF (*.pdf)"));
    dlg.setDefaultSuffix(QStringLiteral("pdf"));
    dlg.setDirectory(QDir::currentPath());
    dlg.setObjectName(QStringLiteral("SaveReportDialog"));
    const auto a = settings::strtoint(form.Edit5->text());
    const auto z = settings::strtoint(form.Edit6->text());
    dlg.selectFile(a && z ? QStringLiteral("report-address%1-zone%2.pdf").arg(*a).arg(*z)
                          : QStringLiteral("report.pdf"));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}

} // namespace

void TForm1::savereport()
{
    const settings::Reading* last = settings::lastgood();
    if (!last)
        return; // the menu offers it only after a good read
    // The controls' values are checked as "Запись" checks them before a name is asked for.
    const settings::Fields fields = getfields();
    settings::keyvalues(fields);
    const settings::UnitInfo info = settings::unitinfo(*last);
    const QString path = askreportfile(*this);
    if (path.isEmpty())
        return;
    const report::Unit unit = report::fromwindow(fields, info);
    report::savepdf(path, {unit}, report::defaulttitle(), QDateTime::currentDateTime());
    log(QStringLiteral(" Отчёт сохранён в файл ") + QDir::toNativeSeparators(path));
}
