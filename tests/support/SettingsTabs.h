#pragma once

// Driving the settings window's tabs as a user would: finding a control by
// the text beside it, picking a colour in a well's dialog, and reading what
// the settings file holds afterwards. Header-only: the support library
// itself has no widgets.

#include "support/Settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QSettings>
#include <QSlider>
#include <QStringList>

namespace SettingsTabs {

inline void clearSettings()
{
    Settings& settings = Settings::standard();
    for (const QString& key : settings.allKeys())
        settings.remove(key);
}

// What the INI file on disk holds for a key, read as a later run would.
inline QString storedText(const char* key)
{
    Settings::standard().sync();
    return QSettings(Settings::standard().fileName(), QSettings::IniFormat).value(key).toString();
}

// Every key written from now on, in order.
struct KeyLog {
    KeyLog()
    {
        QObject::connect(&Settings::standard(), &Settings::changed, &context,
                         [this](const QString& key) { keys << key; });
    }
    QObject context;
    QStringList keys;
};

// The group under this header (a SettingsSection).
inline QWidget* section(QWidget& tab, const QString& header)
{
    for (QLabel* label : tab.findChildren<QLabel*>())
        if (label->text() == header && label->font().bold())
            return label->parentWidget();
    return nullptr;
}

// The control of the row labelled so.
template <typename Control>
Control* control(QWidget* area, const QString& label)
{
    for (QLabel* title : area->findChildren<QLabel*>())
        if (title->text() == label && title->buddy())
            return qobject_cast<Control*>(title->buddy());
    return nullptr;
}

// A slider row (its title is part of the row) and the value it prints.
inline QWidget* sliderRow(QWidget* area, const QString& title)
{
    for (QLabel* label : area->findChildren<QLabel*>())
        if (label->text() == title && !label->buddy() && label->parentWidget()->findChild<QSlider*>())
            return label->parentWidget();
    return nullptr;
}
inline QSlider* slider(QWidget* area, const QString& title) { return sliderRow(area, title)->findChild<QSlider*>(); }
inline QString sliderText(QWidget* area, const QString& title)
{
    return sliderRow(area, title)->findChildren<QLabel*>().last()->text();
}

// One key pressed and released on a widget.
inline void press(QWidget* widget, int key, const QString& text = {})
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &up);
}

// ASCII text typed key by key at the field's cursor.
inline void type(QLineEdit* field, const QString& text)
{
    for (const QChar c : text)
        press(field, c.toUpper().unicode(), QString(c));
}

// What a user's edit does: new text, then Return or leaving the field.
inline void typeAndCommit(QLineEdit* field, const QString& text)
{
    field->setText(text);
    Q_EMIT field->editingFinished();
}

inline QCheckBox* checkBox(QWidget* area, const QString& text)
{
    for (QCheckBox* box : area->findChildren<QCheckBox*>())
        if (box->text() == text)
            return box;
    return nullptr;
}

// Opens the well's dialog, chooses the colour and presses OK. Returns
// whether the dialog offered opacity.
template <typename Well>
bool pickColor(Well* well, const QColor& color)
{
    well->click();
    QColorDialog* dialog = well->dialog();
    if (!dialog)
        return false;
    const bool opacity = dialog->testOption(QColorDialog::ShowAlphaChannel);
    dialog->setCurrentColor(color);
    dialog->accept();
    return opacity;
}

} // namespace SettingsTabs
