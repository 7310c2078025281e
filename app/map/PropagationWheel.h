#pragma once

#include "map/OverlayPanel.h"
#include "prediction/PropagationPredictor.h"

#include <QDateTime>
#include <QPixmap>
#include <QStringList>
#include <QTimer>

#include <optional>

// The 24-hour band wheel of the hover panel: the predicted reliability from
// the station to one place for every UTC hour (sectors, midnight at the
// top, clockwise) and every predicted band (rings, 10 m outside, 160 m
// next to the hole), coloured with the reliability ramp, the current hour
// outlined and the best band of that hour in the centre. Below it a legend
// of the ramp. On a short map the wheel is drawn smaller. While the chart is computed it shows "Calculating…", after
// a failure without a chart the error.
//
// The wheel is drawn once into a picture per chart and hour, so repaints
// of the map under it only copy that picture. The pointer passes through.
class PropagationWheel : public OverlayPanel {
    Q_OBJECT
public:
    struct Content {
        std::optional<DayChart> chart; // none while it is computed
        QString title;
        QString subtitle;
        QDateTime now; // its UTC hour is marked
        std::optional<QString> error;

        friend bool operator==(const Content&, const Content&) = default;
    };
    enum class Face { chart, error, loading };

    static constexpr int padding = 10;
    static constexpr int spacing = 6;
    // The wheel's side, and the least it gives up to on a short map.
    static constexpr int canvasSide = 250;
    static constexpr int smallestCanvasSide = 150;

    explicit PropagationWheel(QWidget* parent = nullptr);

    // Shows the content; a content that differs only in a `now` of the
    // same UTC hour is not drawn again.
    void setContent(const Content& content);
    const Content& content() const { return m_content; }
    // A chart wins over an error; with neither the wheel waits.
    Face face() const;

    // The UTC hour 0 … 23 of an instant.
    static int utcHour(const QDateTime& now);
    // The texts in the wheel's centre for an hour: "NOW", the best band and
    // its whole percent, or the one text "closed\nnow" when no band of that
    // hour reaches 0.05 (or the chart has no such hour).
    static QStringList centreTexts(const DayChart& chart, int hour);
    // Draws the wheel canvas of the chart into a square of `side` points
    // at the painter's origin.
    static void paintWheel(QPainter& painter, double side, const DayChart& chart, int hour);

    // The plates under the band numbers on a canvas of `side` points drawn
    // at a device pixel ratio, ring 0's first: each across the middle of its
    // ring, by turns right and left of the line to midnight, its edges on
    // device pixels. No two share a pixel; those on one side keep two
    // points between them.
    static QList<QRectF> bandPlates(double side, qreal ratio);

    // Fits the panel into a height: the wheel takes the largest side up to
    // canvasSide (at least smallestCanvasSide) that keeps the whole panel,
    // its texts and key kept as they are, within it.
    void fitHeight(int height);
    int canvasSideShown() const { return m_side; }

    QSize sizeHint() const override;

    // How often the wheel canvas was drawn (for tests).
    int canvasRenders() const { return m_canvasRenders; }
    // Where the wheel canvas sits in the panel.
    QRectF canvasRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void followFace();

    Content m_content;
    int m_side = canvasSide;
    QPixmap m_canvas;
    int m_canvasHour = -1;
    int m_canvasRenders = 0;
    // The loading face's spinner turns a step at a time.
    QTimer m_spin;
    int m_spinStep = 0;
};
