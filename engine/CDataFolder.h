#ifndef PARVESTA_CDATAFOLDER_H
#define PARVESTA_CDATAFOLDER_H

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// The data folder, where results are saved: which folder it is at first,
// which folder a save starts in, and a path the save dialog gave as the
// bytes to write to. Its texts are the engine's, in the engine's catalogue
// context.
class CDataFolder
{
    Q_DECLARE_TR_FUNCTIONS(CQuorvanta)

public:
    // "Data/" (translated) in the program's folder appDir, or Parvesta/ in the
    // documents folder when the program is installed: the only data folder
    // the program makes itself.
    static QString Default(const QString& appDir);
    // The folder a save starts in: dataPath, or its nearest existing parent
    // when it is gone; a relative dataPath lies in appDir. Ends in '/'.
    static QString Existing(const QString& appDir, const QString& dataPath);
    // A path the save dialog gave, as the 8-bit name to write to: under the
    // data folder Settings.ini spells as storedDataPath, that folder's own
    // bytes, even where they are not UTF-8.
    static QByteArray Encode(const QString& path, const QByteArray& storedDataPath);
};

#endif
