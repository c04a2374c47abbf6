#include "ui/opendialog.h"

#include <QFileDialog>
#include <QFileInfo>

bool OpenDialog::Execute(QWidget* parent)
{
    QFileDialog dlg(parent);
    // Qt's own dialog: the same on every desktop and under test, and it never moves the
    // working directory (where "log.txt" lives).
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setNameFilter(Filter);
    dlg.setObjectName(QStringLiteral("OpenDialog1"));
    if (!InitialDir.isEmpty())
        dlg.setDirectory(InitialDir);
    if (!FileName.isEmpty())
        dlg.selectFile(FileName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    FileName = dlg.selectedFiles().constFirst();
    return true;
}
