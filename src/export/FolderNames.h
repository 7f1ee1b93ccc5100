#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <QString>

// The names of the entries of a folder that are not folders themselves, in UTF-8, read in one pass
// without looking at each file, and the names added since. The names read are kept end to end in
// one block, so that a folder of many thousand files costs no allocation per name.
class FolderNames {
public:
    // Empty when the folder cannot be read.
    explicit FolderNames(const QString& folder);
    FolderNames(const FolderNames&) = delete;
    FolderNames& operator=(const FolderNames&) = delete;

    bool contains(QByteArrayView name) const { return names_.contains(name); }
    void insert(const QByteArray& name);

private:
    QByteArray read_;
    QList<QByteArray> added_;
    QSet<QByteArrayView> names_;
};
