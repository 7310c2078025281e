#include "settings/WrappingCheckBox.h"

#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>
#include <climits>

namespace {

constexpr int textFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic;

} // namespace

WrappingCheckBox::WrappingCheckBox(const QString& text, QWidget* parent)
    : QCheckBox(text, parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred, QSizePolicy::CheckBox);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int WrappingCheckBox::lineHeight() const { return QCheckBox::sizeHint().height(); }

QSize WrappingCheckBox::minimumSizeHint() const
{
    int longestWord = 0;
    for (const QString& word : text().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        longestWord = std::max(longestWord, fontMetrics().horizontalAdvance(word));
    const int besideText = QCheckBox::sizeHint().width() - fontMetrics().horizontalAdvance(text());
    return { std::min(besideText + longestWord, QCheckBox::sizeHint().width()), lineHeight() };
}

QRect WrappingCheckBox::indicatorRect() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    option.rect = QRect(0, 0, width(), lineHeight());
    return style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
}

QRect WrappingCheckBox::textRect(int width) const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    option.rect = QRect(0, 0, width, lineHeight());
    QRect line = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    // The first line sits where the one line of a plain check box sits.
    const int top = line.top() + (line.height() - fontMetrics().height()) / 2;
    const QRect wrapped
        = fontMetrics().boundingRect(QRect(line.left(), top, line.width(), INT_MAX / 2), textFlags, text());
    return QRect(line.left(), top, line.width(), wrapped.height());
}

int WrappingCheckBox::heightForWidth(int width) const
{
    if (width >= QCheckBox::sizeHint().width())
        return lineHeight();
    const QRect text = textRect(width);
    return std::max(lineHeight(), text.bottom() + 1 + (lineHeight() - fontMetrics().height()) / 2);
}

void WrappingCheckBox::paintEvent(QPaintEvent* event)
{
    if (!wraps()) {
        QCheckBox::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    QStyleOptionButton box = option;
    box.rect = indicatorRect();
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, box);
    const QRect text = textRect(width());
    painter.drawItemText(text, textFlags, option.palette, isEnabled(), this->text(), QPalette::WindowText);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = text.adjusted(-1, 0, 1, 0);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool WrappingCheckBox::hitButton(const QPoint& pos) const
{
    if (!wraps())
        return QCheckBox::hitButton(pos);
    return indicatorRect().united(textRect(width())).contains(pos);
}
