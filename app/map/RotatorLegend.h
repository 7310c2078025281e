#pragma once

#include "rotator/RotatorConfig.h"
#include "rotator/RotatorStatus.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>
#include <QRectF>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <optional>

class RotatorManager;

// The map's card of antennas: under the title "Antennas", one row per
// configured rotator with its colour, name and heading, the bearing it is
// turning to, and "not connected" while it has no connection. It follows
// the manager and shows itself only while rotators are configured; it
// never takes the pointer from the map.
class RotatorLegend : public QWidget {
    Q_OBJECT
public:
    struct Row {
        QColor color;
        QString name;
        QString heading;               // "–" without one
        std::optional<QString> target; // "→ 045°" while turning
        bool notConnected = false;

        friend bool operator==(const Row&, const Row&) = default;
    };

    // The rows for a list and its status, in list order. A rotator without
    // a status entry counts as not connected.
    static QList<Row> rows(const QList<RotatorConfig>& rotators, const QHash<QUuid, RotatorStatus>& status);

    explicit RotatorLegend(RotatorManager* rotors, QWidget* parent = nullptr);

    const QList<Row>& rows() const { return m_rows; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // One thing the card draws: a text, or a swatch when the text is empty.
    struct Piece {
        QRectF rect;
        QString text;
        QFont font;
        QColor color;
    };
    struct Layout {
        QSizeF size;
        QList<Piece> pieces;
    };
    static Layout layOut(const QList<Row>& rows);
    void sync();

    RotatorManager* m_rotors = nullptr;
    QList<Row> m_rows;
    // The rows placed, measured when they change rather than at each
    // paint: the card is painted again with every frame of the map under it.
    Layout m_layout = layOut({});
};
