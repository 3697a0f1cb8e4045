#pragma once

#include <QString>
#include <QTime>
#include <string>

#include "base/DateTime.h"

// The Qt boundary for texts: the core keeps Windows-1251 bytes, widgets want QString.
QString FromCp(const std::string& cp1251);
std::string ToCp(const QString& text);

// The same boundary for the time pickers: the core keeps a time of day (or a span under
// a day) as a DateTime, QTimeEdit wants a QTime. Seconds are the finest step both ways.
QTime ToQTime(const DateTime& t);
DateTime FromQTime(const QTime& t);
