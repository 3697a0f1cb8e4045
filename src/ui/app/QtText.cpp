#include "app/QtText.h"

#include "base/Cp1251.h"

QString FromCp(const std::string& cp1251) {
    return QString::fromStdString(Cp1251::ToUtf8(cp1251));
}

std::string ToCp(const QString& text) {
    return Cp1251::FromUtf8(text.toStdString());
}

QTime ToQTime(const DateTime& t) {
    const CalendarFields f = t.ToCalendar();
    return QTime(f.hour, f.minute, f.second);
}

DateTime FromQTime(const QTime& t) {
    return DateTime::FromTimeOfDay(t.hour(), t.minute(), t.second());
}
