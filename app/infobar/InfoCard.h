#pragma once

#include <QPixmap>
#include <QSizeF>
#include <QString>
#include <QWidget>

class QFontMetricsF;
class QPainter;

// The frame the info bar's cards share: the title, upper-cased in the small
// caption style with spaced letters, above the card's content, 12 points in
// from a rounded rectangle of white at 4 % with the panel stroke. Cards
// stretch to the room they get; the content sits at the top leading corner.
// A card never makes the window wider. Short of its natural width it takes
// its brief forms (a short title, words left out); its least width, which
// the card row gives first, shows those whole with every number. Below
// that what does not fit shrinks or is elided with "…", never cut through
// a number.
class InfoCard : public QWidget {
    Q_OBJECT
public:
    static constexpr double padding = 12;
    static constexpr double titleGap = 6;
    static constexpr double cornerRadius = 12;

    explicit InfoCard(QWidget* parent = nullptr);

    // As given; drawn upper-cased. The short title, when there is one,
    // takes its place while the title does not fit the card.
    const QString& title() const { return m_title; }
    void setTitle(const QString& title, const QString& shortTitle = {});
    // The title as the card draws it at its width, upper-cased.
    QString shownTitle() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // A text as drawn in the room it has: whole where it fits, else its
    // brief form (or, without one, the text itself) fitted to the room
    // without cutting a number.
    static QString fittedForm(const QFontMetricsF& metrics, const QString& full, const QString& brief, double room);

protected:
    // The content's natural size. A card gets less width when the window
    // has no more room: its content shrinks as far as it can and is cut.
    virtual QSizeF contentSize() const = 0;
    // The least width of the content that shows its brief forms whole.
    virtual double briefContentWidth() const = 0;
    virtual void paintContent(QPainter& painter, const QRectF& area) = 0;
    // The area the content gets in the card as it stands.
    QRectF contentArea() const;
    void paintEvent(QPaintEvent* event) override;

private:
    double titleHeight() const;

    QString m_title;
    QString m_shortTitle;
    // The frame as last drawn: filling and stroking a rounded rectangle
    // costs far more than copying it, and the cards are drawn every second.
    QPixmap m_frame;
};
