// Settings files from the window: a context menu on the window's background saves the values
// of the settings controls to a file, puts a file's values into them or compares them with a
// file.  Nothing goes to the unit: a loaded file is written with "Запись", as factory values are.
#include "settings/session.h"
#include "settings/settingsfile.h"
#include "settings/strtoint.h"
#include "ui/application.h"
#include "ui/unit1.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>

namespace {

const QString Filter = QStringLiteral("Файлы настроек (*.ini)");

// A right click on a control is the control's own business; the frames, their titles and the
// picture are background.
bool background(const TForm1& form, const QWidget* w)
{
    for (; w && w != &form; w = w->parentWidget()) {
        if (qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractSlider*>(w)
            || qobject_cast<const QComboBox*>(w) || qobject_cast<const QLineEdit*>(w)
            || qobject_cast<const QProgressBar*>(w) || qobject_cast<const QAbstractScrollArea*>(w)
            || w == form.Panel7)
            return false;
    }
    return true;
}

// The name offered for a new file: the unit's address and zone, as the fields hold them.
QString offeredname(const TForm1& form)
{
    const auto a = settings::strtoint(form.Edit5->text());
    const auto z = settings::strtoint(form.Edit6->text());
    if (!a || !z)
        return QStringLiteral("settings.ini");
    return QStringLiteral("address%1-zone%2.ini").arg(*a).arg(*z);
}

QString askfile(TForm1& form, bool save)
{
    QFileDialog dlg(&form);
    // Qt's own dialog, as for the sound files: it never moves the working directory, where
    // "log.txt" lives, and asks before a file is overwritten.
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dlg.setNameFilter(Filter);
    dlg.setDefaultSuffix(QStringLiteral("ini"));
    dlg.setDirectory(QDir::currentPath());
    dlg.setObjectName(save ? QStringLiteral("SaveSettingsDialog") : QStringLiteral("LoadSettingsDialog"));
    if (save)
        dlg.selectFile(offeredname(form));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}

} // namespace

void TForm1::contextMenuEvent(QContextMenuEvent* e)
{
    if (!background(*this, childAt(e->pos())) || uploading) {
        e->ignore();
        return;
    }
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("SettingsMenu"));
    QAction* save = menu.addAction(QStringLiteral("Сохранить настройки в файл..."));
    QAction* load = menu.addAction(QStringLiteral("Загрузить настройки из файла..."));
    // A comparison means something only against what a unit sent.
    QAction* compare = menu.addAction(QStringLiteral("Сравнить с файлом..."));
    compare->setEnabled(settings::lastgood() != nullptr);
    QAction* report = menu.addAction(QStringLiteral("Сохранить отчёт..."));
    // A report records a unit: without a good read there is none to record.
    const settings::Reading* last = settings::lastgood();
    report->setEnabled(last && last->sumok);
    QAction* chosen = menu.exec(e->globalPos());
    if (chosen == save)
        handle([this] { savesettings(); });
    else if (chosen == load)
        handle([this] { loadsettings(); });
    else if (chosen == compare)
        handle([this] { comparesettings(); });
    else if (chosen == report)
        handle([this] { savereport(); });
}

void TForm1::savesettings()
{
    // The fields are checked before a name is asked for: a field "Запись" would refuse is
    // reported as it reports it, and nothing is saved.
    const settings::Fields fields = getfields();
    settings::filetext(fields);
    const QString path = askfile(*this, true);
    if (path.isEmpty())
        return;
    std::optional<settings::UnitInfo> unit;
    if (const settings::Reading* r = settings::lastgood())
        unit = settings::unitinfo(*r);
    settings::savefile(path, fields, unit);
    log(QStringLiteral(" Настройки сохранены в файл ") + QDir::toNativeSeparators(path));
}

void TForm1::loadsettings()
{
    const QString path = askfile(*this, false);
    if (path.isEmpty())
        return;
    // All or nothing: a file that cannot be taken raises before a control changes.
    setfields(settings::loadfile(path, getfields()));
    log(QStringLiteral(" Настройки загружены из файла ") + QDir::toNativeSeparators(path));
}

void TForm1::comparesettings()
{
    // The controls are taken as "Запись" takes them: a field it would refuse is reported as it
    // reports it, before a file is asked for.
    const auto shown = settings::keyvalues(getfields());
    const QString path = askfile(*this, false);
    if (path.isEmpty())
        return;
    const auto named = settings::filekeys(path);
    QList<std::pair<QString, int>> window;
    for (const auto& kv : shown)
        for (const auto& n : named)
            if (n.first == kv.first)
                window.append(kv);
    const QList<settings::Difference> found = settings::differences(named, window);
    if (found.isEmpty()) {
        log(QStringLiteral(" Настройки в окне совпадают с файлом ") + QDir::toNativeSeparators(path));
        return;
    }
    for (const settings::Difference& d : found)
        log(QStringLiteral(" %1: в файле %2, в окне %3")
                .arg(settings::keyplace(d.key))
                .arg(d.left.value_or(0))
                .arg(d.right.value_or(0)));
}
