#pragma once

#include <QImage>
#include <QList>
#include <QRect>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

// Pictures of parts of the frame that need no painter (lines the line
// raster draws into pictures of their own), made ahead while the bands of
// the frame draw the layers below them: by the thread that would otherwise
// only wait for the bands, and by bands done with their own piece, the parts
// with the most work first. A band that needs its part's pictures takes
// them when they are made, makes them itself when nobody has started them
// and waits for them while they are under way. What a part's pictures hold
// does not depend on the thread that made them.
class PieceWork {
public:
    // The pictures of a part (device pixels of the view).
    using Make = std::function<QList<QImage>(const QRect& part)>;
    // A part's work, to start with the heaviest.
    using Weigh = std::function<qint64(const QRect& part)>;
    // The part a band's piece asks for.
    using PartOf = std::function<QRect(const QRect& piece)>;

    PieceWork(Make make, Weigh weigh, PartOf partOf);

    // The pieces (device pixels) the bands are about to draw.
    void plan(const std::vector<QRect>& pieces);
    // Makes the pictures of planned parts that nobody has started, the
    // heaviest first, while fewer than `ahead` made ones wait to be taken.
    void help(int ahead);
    // The pictures of a part: made ahead, or made now (also for a part
    // that was not planned).
    QList<QImage> take(const QRect& part);

private:
    enum State { idle, making, made, taken };
    struct Slot {
        QRect part;
        qint64 weight = 0;
        std::atomic<int> state { idle };
        QList<QImage> pictures;
    };

    Make m_make;
    Weigh m_weigh;
    PartOf m_partOf;
    std::vector<std::unique_ptr<Slot>> m_slots; // the heaviest first
    std::atomic<int> m_waiting { 0 };           // made, not yet taken
};
