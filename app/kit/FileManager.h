#pragma once

#include <QString>

// The desktop's file manager.
namespace FileManager {

// Shows the file selected in the file manager (the freedesktop FileManager1
// interface); where no file manager answers, opens the folder that holds it.
void reveal(const QString& path);

} // namespace FileManager
