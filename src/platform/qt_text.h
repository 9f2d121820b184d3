// Text crosses between the program's byte strings and the toolkit's strings as UTF-8.
#pragma once

#include <QString>

#include <string>

namespace groovane {

inline QString toQString(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

inline std::string fromQString(const QString& s)
{
    return s.toUtf8().toStdString();
}

} // namespace groovane
