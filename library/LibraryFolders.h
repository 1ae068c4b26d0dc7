#pragma once
// The folders of the library: those the user named last, kept in the user's config folder
// (Ambrel/library.conf), so that "--library" and "--search" without folders, and the window,
// use the same library again.

#include <QString>
#include <QStringList>
#include <optional>

namespace library {

// The folders of the library as last given.
QStringList RememberedFolders();
// Keeps them (absolute, each once) for the next bare "--library".
void RememberFolders(const QStringList& folders);

// The library's folders: those given, which are then remembered for the next time, else the
// ones remembered. Nothing, with the message for the user in *error, when there are none.
std::optional<QStringList> ChooseLibraryFolders(const QStringList& given, QString* error);

// The index named last with --index (kept beside the folders; an address holds no password),
// or empty for the default file in the cache folder.
QString RememberedIndex();
// The index to use: the one given (then remembered), else the one remembered.
QString ChooseIndex(const QString& given);

}  // namespace library
