#ifndef PARVESTA_TEST_SETTINGS_H
#define PARVESTA_TEST_SETTINGS_H

#include <QCoreApplication>
#include <QFile>
#include <QString>

// Settings.ini beside the test program, where the program looks for it.
inline QString SettingsPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Settings.ini");
}

// The seven lines of Settings.ini as the program writes them.
inline QByteArray SevenLines(const QByteArray& speed, const QByteArray& port, const QString& folder,
                             const QByteArray& virtualDevice = "No",
                             const QByteArray& language = "Eng", const QByteArray& version = "3.0")
{
    return "Quorvanta Settings File\r\nLanguage:" + language + "\r\nVersion:" + version +
           "\r\nCOMSpeed:" + speed + "\r\nCOMPort:" + port +
           "\r\nDataPath:" + QFile::encodeName(folder) + "\r\nVirtualDevice:" + virtualDevice +
           "\r\n";
}

#endif
