#ifndef PARVESTA_INSTALLATION_H
#define PARVESTA_INSTALLATION_H

#include <QString>

class QTranslator;

// Where the program finds its own files and keeps the user's, in one of two
// layouts chosen at start-up. Portable (a folder the user may write to: the
// build tree, a copy on a USB stick): everything beside the executable, the
// catalogues there choosing the language. Installed (bin/ of a system
// prefix): the user's Settings.ini and ports/ in $XDG_CONFIG_HOME/parvesta,
// results in the documents folder, help and catalogues in share/parvesta
// beside bin/, and the language of the desktop. Every folder ends in '/'.
namespace Installation
{
// True for the portable layout.
bool IsPortable();
// The executable's folder.
QString ProgramFolder();
// Where Settings.ini and the ports folder are kept.
QString ConfigFolder();
// The data folder a user starts with when the layout has its own: the
// documents folder's Parvesta/ when installed; empty when portable (the
// engine's translated "Data/" beside the program).
QString DataFolder();
// Where archive.sqlite is kept: beside the program, or $XDG_DATA_HOME/parvesta/.
QString ArchiveFolder();
// Help/ and the program's catalogues.
QString ShareFolder();

// Loads the catalogues of the layout: when portable, quorvanta.qm and
// qt_ru.qm beside the program, whatever they hold; when installed, the
// program's and Qt's own catalogues of the system's language, if there
// are any.
void LoadCatalogues(QTranslator* toolkit, QTranslator* program);
} // namespace Installation

#endif
