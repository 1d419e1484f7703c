// Settings.ini in the program's folder: the engine's side of the file.
#include "CQuorvanta.h"

#include "Installation.h"
#include "LimitsFile.h"
#include "SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

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

CQuorvanta::UserSettings CQuorvanta::CurrentSettings() const
{
    UserSettings settings;
    settings.comSpeed = comSpeed;
    settings.fixedPort = fixedPort;
    settings.comPort = comPort;
    settings.dataPath = dataPath;
    settings.virtualDevice = virtualDevice;
    settings.virtualPort = virtualPort;
    return settings;
}

bool CQuorvanta::ChangeSettings(const UserSettings& settings)
{
    SettingsFile::Values values = SettingsValues();
    values.comSpeed = settings.comSpeed;
    values.fixedPort = settings.fixedPort;
    values.comPort = settings.fixedPort ? settings.comPort : comPort;
    values.dataPath = QFile::encodeName(settings.dataPath);
    values.virtualDevice = settings.virtualDevice;
    values.virtualPort = settings.virtualDevice ? settings.virtualPort : 0;
    const QByteArray path = QFile::encodeName(SettingsFilePath());
    savePath = path;
    saveError = FileError::None;
    saveSystemError = 0;
    // A folder with a line break in its name would become two settings.
    if (settings.comSpeed <= 0 || !SettingsFile::Storable(values.dataPath))
    {
        saveError = FileError::Other;
        saveSystemError = EINVAL;
        return false;
    }
    QDir().mkpath(Installation::ConfigFolder());
    if (!SettingsFile::Save(path, values, &saveError, &saveSystemError))
        return false;
    ApplySettings(values);
    fixedPortName.clear();
    // The file now holds what the user chose: it is ours to write at exit.
    unreadSettings.clear();
    return true;
}

QString CQuorvanta::PortFinding(int number) const
{
    CSearchReport report = SearchReport();
    QVector<PortOutcome> port;
    for (const PortOutcome& searched : report.ports)
        if (searched.number == number)
            port << searched;
    report.ports = port;
    return report.Details();
}

QString CQuorvanta::LimitsFilePath() const
{
    return Installation::ConfigFolder() + QStringLiteral("Limits.ini");
}

void CQuorvanta::LoadLimits()
{
    unreadLimits.clear();
    limits.clear();
    const QString path = LimitsFilePath();
    // Kept as it is for the user to see to: a job judged against half of
    // its limits would pass what should fail.
    if (LimitsFile::Load(QFile::encodeName(path), &limits) == LimitsFile::Found::NotUnderstood)
    {
        limits.clear();
        unreadLimits = path;
    }
}

QString CQuorvanta::LimitsNotice() const
{
    if (unreadLimits.isEmpty())
        return QString();
    return tr("Limits.ini could not be understood; it is kept as it is and no limits are used.");
}

bool CQuorvanta::ChangeLimits(const std::vector<Limit>& changed)
{
    const QByteArray path = QFile::encodeName(LimitsFilePath());
    savePath = path;
    saveError = FileError::None;
    saveSystemError = 0;
    // Nothing the file could not give back as it was given.
    if (!Limits::Valid(changed))
    {
        saveError = FileError::Other;
        saveSystemError = EINVAL;
        return false;
    }
    QDir().mkpath(Installation::ConfigFolder());
    if (!LimitsFile::Save(path, changed, &saveError, &saveSystemError))
        return false;
    limits = changed;
    // The file now holds what the user chose.
    unreadLimits.clear();
    return true;
}
