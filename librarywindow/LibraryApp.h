#pragma once
// "Ambrel --library [DIR...]" with a window: the folders given, else those remembered from the
// last time, else one asked for with the folder dialog. Needs a QApplication.

#include <QStringList>

namespace librarywindow {

int RunLibraryWindow(const QStringList& folders);

}  // namespace librarywindow
