#include "settings/SettingsSection.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// The rounded panel behind a section's rows, drawn rather than styled: a
// style sheet would wrap the style of every control inside it.
class Panel : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QColor(255, 255, 255, 23));
        painter.setBrush(QColor(255, 255, 255, 12));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }
};

// Controls laid out side by side, as one widget of a row.
QWidget* holding(QLayout* controls)
{
    auto* holder = new QWidget;
    controls->setContentsMargins(0, 0, 0, 0);
    holder->setLayout(controls);
    return holder;
}

} // namespace

namespace SettingsText {

QColor secondary() { return QColor(0x8A, 0x93, 0xA0); }
QColor error() { return QColor(0xFF, 0x6B, 0x6B); }
QColor warning() { return QColor(0xFF, 0xA8, 0x3C); }

QLabel* plain(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

QFont captionFont(const QFont& font)
{
    QFont caption = font;
    caption.setPointSizeF(font.pointSizeF() * 0.85);
    return caption;
}

void setColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

QLabel* caption(const QString& text, const QColor& color)
{
    QLabel* label = plain(text);
    label->setFont(captionFont(label->font()));
    setColor(label, color);
    return label;
}

} // namespace SettingsText

SettingsSection::SettingsSection(const QString& header, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    m_header = SettingsText::plain(header);
    QFont bold = m_header->font();
    bold.setBold(true);
    m_header->setFont(bold);
    m_header->setVisible(!header.isEmpty());
    layout->addWidget(m_header);

    m_panel = new Panel(this);
    m_rows = new QGridLayout(m_panel);
    m_rows->setContentsMargins(12, 10, 12, 10);
    m_rows->setHorizontalSpacing(12);
    m_rows->setVerticalSpacing(8);
    m_rows->setColumnStretch(1, 1);
    layout->addWidget(m_panel);

    m_footer = new QWidget(this);
    m_footerLayout = new QVBoxLayout(m_footer);
    m_footerLayout->setContentsMargins(4, 0, 4, 0);
    m_footerLayout->setSpacing(6);
    m_footer->hide();
    layout->addWidget(m_footer);
}

void SettingsSection::addRow(const QString& label, QWidget* control, Qt::Alignment alignment)
{
    const int row = m_rows->rowCount();
    QLabel* title = SettingsText::plain(label);
    title->setWordWrap(false);
    title->setBuddy(control);
    m_rows->addWidget(title, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    m_rows->addWidget(control, row, 1, alignment);
}

QWidget* SettingsSection::addRow(const QString& label, QLayout* controls)
{
    QWidget* holder = holding(controls);
    addRow(label, holder);
    return holder;
}

void SettingsSection::addRow(QWidget* wide, Qt::Alignment alignment)
{
    m_rows->addWidget(wide, m_rows->rowCount(), 0, 1, 2, alignment);
}

QWidget* SettingsSection::addRow(QLayout* wide)
{
    QWidget* holder = holding(wide);
    addRow(holder);
    return holder;
}

void SettingsSection::setRowVisible(QWidget* control, bool visible)
{
    control->setVisible(visible);
    for (QLabel* label : m_panel->findChildren<QLabel*>())
        if (label->buddy() == control)
            label->setVisible(visible);
}

void SettingsSection::setFooter(const QStringList& paragraphs)
{
    while (QLayoutItem* item = m_footerLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const QString& text : paragraphs)
        m_footerLayout->addWidget(SettingsText::caption(text));
    m_footer->setVisible(!paragraphs.isEmpty());
}

QLabel* SettingsSection::footer(int paragraph) const
{
    QLayoutItem* item = m_footerLayout->itemAt(paragraph);
    return item ? qobject_cast<QLabel*>(item->widget()) : nullptr;
}
