#include "FilePaths.h"

#include <QFileInfo>

QString DirectoryOf(const char* path)
{
    if (!path)
        return QString();
    const char* lastSeparator = nullptr;
    for (const char* p = path; *p; ++p)
    {
        if (*p == '/' || *p == '\\')
            lastSeparator = p;
    }
    if (!lastSeparator)
        return QString();
    return QString::fromLocal8Bit(path, int(lastSeparator - path + 1));
}

QString UniqueFileName(QString folder, QString stem, QString extension)
{
    for (qint64 n = 1;; ++n)
    {
        const QString name = stem + QString::number(n) + extension;
        if (!QFileInfo::exists(folder + name))
            return name;
    }
}
