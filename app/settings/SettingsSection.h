#pragma once

#include "settings/SettingsColumns.h"

#include <QColor>
#include <QFrame>
#include <QStringList>

class QGridLayout;
class QLabel;
class QVBoxLayout;

// One group of related settings in the grouped-form look: a header above a
// rounded panel of rows (a label and its control, or one wide row), and an
// optional footer of small dimmed paragraphs below it.
class SettingsSection : public QWidget {
    Q_OBJECT
public:
    explicit SettingsSection(const QString& header, QWidget* parent = nullptr);

    // A row with a label on the leading side and the control beside it,
    // filling the rest of the row unless aligned (a colour well at the
    // trailing edge).
    void addRow(const QString& label, QWidget* control, Qt::Alignment alignment = {});
    // Several controls side by side; the widget holding them is returned,
    // for setRowVisible.
    QWidget* addRow(const QString& label, QLayout* controls);
    // A row across the whole panel; aligned, the widget keeps its own width
    // (a button).
    void addRow(QWidget* wide, Qt::Alignment alignment = {});
    QWidget* addRow(QLayout* wide);
    // Shows or hides a row: the control and the label beside it.
    void setRowVisible(QWidget* control, bool visible);
    // Paragraphs under the panel, 6 points apart.
    void setFooter(const QStringList& paragraphs);

    // The section as an item of the column layout, with its weight.
    SettingsSectionItem item(double weight = 3) { return { this, weight }; }

    QLabel* header() const { return m_header; }
    QLabel* footer(int paragraph) const;

private:
    QLabel* m_header = nullptr;
    QFrame* m_panel = nullptr;
    QGridLayout* m_rows = nullptr;
    QWidget* m_footer = nullptr;
    QVBoxLayout* m_footerLayout = nullptr;
};

// The small texts of the settings window. All are plain text, wrap, and use
// the caption size.
namespace SettingsText {

QColor secondary(); // footers, captions
QColor error();     // "That is not a valid Maidenhead locator."
QColor warning();   // notes that something is missing or was kept aside

// The caption size of a widget's font.
QFont captionFont(const QFont& font);
// Draws the label's text in the colour.
void setColor(QLabel* label, const QColor& color);
QLabel* caption(const QString& text, const QColor& color = secondary());
// A plain-text label for text that came from outside (node lines, server
// errors), never read as rich text.
QLabel* plain(const QString& text);

} // namespace SettingsText
