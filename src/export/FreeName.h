#pragma once

#include <QString>

// The names a file saved as fileName may take in its folder: the name itself, then
// "name (2).txt", "name (3).txt", ... A file that is there already is never replaced, whatever
// appears meanwhile: a finished file is linked to a free name, which fails when the name is taken.
namespace FreeName {

// The copy-th name: copy 1 is fileName itself.
QString candidate(const QString& folder, const QString& fileName, qint64 copy);
// The first name nothing holds now.
QString firstFree(const QString& folder, const QString& fileName);

struct Claim {
    QString path;            // the name the file now has, or the file that already held its bytes
    bool heldBefore = false; // path held the same bytes already: nothing was added
    int error = 0;           // errno of a failed link, for the name in path
};

// Gives the finished file at temporaryPath the first free name as a second link, unless a file
// under one of the names before it holds the same bytes; the caller removes temporaryPath. On a
// file system without hard links the file is moved to that name instead.
Claim claim(const QString& temporaryPath, const QString& folder, const QString& fileName);

} // namespace FreeName
