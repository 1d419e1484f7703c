// Settings.ini in the program's folder: the engine's side of the file.
#include "CQuorvanta.h"

#include "Installation.h"
#include "SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString CQuorvanta::SettingsFilePath() const
{
    return Installation::ConfigFolder() + QStringLiteral("Settings.ini");
}

SettingsFile::Values CQuorvanta::SettingsValues() const
{
    SettingsFile::Values values;
    values.language = language;
    values.version = version;
    values.comSpeed = comSpeed;
    values.fixedPort = fixedPort;
    values.comPort = comPort;
    values.dataPath = DataPathBytes();
    values.virtualDevice = virtualDevice;
    values.virtualPort = virtualPort;
    return values;
}

void CQuorvanta::ApplySettings(const SettingsFile::Values& values)
{
    language = values.language;
    comSpeed = values.comSpeed;
    fixedPort = values.fixedPort;
    comPort = values.comPort;
    dataPath = QFile::decodeName(values.dataPath);
    storedDataPath = values.dataPath;
    virtualDevice = values.virtualDevice;
    virtualPort = values.virtualPort;
}

bool CQuorvanta::LoadSettings()
{
    SettingsFile::Values values = SettingsValues();
    QString path = SettingsFilePath();
    // An installed program's own Settings.ini holds the defaults a system's
    // administrator chose, for users who have none yet.
    if (!QFileInfo::exists(path) && !Installation::IsPortable())
        path = Installation::ProgramFolder() + QStringLiteral("Settings.ini");
    unreadSettings.clear();
    switch (SettingsFile::Load(QFile::encodeName(path), &values))
    {
    case SettingsFile::Found::Read:
        ApplySettings(values);
        return true;
    case SettingsFile::Found::Nothing:
        break;
    case SettingsFile::Found::NotUnderstood:
        // The user's own text, perhaps written by hand: it is not ours to
        // overwrite with defaults.
        unreadSettings = path;
        break;
    }
    return false;
}

QString CQuorvanta::SettingsNotice() const
{
    if (unreadSettings.isEmpty())
        return QString();
    return tr("Settings.ini could not be understood; it is kept as it is and the defaults are "
              "used.");
}

bool CQuorvanta::ReadSettings(FILE* file)
{
    SettingsFile::Values values = SettingsValues();
    if (!SettingsFile::Read(file, &values))
        return false;
    ApplySettings(values);
    return true;
}

bool CQuorvanta::SaveSettings()
{
    if (unreadSettings == SettingsFilePath())
        return false;
    QDir().mkpath(Installation::ConfigFolder()); // a new user's, on the first exit
    return SettingsFile::Save(QFile::encodeName(SettingsFilePath()), SettingsValues());
}

bool CQuorvanta::WriteSettings(FILE* file)
{
    return SettingsFile::Write(file, SettingsValues());
}

QByteArray CQuorvanta::DataPathBytes() const
{
    // A folder whose name is not UTF-8 has no exact text form: while the
    // folder is the one that was read or saved to, its own bytes stand.
    if (!storedDataPath.isEmpty() && QFile::decodeName(storedDataPath) == dataPath)
        return storedDataPath;
    const QByteArray bytes = QFile::encodeName(dataPath);
    return SettingsFile::Storable(bytes) ? bytes : storedDataPath;
}

bool CQuorvanta::DataPathKept() const
{
    return QFile::decodeName(DataPathBytes()) == dataPath;
}
