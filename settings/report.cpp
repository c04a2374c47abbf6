#include "settings/report.h"
#include "settings/image.h"
#include "settings/settingsfile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <QAbstractTextDocumentLayout>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace report {

namespace {

using settings::FileError;

// The writer's pixels: 300 per inch is fine enough for hairlines and small enough for the
// document's integer metrics.
constexpr int Dpi = 300;

// A length in points as the document takes it: its layout counts margins, borders and padding
// in pixels of a 96-dpi screen and scales them to the paint device itself.
double pt(double points)
{
    return points * 96.0 / 72.0;
}

// A length in points in the writer's pixels, for what is painted directly.
double devpt(double points)
{
    return points * Dpi / 72.0;
}

QString filepart(const QString& path)
{
    return QStringLiteral("Файл \"") + QDir::toNativeSeparators(path) + QLatin1Char('"');
}

QString valuetext(const QVariant& v)
{
    // An unquoted comma makes QSettings split the value into a list.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

QList<std::pair<QString, QString>> section(QSettings& ini, const QString& name)
{
    QList<std::pair<QString, QString>> out;
    ini.beginGroup(name);
    // In QSettings' sorted order; inorder() puts them back as the file has them.
    for (const QString& key : ini.childKeys())
        out.append({key, valuetext(ini.value(key))});
    ini.endGroup();
    return out;
}

// The keys of a section in the order the file has them: a record reads as it was written.
QStringList fileorder(const QByteArray& bytes, const QString& name)
{
    QStringList keys;
    bool inside = false;
    for (QByteArray line : bytes.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            inside = line == '[' + name.toUtf8() + ']';
            continue;
        }
        const int eq = line.indexOf('=');
        if (inside && eq > 0 && !line.startsWith(';') && !line.startsWith('#'))
            keys.append(QString::fromUtf8(line.left(eq).trimmed()));
    }
    return keys;
}

void inorder(QList<std::pair<QString, QString>>& entries, const QStringList& order)
{
    std::stable_sort(entries.begin(), entries.end(), [&](const auto& a, const auto& b) {
        const auto at = [&](const QString& k) {
            const qsizetype i = order.indexOf(k);
            return i < 0 ? order.size() : i;
        };
        return at(a.first) < at(b.first);
    });
}

// ---------------------------------------------------------------------------------------------
// Texts

QString unitcaption(const QString& key)
{
    static const std::pair<const char*, const char*> names[] = {
        {"firmware", "Версия ПО Блока"}, {"type", "Тип устройства"},
        {"startups", "Количество запусков"}, {"port", "COM-порт"}, {"read_at", "Время чтения"}};
    for (const auto& [k, n] : names)
        if (key == QLatin1String(k))
            return QString::fromUtf8(n);
    return key;
}

QString readingcaption(const QString& key)
{
    // The captions of the diagnostic panel's fields.
    static const std::pair<const char*, const char*> names[] = {
        {"ppk1", "ППК1"}, {"ppk2", "ППК2"}, {"gochs", "ГОиЧС"}, {"adc", "ADC"},
        {"light", "LIGHT"}, {"power", "Power"}, {"polled_at", "Время опроса"}};
    for (const auto& [k, n] : names)
        if (key == QLatin1String(k))
            return QString::fromUtf8(n);
    return key;
}

const std::pair<const char*, const char*> Slots[] = {
    {"ppk1", "Сообщение ППК1"}, {"ppk2", "Сообщение ППК2"}, {"siren", "Сирена"}};

const std::pair<const char*, const char*> SoundFields[] = {
    {"file", "Файл"}, {"size", "Размер, байт"}, {"sha256", "SHA-256"}, {"format", "Формат"},
    {"rate", "Частота дискретизации, Гц"}, {"bits", "Разрядность, бит"},
    {"channels", "Каналов"}, {"duration_ms", "Длительность"}, {"blocks", "Блоков"},
    {"uploaded_at", "Время записи"}};

// "10.12.2026 15:59:54 UTC+03:00" from the files' ISO 8601; anything else as it stands.
QString timetext(const QString& iso)
{
    const QDateTime t = QDateTime::fromString(iso, Qt::ISODate);
    if (!t.isValid() || iso.size() < 10)
        return iso;
    // The offset as a number: a zone's abbreviation means little on another machine.
    const int offset = t.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    const QString zone = QStringLiteral("UTC%1%2:%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                             .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    return t.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss ")) + zone;
}

QString durationtext(const QString& ms)
{
    bool ok = false;
    const qlonglong v = ms.toLongLong(&ok);
    if (!ok || v < 0)
        return ms;
    return QStringLiteral("%1,%2 с").arg(v / 1000).arg(v % 1000, 3, 10, QLatin1Char('0'));
}

QString soundvalue(const QString& field, const QString& value)
{
    if (field == QLatin1String("uploaded_at"))
        return timetext(value);
    if (field == QLatin1String("duration_ms"))
        return durationtext(value);
    return value;
}

QString unitvalue(const QString& key, const QString& value)
{
    return key == QLatin1String("read_at") ? timetext(value) : value;
}

QString lookup(const QList<std::pair<QString, QString>>& entries, const QString& key)
{
    for (const auto& [k, v] : entries)
        if (k == key)
            return v;
    return {};
}

// ---------------------------------------------------------------------------------------------
// The document

// The report's face: DejaVu Sans from its file, whatever fontconfig would choose for the name.
QString family()
{
    static const QString name = [] {
        const char* const folders[] = {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/TTF",
                                       "/usr/share/fonts/dejavu-sans-fonts", "/usr/share/fonts/dejavu"};
        for (const char* folder : folders) {
            const QString dir = QString::fromLatin1(folder);
            const int id = QFontDatabase::addApplicationFont(dir + QStringLiteral("/DejaVuSans.ttf"));
            if (id < 0)
                continue;
            QFontDatabase::addApplicationFont(dir + QStringLiteral("/DejaVuSans-Bold.ttf"));
            const QStringList families = QFontDatabase::applicationFontFamilies(id);
            if (!families.isEmpty())
                return families.first();
        }
        return QStringLiteral("DejaVu Sans");
    }();
    return name;
}

const QColor HeaderShade(0xE4, 0xE4, 0xE4);
const QColor GroupShade(0xF2, 0xF2, 0xF2);
const QColor ChangedShade(0xFF, 0xF0, 0xB0);

// A run of pages laid out as one document.  Every run begins on a page of its own: a page break
// inside one document leaves the block after it reaching back onto the page before, where the
// PDF would carry its text clipped but still there for a search or a copy.
struct Run {
    std::unique_ptr<QTextDocument> doc;
    QTextTable* trailing = nullptr; // the table the document ends with, if it does
};

class Builder {
public:
    explicit Builder(QPaintDevice* device) : device_(device) {}

    std::vector<Run>& runs() { return runs_; }

    // Starts a new page.
    void newpage()
    {
        Run r;
        r.doc = std::make_unique<QTextDocument>();
        QTextDocument& doc = *r.doc;
        doc.documentLayout()->setPaintDevice(device_);
        QFont f(family());
        f.setPointSizeF(9);
        f.setStyleStrategy(QFont::PreferNoShaping);
        doc.setDefaultFont(f);
        // A path or a SHA-256 has no space to break at: it wraps anywhere rather than run out
        // of its cell.
        QTextOption wrap;
        wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        doc.setDefaultTextOption(wrap);
        doc.setDocumentMargin(0);
        cursor_ = QTextCursor(&doc);
        runs_.push_back(std::move(r));
        first_ = fresh_ = true;
    }

    void heading(const QString& text, double size)
    {
        QTextBlockFormat b;
        b.setTopMargin(first_ ? 0 : pt(14));
        b.setBottomMargin(pt(6));
        block(b);
        cursor_.insertText(text, charformat(size, true));
    }

    void paragraph(const QString& text, double above = 0)
    {
        QTextBlockFormat b;
        b.setTopMargin(pt(above));
        b.setBottomMargin(pt(3));
        block(b);
        cursor_.insertText(text, charformat(9, false));
    }

    // A table with a header row repeated on every page it runs over; widths in per cent.
    QTextTable* table(const QStringList& header, const QList<double>& widths, int rows)
    {
        QTextBlockFormat b;
        b.setTopMargin(pt(4));
        block(b);
        QTextTableFormat t;
        t.setHeaderRowCount(1);
        t.setBorder(pt(0.75));
        t.setBorderBrush(QColor(0x80, 0x80, 0x80));
        t.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        t.setBorderCollapse(true);
        t.setCellSpacing(0);
        t.setCellPadding(pt(2));
        t.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        QList<QTextLength> columns;
        for (double w : widths)
            columns.append(QTextLength(QTextLength::PercentageLength, w));
        t.setColumnWidthConstraints(columns);
        // What follows a table keeps its distance by the table's margin: the layout does not
        // apply the top margin of the block right after a table.
        t.setBottomMargin(pt(12));
        QTextTable* table = cursor_.insertTable(rows + 1, int(header.size()), t);
        for (int c = 0; c < header.size(); ++c)
            cell(table, 0, c, header[c], true, HeaderShade);
        cursor_.movePosition(QTextCursor::End);
        fresh_ = true;
        runs_.back().trailing = table;
        return table;
    }

    void cell(QTextTable* table, int row, int column, const QString& text, bool bold = false,
              const QColor& shade = QColor())
    {
        QTextTableCell c = table->cellAt(row, column);
        if (shade.isValid()) {
            QTextTableCellFormat f = c.format().toTableCellFormat();
            f.setBackground(shade);
            c.setFormat(f);
        }
        c.firstCursorPosition().insertText(text, charformat(9, bold));
    }

    // A row across the whole table naming the group of the rows below it.
    void group(QTextTable* table, int row, const QString& text)
    {
        table->mergeCells(row, 0, 1, table->columns());
        cell(table, row, 0, text, true, GroupShade);
    }

    // A two-column table of captions and values.
    void pairs(const QStringList& header, const QList<std::pair<QString, QString>>& rows)
    {
        QTextTable* t = table(header, {40, 60}, int(rows.size()));
        for (int i = 0; i < rows.size(); ++i) {
            cell(t, i + 1, 0, rows[i].first);
            cell(t, i + 1, 1, rows[i].second);
        }
    }

private:
    QTextCharFormat charformat(double size, bool bold)
    {
        QTextCharFormat f;
        f.setFontFamilies({family()});
        // No ligatures: "fi" in a key must come out of the PDF as the two letters, for a search
        // or a copy into a settings file.
        f.setFontStyleStrategy(QFont::PreferNoShaping);
        f.setFontPointSize(size);
        f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
        return f;
    }

    void block(const QTextBlockFormat& format)
    {
        // The document's first block and the one a table leaves after itself are empty and
        // taken as they are: an inserted one would stand as a blank line.
        if (fresh_)
            cursor_.setBlockFormat(format);
        else
            cursor_.insertBlock(format);
        first_ = fresh_ = false;
        runs_.back().trailing = nullptr;
    }

    QPaintDevice* device_;
    std::vector<Run> runs_;
    QTextCursor cursor_;
    bool first_ = true;
    bool fresh_ = true;
};

QString value(const settings::KeyCaption& k, int v)
{
    if (k.flag)
        return v ? QStringLiteral("да") : QStringLiteral("нет");
    return QString::number(v);
}

QString filename(const Unit& u)
{
    return u.file.isEmpty() ? QStringLiteral("окно программы") : QDir::toNativeSeparators(u.file);
}

void titlepage(Builder& b, const QList<Unit>& units, const QString& title, const QDateTime& made)
{
    b.newpage();
    b.heading(title, 15);
    b.paragraph(QStringLiteral("Дата: ") + made.toString(QStringLiteral("dd.MM.yyyy")));
    b.paragraph(QStringLiteral("Блоков: %1").arg(units.size()));
    QTextTable* t = b.table({QStringLiteral("Файл"), QStringLiteral("Порт"), QStringLiteral("Адрес"),
                             QStringLiteral("Зона"), QStringLiteral("Версия ПО"),
                             QStringLiteral("Запусков"), QStringLiteral("Прочитан")},
                            {22, 9, 9, 8, 12, 12, 28}, int(units.size()));
    for (int i = 0; i < units.size(); ++i) {
        const Unit& u = units[i];
        const auto values = settings::keyvalues(u.fields);
        b.cell(t, i + 1, 0, filename(u));
        b.cell(t, i + 1, 1, lookup(u.record, QStringLiteral("port")));
        b.cell(t, i + 1, 2, QString::number(values[0].second));
        b.cell(t, i + 1, 3, QString::number(values[1].second));
        b.cell(t, i + 1, 4, lookup(u.record, QStringLiteral("firmware")));
        b.cell(t, i + 1, 5, lookup(u.record, QStringLiteral("startups")));
        b.cell(t, i + 1, 6, timetext(lookup(u.record, QStringLiteral("read_at"))));
    }
    // Room for the hand-over: the papers are signed by the one who set the units up.
    b.paragraph(QStringLiteral("Наладку выполнил: ______________________________  "
                               "(подпись, фамилия, инициалы)"),
                24);
    b.paragraph(QStringLiteral("Дата: ____________________"));
}

// The window's frames in the order the eye meets them: by columns, left to right.
const char* const FrameOrder[] = {"Табло", "Установки Табло", "Оповещения", "Разрешение контроля",
                                  "Входов управления", "Реле \"РАБОТА\"", "Сеть ВИРЕЛАН2",
                                  "Звуковые сообщения"};

void settingstable(Builder& b, const Unit& u)
{
    const QList<settings::KeyCaption> keys = settings::keycaptions();
    const auto values = settings::keyvalues(u.fields);
    const auto factory = settings::keyvalues(settings::factoryfields());
    QStringList frames;
    for (const char* f : FrameOrder)
        frames.append(QString::fromUtf8(f));
    for (const auto& k : keys)
        if (!frames.contains(k.frame))
            frames.append(k.frame);

    int changed = 0;
    for (int i = 0; i < keys.size(); ++i)
        changed += values[i].second != factory[i].second;
    b.heading(QStringLiteral("Настройки"), 11);
    b.paragraph(changed == 0
                    ? QStringLiteral("Все значения совпадают с заводскими.")
                    : QStringLiteral("Отличаются от заводских: %1 из %2; такие значения выделены, "
                                     "заводское значение указано рядом.")
                          .arg(changed)
                          .arg(keys.size()));

    QTextTable* t = b.table({QStringLiteral("Параметр"), QStringLiteral("Ключ"),
                             QStringLiteral("Значение"), QStringLiteral("Заводское")},
                            {38, 32, 15, 15}, int(keys.size() + frames.size()));
    int row = 1;
    for (const QString& frame : frames) {
        b.group(t, row++, frame);
        for (int i = 0; i < keys.size(); ++i) {
            if (keys[i].frame != frame)
                continue;
            const bool differs = values[i].second != factory[i].second;
            const QColor shade = differs ? ChangedShade : QColor();
            b.cell(t, row, 0, keys[i].caption, false, shade);
            b.cell(t, row, 1, keys[i].key, false, shade);
            b.cell(t, row, 2, value(keys[i], values[i].second), differs, shade);
            b.cell(t, row, 3, differs ? value(keys[i], factory[i].second) : QString(), false, shade);
            ++row;
        }
    }
}

void soundstable(Builder& b, const Unit& u)
{
    b.heading(QStringLiteral("Звуковые сообщения"), 11);
    if (u.sounds.isEmpty()) {
        b.paragraph(QStringLiteral("Сведений о записанном звуке нет."));
        return;
    }
    // Rows grouped by slot: the slots in their order, then whatever else the section holds.
    struct Row {
        QString group, caption, value;
    };
    QList<Row> rows;
    QStringList taken;
    for (const auto& [slot, name] : Slots) {
        const QString prefix = QLatin1String(slot) + QLatin1Char('_');
        bool any = false;
        for (const auto& [k, v] : u.sounds)
            any = any || k.startsWith(prefix);
        if (!any)
            continue;
        for (const auto& [field, caption] : SoundFields) {
            const QString key = prefix + QLatin1String(field);
            for (const auto& [k, v] : u.sounds)
                if (k == key) {
                    rows.append({QString::fromUtf8(name), QString::fromUtf8(caption),
                                 soundvalue(QLatin1String(field), v)});
                    taken.append(k);
                }
        }
        for (const auto& [k, v] : u.sounds)
            if (k.startsWith(prefix) && !taken.contains(k)) {
                rows.append({QString::fromUtf8(name), k.mid(prefix.size()), v});
                taken.append(k);
            }
    }
    for (const auto& [k, v] : u.sounds)
        if (!taken.contains(k))
            rows.append({QStringLiteral("Прочее"), k, v});

    QStringList groups;
    for (const Row& r : rows)
        if (!groups.contains(r.group))
            groups.append(r.group);
    QTextTable* t = b.table({QStringLiteral("Параметр"), QStringLiteral("Значение")}, {35, 65},
                            int(rows.size() + groups.size()));
    int row = 1;
    for (const QString& g : groups) {
        b.group(t, row++, g);
        for (const Row& r : rows)
            if (r.group == g) {
                b.cell(t, row, 0, r.caption);
                b.cell(t, row, 1, r.value);
                ++row;
            }
    }
}

void unitpages(Builder& b, const Unit& u)
{
    const auto values = settings::keyvalues(u.fields);
    b.newpage();
    b.heading(QStringLiteral("Блок: адрес %1, зона %2").arg(values[0].second).arg(values[1].second),
              13);
    b.paragraph(QStringLiteral("Файл: ") + filename(u));

    b.heading(QStringLiteral("Блок при чтении"), 11);
    QList<std::pair<QString, QString>> record;
    for (const auto& [k, v] : u.record)
        record.append({unitcaption(k), unitvalue(k, v)});
    b.pairs({QStringLiteral("Параметр"), QStringLiteral("Значение")}, record);

    settingstable(b, u);

    // The readings and the sounds begin a page of their own: a heading left alone at the foot
    // of the settings' page would read as the end of the unit.
    b.newpage();
    b.heading(QStringLiteral("Показания линии"), 11);
    if (u.readings.isEmpty()) {
        b.paragraph(QStringLiteral("Показания не записаны."));
    } else {
        QList<std::pair<QString, QString>> readings;
        for (const auto& [k, v] : u.readings)
            readings.append({readingcaption(k),
                             k == QLatin1String("polled_at") ? timetext(v) : v});
        b.pairs({QStringLiteral("Показание"), QStringLiteral("Значение")}, readings);
    }

    soundstable(b, u);
}

// The pages a run fills.  A document always ends with a block; after a table that ends at the
// foot of a page that empty block alone would make a blank page.
int usedpages(const Run& r, double height)
{
    const int pages = r.doc->pageCount();
    if (!r.trailing)
        return pages;
    // The foot of the table's last row, without the margin below the table.
    double bottom = 0;
    const int last = r.trailing->rows() - 1;
    for (int c = 0; c < r.trailing->columns(); ++c) {
        const QTextBlock b = r.trailing->cellAt(last, c).lastCursorPosition().block();
        bottom = std::max(bottom, r.doc->documentLayout()->blockBoundingRect(b).bottom());
    }
    return std::clamp(int(std::ceil(bottom / height - 1e-6)), 1, pages);
}

QString isotime(const QDateTime& t)
{
    if (!t.isValid())
        return QString();
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
}

} // namespace

Unit takefile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw FileError(filepart(path) + QStringLiteral(" не найден."));
    if (info.isDir())
        throw FileError(filepart(path) + QStringLiteral(" - это папка, а не файл настроек."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(filepart(path) + QStringLiteral(" не удалось прочитать: нет доступа."));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(filepart(path) + QStringLiteral(" не удалось прочитать."));
    file.close();
    // The same scan as every other reader of settings files: a key given twice, a key spelt
    // otherwise or a value out of its field is refused here too, where QSettings would merge
    // or take it silently.
    settings::loadfile(path, settings::factoryfields());

    // QSettings caches the files it has read for the whole process, trusting size and time:
    // a private copy of the bytes is parsed anew.
    QTemporaryFile copy;
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush())
        throw FileError(filepart(path) + QStringLiteral(" не удалось прочитать."));
    copy.close();
    QSettings ini(copy.fileName(), QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        throw FileError(filepart(path) + QStringLiteral(" не читается как файл настроек INI."));

    Unit u;
    u.file = path;
    const auto given = section(ini, QStringLiteral("settings"));
    QStringList missing;
    for (const auto& k : settings::keycaptions()) {
        bool found = false;
        for (const auto& [key, v] : given)
            found = found || key == k.key;
        if (!found)
            missing.append(k.key);
    }
    if (given.isEmpty())
        throw FileError(filepart(path) + QStringLiteral(": нет раздела [settings]."));
    if (!missing.isEmpty())
        throw FileError(filepart(path) + QStringLiteral(": в разделе [settings] нет ключей %1 из %2: ")
                            .arg(missing.size())
                            .arg(settings::keycaptions().size())
                        + missing.join(QStringLiteral(", ")) + QLatin1Char('.'));
    for (const auto& [key, v] : given) {
        try {
            u.fields = settings::setkey(u.fields, key + QLatin1Char('=') + v);
        } catch (const FileError& e) {
            throw FileError(filepart(path) + QStringLiteral(": ") + e.message());
        }
    }
    u.record = section(ini, QStringLiteral("unit"));
    if (u.record.isEmpty())
        throw FileError(filepart(path) + QStringLiteral(": нет раздела [unit] - файл записан не "
                                                        "после чтения блока."));
    u.readings = section(ini, QStringLiteral("readings"));
    u.sounds = section(ini, QStringLiteral("sounds"));
    inorder(u.record, fileorder(bytes, QStringLiteral("unit")));
    inorder(u.readings, fileorder(bytes, QStringLiteral("readings")));
    inorder(u.sounds, fileorder(bytes, QStringLiteral("sounds")));
    return u;
}

Unit fromwindow(const settings::Fields& fields, const settings::UnitInfo& info)
{
    Unit u;
    u.fields = fields;
    u.record = {{QStringLiteral("firmware"), info.firmware},
                {QStringLiteral("type"), info.type},
                {QStringLiteral("startups"), info.startups},
                {QStringLiteral("port"), info.port},
                {QStringLiteral("read_at"), isotime(info.readAt)}};
    return u;
}

QByteArray pdf(const QList<Unit>& units, const QString& title, const QDateTime& made)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&out);
        writer.setResolution(Dpi);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(20, 15, 15, 12), QPageLayout::Millimeter));
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("virelan2"));

        Builder b(&writer);
        titlepage(b, units, title, made);
        for (const Unit& u : units)
            unitpages(b, u);

        const QRect paper = writer.pageLayout().paintRectPixels(Dpi);
        const double footer = devpt(18);
        const QSizeF body(paper.width(), paper.height() - footer);
        // Each run's pages, in the order they are printed: the run, and its page.
        QList<std::pair<const Run*, int>> sheets;
        for (const Run& r : b.runs()) {
            r.doc->setPageSize(body);
            for (int i = 0; i < usedpages(r, body.height()); ++i)
                sheets.append({&r, i});
        }

        QPainter p;
        if (!p.begin(&writer))
            throw FileError(QStringLiteral("Не удалось начать документ PDF."));
        QFont small(family());
        small.setPointSizeF(7.5);
        small.setStyleStrategy(QFont::PreferNoShaping);
        const int pages = int(sheets.size());
        for (int n = 0; n < pages; ++n) {
            if (n > 0)
                writer.newPage();
            const int i = sheets[n].second;
            p.save();
            p.translate(0, -i * body.height());
            sheets[n].first->doc->drawContents(&p, QRectF(0, i * body.height(), body.width(), body.height()));
            p.restore();
            p.setFont(small);
            p.setPen(QColor(0x60, 0x60, 0x60));
            const QRectF foot(0, body.height() + devpt(6), body.width(), footer - devpt(6));
            p.drawLine(QPointF(0, foot.top()), QPointF(body.width(), foot.top()));
            p.drawText(foot, Qt::AlignLeft | Qt::AlignBottom, title);
            p.drawText(foot, Qt::AlignRight | Qt::AlignBottom,
                       QStringLiteral("Страница %1 из %2").arg(n + 1).arg(pages));
        }
        p.end();
    }
    return out.data();
}

void savepdf(const QString& path, const QList<Unit>& units, const QString& title,
             const QDateTime& made)
{
    const QByteArray bytes = pdf(units, title, made);
    const QFileInfo info(path);
    if (info.isDir())
        throw FileError(filepart(path) + QStringLiteral(" не удалось записать: это папка."));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        const QString why = !QFileInfo(info.absolutePath()).isDir()
                                ? QStringLiteral("папки \"%1\" нет.").arg(QDir::toNativeSeparators(info.absolutePath()))
                                : QStringLiteral("нет доступа.");
        throw FileError(filepart(path) + QStringLiteral(" не удалось записать: ") + why);
    }
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw FileError(filepart(path) + QStringLiteral(" не удалось записать: ") + file.errorString());
}

} // namespace report
