// Where results are saved: the default data folder, the folder a save
// starts in, and the bytes of a folder name the dialog cannot spell.
#include "CDataFolder.h"

#include "Installation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString CDataFolder::Default(const QString& appDir)
{
    const QString installed = Installation::DataFolder();
    return installed.isEmpty() ? appDir + tr("Data/") : installed;
}

QString CDataFolder::Existing(const QString& appDir, const QString& dataPath)
{
    // A folder on a drive that was taken away: its nearest parent that is
    // still there, never a folder made anew under the mount point. A folder
    // Settings.ini names without its full path lies in the program's folder,
    // wherever the program was started from.
    QString folder = QDir::cleanPath(QDir(appDir).filePath(dataPath));
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath() && folder.contains('/'))
        folder = QFileInfo(folder).path();
    return QFileInfo(folder).isDir() ? QDir(folder).absolutePath() + '/' : QString();
}

QByteArray CDataFolder::Encode(const QString& path, const QByteArray& storedDataPath)
{
    // The dialog gives the data folder back in the form it got it; a name
    // that is not UTF-8 goes to disk in its own bytes again.
    const QString stored = QFile::decodeName(storedDataPath);
    if (!storedDataPath.isEmpty() && QFile::encodeName(stored) != storedDataPath &&
        path.startsWith(stored))
        return storedDataPath + QFile::encodeName(path.mid(stored.size()));
    return QFile::encodeName(path);
}
