#pragma once

#include <QString>
#include <string>

// The Qt boundary for texts: the core keeps Windows-1251 bytes, widgets want QString.
QString FromCp(const std::string& cp1251);
std::string ToCp(const QString& text);
