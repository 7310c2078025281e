#pragma once

#include <QLabel>

class QMainWindow;
class Settings;

// The settings store's one-line note (the file could not be read whole at
// start, or changes cannot be saved), in the warning colour; hidden while
// there is nothing to say. Follows the store as the note comes and goes.
// It wraps where it stands in a column (the settings window).
class SettingsNote : public QLabel {
    Q_OBJECT
public:
    explicit SettingsNote(Settings& settings, QWidget* parent = nullptr);

    // Puts a note into the window's status bar, which is shown only while
    // the note is.
    static SettingsNote* addTo(QMainWindow* window, Settings& settings);

private:
    void follow();

    Settings& m_settings;
};
