#pragma once

#include "cluster/DXSpot.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QRectF>
#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>

class DXClusterClient;
class QPainter;

// The watched calls on the cluster, above the clocks: one chip per spot of
// a watched call (the first twelve the client gives), blinking with the
// strip's border every half second; while none is spotted, a line naming
// the watched patterns and a steady border. Shown only while the cluster is
// on and the watch list holds a pattern; otherwise it takes no room.
//
// The spots and the watch colour are worked out when the client publishes a
// change or one of the strip's settings changes; a blink only repaints the
// strip with the new phase and ages. The blink runs only while there are
// chips. Chips that do not fit the strip's width are not cut: a "+N" after
// the last whole chip counts them, and its tool tip names them.
class WatchStrip : public QWidget {
    Q_OBJECT
public:
    static constexpr int maxChips = 12;

    struct Options {
        std::function<QDateTime()> now;          // the blink's clock; UTC now when empty
        std::chrono::milliseconds blink { 500 }; // between blinks
    };

    // The texts of one chip, as drawn.
    struct ChipTexts {
        QString call;
        QString frequency; // "14025.0", a point whatever the locale
        QString mode;      // "CW", "SSB", "DIGI" or empty
        QString age;       // "now" or "12 min"
        QString toolTip;   // the comment and its spotter, or "Spotted by " and the spotter

        friend bool operator==(const ChipTexts&, const ChipTexts&) = default;
    };
    static ChipTexts chipTexts(const DXSpot& spot, const QDateTime& now);

    explicit WatchStrip(DXClusterClient* cluster, QWidget* parent = nullptr);
    WatchStrip(DXClusterClient* cluster, Options options, QWidget* parent = nullptr);

    // The spots shown as chips, in the client's order.
    const QList<DXSpot>& spots() const { return m_spots; }
    // "Watching K1ABC, DL*: not spotted yet" while nothing is spotted; empty
    // with chips.
    const QString& waitingText() const { return m_waiting; }
    QColor tint() const { return m_tint; }
    // The blink phase of the last tick: filled chips and a full border when on.
    bool phase() const { return m_on; }
    // The instant of the last tick, from which the chips' ages are counted.
    const QDateTime& tickInstant() const { return m_tick; }
    bool isBlinking() const { return m_blink.isActive(); }
    // A chip's place in the strip, as drawn; empty for a chip that does
    // not fit.
    QRectF chipRect(int index) const;
    // How many chips fit whole, and the "+N" for the rest (empty when all
    // fit) with its place.
    int shownChips() const;
    QString moreText() const;
    QRectF moreRect() const;

    // One blink: the phase and the chips' ages for now, and a repaint. The
    // blink timer calls it.
    void tick();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void rebuild();
    void startBlinking();
    QDateTime now() const;
    void paintStrip(QPainter& painter) const;
    double chipWidth(const ChipTexts& texts) const;
    // Where the chips that fit whole go, and the "+N" for the rest (an
    // empty rectangle when every chip fits).
    struct ChipLayout {
        QList<QRectF> chips;
        QRectF more;
    };
    ChipLayout chipLayout() const;
    QRectF contentRect() const;

    QPointer<DXClusterClient> m_cluster;
    Options m_options;
    bool m_wanted = false; // the cluster is on and a call is watched
    QList<DXSpot> m_spots;
    QList<ChipTexts> m_texts;
    QString m_waiting;
    QColor m_tint;
    QTimer m_blink;
    QDateTime m_tick;
    bool m_on = true;
    std::array<QPixmap, 2> m_looks; // the strip as drawn, off and on
};
