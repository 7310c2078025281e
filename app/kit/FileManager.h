#pragma once

#include <QString>

#include <functional>

class QMessageBox;

// The desktop's file manager.
namespace FileManager {

// Shows the file selected in the file manager (the freedesktop FileManager1
// interface); where no file manager answers, opens the folder that holds it
// (see openFolder). Neither waits for an answer, and neither answers
// once the event loop has ended.
void reveal(const QString& path);
// The same, but where nothing could show it, `failed` is called instead of
// the message, once the file manager and then the opener gave up.
void reveal(const QString& path, std::function<void()> failed);

// Opens a folder with the desktop's opener, xdg-open. When there is none,
// or it fails, a message tells the folder's path, ready to be copied, so
// the user is never left with nothing happening. The opener, and the file
// manager it may run, are the user's: they go on after the program ends,
// and nothing is told of them once the program is on its way out.
void openFolder(const QString& folder);
void openFolder(const QString& folder, std::function<void()> failed);

// That message, over the active window; it closes itself.
QMessageBox* tellFolder(const QString& folder);

} // namespace FileManager
