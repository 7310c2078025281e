#pragma once

#include <QObject>
#include <QString>

// The self-updater, one per application (owned by CorvantaApp). For now a
// shell: the release check itself comes later; the version text is already
// the real one.
class Updater : public QObject {
    Q_OBJECT
public:
    explicit Updater(QObject* parent = nullptr);

    // The application's version text, compiled in; "0" when the build gave none.
    static QString currentVersion();

    // Arms the periodic update check (called when a main window is first shown).
    void start();
    // Checks for a newer release now; `userAsked` also reports "up to date".
    void check(bool userAsked);
};
