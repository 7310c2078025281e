#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <optional>

// One index of the space weather panel: its name, a second line with the
// unit or kind, the number in large figures and a short rating in a tinted
// capsule, both in the rating's colour. An unknown index shows an en dash
// and an empty rating line, and keeps its size. The help text is the whole
// tile's tool tip. A tile too narrow for its name or second line shows
// their short forms.
class IndexTile : public QWidget {
    Q_OBJECT
public:
    struct Content {
        QString title;
        QString subtitle;
        std::optional<QString> value;  // none: unknown
        std::optional<QString> rating; // none: unknown
        std::optional<QColor> color;   // none: unknown
        QString help;
        QString shortTitle = {};    // empty: the title only
        QString shortSubtitle = {}; // empty: the subtitle only

        friend bool operator==(const Content&, const Content&) = default;
    };

    explicit IndexTile(QWidget* parent = nullptr);

    const Content& content() const { return m_content; }
    void setContent(const Content& content);

    // The name and the second line as drawn at the tile's width.
    QString shownTitle() const;
    QString shownSubtitle() const;
    // The value as drawn: the number, or "–" when unknown.
    QString valueText() const;
    // The number's colour as drawn.
    QColor valueColor() const;

    // Where the rating's capsule is drawn, in the tile.
    QRectF ratingCapsule() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Content m_content;
};
