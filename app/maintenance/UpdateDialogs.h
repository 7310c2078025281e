#pragma once

#include "maintenance/ReleaseFeed.h"

#include <QString>

class QMessageBox;
class QWidget;

// The self-update's message boxes, built but not shown: dark, titled
// "Corvanta", every text plain (release notes come from the web).
namespace UpdateDialogs {

// A box with `title` as its message, `text` under it and one OK button;
// with the warning icon for a `failure`.
QMessageBox* alert(const QString& title, const QString& text, bool failure, QWidget* parent = nullptr);

// Adds a paragraph to the alert that is open, if one is.
void addToOpenAlert(const QString& paragraph);

// "Corvanta <version> is available", "You have version <current>." and the
// release notes after a blank line when there are any; the buttons
// "Update now" (the default) and "Later" (also Escape).
QMessageBox* offer(const ReleaseFeed::Release& release, const QString& currentVersion, QWidget* parent = nullptr);

// Shows the box modally and deletes it; true when its default button was
// chosen.
bool run(QMessageBox* box);

} // namespace UpdateDialogs
