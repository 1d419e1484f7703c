#ifndef PARVESTA_FILEPATHS_H
#define PARVESTA_FILEPATHS_H

#include <QString>

// Folder part of an 8-bit path, up to and including its last '/' or '\'.
QString DirectoryOf(const char* path);

// stem + the smallest N >= 1 + extension that names no file in folder.
QString UniqueFileName(QString folder, QString stem, QString extension);

#endif
