// Settings.ini in the program's folder: the engine's side of the file.
#include "CQuorvanta.h"

#include "SettingsFile.h"

QString CQuorvanta::SettingsFilePath() const
{
    return appDir + QStringLiteral("Settings.ini");
}

SettingsFile::Values CQuorvanta::SettingsValues() const
{
    SettingsFile::Values values;
    values.language = language;
    values.version = version;
    values.comSpeed = comSpeed;
    values.fixedPort = fixedPort;
    values.comPort = comPort;
    values.dataPath = dataPath;
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
    dataPath = values.dataPath;
    virtualDevice = values.virtualDevice;
    virtualPort = values.virtualPort;
}

bool CQuorvanta::LoadSettings()
{
    SettingsFile::Values values = SettingsValues();
    if (!SettingsFile::Load(SettingsFilePath().toUtf8(), &values))
        return false;
    ApplySettings(values);
    return true;
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
    return SettingsFile::Save(SettingsFilePath().toUtf8(), SettingsValues());
}

bool CQuorvanta::WriteSettings(FILE* file)
{
    return SettingsFile::Write(file, SettingsValues());
}
