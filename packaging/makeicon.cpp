// makeicon: writes the program's icon, as the window draws it, to one PNG file a size, so that
// the desktop's menu shows the same picture as the window's title bar.
//
//   makeicon FOLDER SIZE...       writes FOLDER/SIZE.png for every SIZE given
//   makeicon --ico FILE SIZE...   writes one Windows icon file holding every SIZE given
//
// Every size asked for must be one the drawing provides exactly: a scaled copy of a neighbour
// would blur the thin strokes of the small sizes.
#include "ui/artwork.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>

#include <QtEndian>

#include <cstdio>

namespace {

// A Windows .ico whose images are PNG files, which Windows reads since Vista: the sizes drawn
// exactly, with their alpha, and small.
QByteArray icofile(const QList<QPixmap>& images)
{
    auto le16 = [](QByteArray& b, quint16 v) { char c[2]; qToLittleEndian(v, c); b.append(c, 2); };
    auto le32 = [](QByteArray& b, quint32 v) { char c[4]; qToLittleEndian(v, c); b.append(c, 4); };
    QList<QByteArray> pngs;
    for (const QPixmap& pm : images) {
        QByteArray png;
        QBuffer buf(&png);
        buf.open(QIODevice::WriteOnly);
        if (!pm.save(&buf, "PNG"))
            return {};
        pngs.append(png);
    }
    QByteArray out;
    le16(out, 0);
    le16(out, 1); // an icon, not a cursor
    le16(out, quint16(images.size()));
    quint32 offset = quint32(6 + 16 * images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        const int s = images[i].width();
        out.append(char(s >= 256 ? 0 : s)).append(char(s >= 256 ? 0 : s)); // 0 stands for 256
        out.append(char(0)).append(char(0));                              // no palette
        le16(out, 1);                                                      // planes
        le16(out, 32);                                                     // bits a pixel
        le32(out, quint32(pngs[i].size()));
        le32(out, offset);
        offset += quint32(pngs[i].size());
    }
    for (const QByteArray& png : pngs)
        out += png;
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: makeicon FOLDER SIZE...\n");
        return 2;
    }
    const bool ico = qstrcmp(argv[1], "--ico") == 0;
    if (ico) {
        ++argv;
        --argc;
        if (argc < 3) {
            std::fprintf(stderr, "usage: makeicon --ico FILE SIZE...\n");
            return 2;
        }
    }
    const QString folder = ico ? QFileInfo(QString::fromLocal8Bit(argv[1])).absolutePath()
                               : QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "makeicon: cannot make %s\n", argv[1]);
        return 1;
    }
    const QIcon icon = programicon();
    const QList<QSize> drawn = icon.availableSizes();
    QList<QPixmap> images;
    for (int i = 2; i < argc; ++i) {
        bool ok = false;
        const int s = QString::fromLatin1(argv[i]).toInt(&ok);
        if (!ok || !drawn.contains(QSize(s, s))) {
            std::fprintf(stderr, "makeicon: the icon is not drawn at size %s\n", argv[i]);
            return 1;
        }
        QPixmap pm = icon.pixmap(QSize(s, s));
        pm.setDevicePixelRatio(1);
        if (ico) {
            if (pm.size() != QSize(s, s)) {
                std::fprintf(stderr, "makeicon: the icon is not drawn at size %s\n", argv[i]);
                return 1;
            }
            images.append(pm);
            continue;
        }
        const QString file = QDir(folder).filePath(QStringLiteral("%1.png").arg(s));
        if (pm.size() != QSize(s, s) || !pm.save(file, "PNG")) {
            std::fprintf(stderr, "makeicon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    if (ico) {
        const QByteArray bytes = icofile(images);
        QFile f(QString::fromLocal8Bit(argv[1]));
        if (bytes.isEmpty() || !f.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || f.write(bytes) != bytes.size() || !f.flush()) {
            std::fprintf(stderr, "makeicon: cannot write %s\n", argv[1]);
            return 1;
        }
    }
    return 0;
}
