#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QWidget>

#include <functional>

// A line of sample text drawn the way the map or the clocks draw theirs,
// redrawn whenever one of the settings keys it depends on changes. A map
// label sits on the ocean colour in a rounded panel with a black glow
// behind its glyphs; a clock stands on the window's own background.
class LabelPreview : public QWidget {
    Q_OBJECT
public:
    enum class Kind { mapLabel, clock };

    struct Look {
        QFont font;
        QColor color; // invalid: the window's text colour

        friend bool operator==(const Look&, const Look&) = default;
    };

    LabelPreview(Kind kind, const QString& text, std::function<Look()> look, const QList<const char*>& keys,
                 QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    const Look& look() const { return m_look; }
    // The colour the text is drawn in.
    QColor textColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void reload();

    Kind m_kind;
    QString m_text;
    std::function<Look()> m_read;
    Look m_look;
};
