#pragma once

#include <QString>

class QMessageBox;

// The desktop's file manager.
namespace FileManager {

// Shows the file selected in the file manager (the freedesktop FileManager1
// interface); where no file manager answers, opens the folder that holds it
// (see openFolder).
void reveal(const QString& path);

// Opens a folder with the desktop's opener, xdg-open. When there is none,
// or it fails, a message tells the folder's path, ready to be copied, so
// the user is never left with nothing happening.
void openFolder(const QString& folder);

// That message, over the active window; it closes itself.
QMessageBox* tellFolder(const QString& folder);

} // namespace FileManager
