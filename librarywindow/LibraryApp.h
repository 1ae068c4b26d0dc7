#pragma once
// "Ambrel --library [DIR...]" with a window: the folders given, else those remembered from the
// last time, else one asked for with the folder dialog. Needs a QApplication.

#include <QString>
#include <QStringList>

namespace librarywindow {

// index: what --index named (empty: the one remembered, else the cache file).
int RunLibraryWindow(const QStringList& folders, const QString& index = QString());

}  // namespace librarywindow
