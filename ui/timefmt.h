#pragma once
#include <QDateTime>
#include <QLocale>
#include <QString>

// The log's time prefix: the system's long time format without a time-zone part
// (9:05:07 in a Russian locale).
QString timeprefix(const QTime& t, const QLocale& locale = QLocale::system());
// The log's date line: the system's short date format (09.12.2026 in a Russian locale).
QString dateline(const QDate& d, const QLocale& locale = QLocale::system());
