#include "kit/SettingsNote.h"

#include "kit/PanelStyle.h"
#include "kit/ToolTipText.h"
#include "support/Settings.h"

#include <QMainWindow>
#include <QStatusBar>

SettingsNote::SettingsNote(Settings& settings, QWidget* parent)
    : QLabel(parent)
    , m_settings(settings)
{
    setTextFormat(Qt::PlainText);
    QPalette warning = palette();
    warning.setColor(QPalette::WindowText, PanelStyle::orange());
    setPalette(warning);
    // One line in a window of usual width; a narrow one wraps it rather
    // than cut the folder's name.
    setWordWrap(true);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
    connect(&m_settings, &Settings::noteChanged, this, &SettingsNote::follow);
    follow();
}

void SettingsNote::follow()
{
    const QString note = m_settings.note();
    setText(note);
    setToolTip(note.isEmpty() ? QString() : ToolTipText::plain(note));
    setVisible(!note.isEmpty());
}

SettingsNote* SettingsNote::addTo(QMainWindow* window, Settings& settings)
{
    QStatusBar* bar = window->statusBar();
    bar->setSizeGripEnabled(false);
    auto* note = new SettingsNote(settings, bar);
    // The status bar keeps to one line: a narrow window cuts the note, and
    // its tool tip holds it whole.
    note->setWordWrap(false);
    note->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    bar->addWidget(note, 1);
    const auto fit = [bar, &settings] { bar->setVisible(!settings.note().isEmpty()); };
    connect(&settings, &Settings::noteChanged, bar, fit);
    fit();
    return note;
}
