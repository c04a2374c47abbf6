// makeicon: writes the program's icon, as the window draws it, to one PNG file a size, so that
// the desktop's menu shows the same picture as the window's title bar.
//
//   makeicon FOLDER SIZE...     writes FOLDER/SIZE.png for every SIZE given
//
// Every size asked for must be one the drawing provides exactly: a scaled copy of a neighbour
// would blur the thin strokes of the small sizes.
#include "ui/artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: makeicon FOLDER SIZE...\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "makeicon: cannot make %s\n", argv[1]);
        return 1;
    }
    const QIcon icon = programicon();
    const QList<QSize> drawn = icon.availableSizes();
    for (int i = 2; i < argc; ++i) {
        bool ok = false;
        const int s = QString::fromLatin1(argv[i]).toInt(&ok);
        if (!ok || !drawn.contains(QSize(s, s))) {
            std::fprintf(stderr, "makeicon: the icon is not drawn at size %s\n", argv[i]);
            return 1;
        }
        QPixmap pm = icon.pixmap(QSize(s, s));
        pm.setDevicePixelRatio(1);
        const QString file = QDir(folder).filePath(QStringLiteral("%1.png").arg(s));
        if (pm.size() != QSize(s, s) || !pm.save(file, "PNG")) {
            std::fprintf(stderr, "makeicon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
