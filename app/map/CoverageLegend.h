#pragma once

#include "cluster/Band.h"
#include "map/OverlayPanel.h"
#include "prediction/PredictionSettings.h"

#include <QRect>

#include <optional>

class QLabel;

// Explains the coverage layer: which band, mode and engine it shows (with
// a small spinning indicator while the engine computes, or the failure the
// engine's map waits out before it is tried again) and the colour scale,
// ten cells for 10 … 100 % chance in the reliability colours. The map
// shows it at its bottom centre whenever a coverage band is chosen, before
// any image exists too.
class CoverageLegend : public OverlayPanel {
    Q_OBJECT
public:
    static constexpr QSize cellSize { 24, 15 };
    // The most of a failure's text shown, on one paragraph.
    static constexpr qsizetype failureCharacters = 160;

    // The engines as the legend names them.
    static QString engineName(bool p533);
    // "Predicted coverage on 20 m, SSB, this hour (% chance) · quick model".
    static QString titleText(Band band, PredictionMode mode, const QString& engine);

    explicit CoverageLegend(QWidget* parent = nullptr);

    // A failure hides the spinner: nothing is computed while it is shown.
    void set(Band band, PredictionMode mode, const QString& engine, bool working,
             const std::optional<QString>& failure = std::nullopt);

    QString title() const;
    bool working() const;
    // The failure shown (its blanks and line breaks made single blanks),
    // empty when none.
    QString failure() const;
    // Where the cell of the reliability (index + 1) / 10 sits, in the
    // legend's coordinates.
    QRect cellRect(int index) const;

private:
    class Spinner;
    class Scale;

    QLabel* m_title;
    Spinner* m_spinner;
    QLabel* m_failure;
    Scale* m_scale;
};
