#include "Installation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>

#include <unistd.h>

namespace Installation
{
namespace
{
QString Share()
{
    return QDir::cleanPath(ProgramFolder() + QStringLiteral("../share/parvesta")) + '/';
}
} // namespace

bool IsPortable()
{
    // A folder the user may not write to is an installation. So is bin/ of a
    // prefix that holds the program's share folder, for root too, whom no
    // folder refuses.
    const QString program = ProgramFolder();
    if (::access(QFile::encodeName(program).constData(), W_OK) != 0)
        return false;
    return !(QDir(program).dirName() == QLatin1String("bin") && QFileInfo(Share()).isDir());
}

QString ProgramFolder()
{
    return QCoreApplication::applicationDirPath() + '/';
}

QString ConfigFolder()
{
    if (IsPortable())
        return ProgramFolder();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/parvesta/");
}

QString DataFolder()
{
    if (IsPortable())
        return QString();
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
           QStringLiteral("/Parvesta/");
}

QString ArchiveFolder()
{
    if (IsPortable())
        return ProgramFolder();
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/parvesta/");
}

QString ShareFolder()
{
    return IsPortable() ? ProgramFolder() : Share();
}

void LoadCatalogues(QTranslator* toolkit, QTranslator* program)
{
    if (IsPortable())
    {
        // The catalogues beside the program decide; without them, English.
        (void)toolkit->load(ProgramFolder() + QStringLiteral("qt_ru.qm"));
        (void)program->load(ProgramFolder() + QStringLiteral("quorvanta.qm"));
        return;
    }
    const QLocale locale = QLocale::system();
    if (program->load(locale, QStringLiteral("quorvanta"), QStringLiteral("_"),
                      Share() + QStringLiteral("translations")))
        (void)toolkit->load(locale, QStringLiteral("qt"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}
} // namespace Installation
