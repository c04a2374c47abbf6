#pragma once
#include <QIcon>
#include <QPixmap>

// The picture of the control unit shown after the first connect, and the program's icon;
// both drawn here so that they scale cleanly to any size.
QPixmap unitpicture(const QSize& size);
QIcon programicon();
