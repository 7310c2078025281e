#pragma once

#include "cluster/ClusterStatus.h"
#include "map/OverlayPanel.h"

class QLabel;

// The DX cluster's state at the bottom of the map while the cluster is on:
// a dot (the spot colour while connected, orange otherwise) and, while
// connected, the counts of spots and spotted countries with, when there
// are any, the count of needed ones in the needed colour; in every other
// state the status line. The status line is also the tool tip.
class ClusterBadge : public OverlayPanel {
    Q_OBJECT
public:
    // What the map counts over its spotted labels: every spot, the labels,
    // and the labels with at least one needed spot.
    struct Counts {
        int spots = 0;
        int countries = 0;
        int needed = 0;

        friend bool operator==(const Counts&, const Counts&) = default;
    };
    // The counts of a list of spot groups (each with its `spots` and its
    // `neededIDs`).
    template <typename Groups>
    static Counts count(const Groups& groups)
    {
        Counts counts;
        for (const auto& group : groups) {
            counts.spots += int(group.spots.size());
            ++counts.countries;
            if (!group.neededIDs.isEmpty())
                ++counts.needed;
        }
        return counts;
    }

    explicit ClusterBadge(QWidget* parent = nullptr);

    void set(const ClusterStatus& status, Counts counts, const QColor& colour, const QColor& neededColour);

    // The main text and the needed text (empty while hidden).
    QString text() const;
    QString neededText() const;
    QColor dotColour() const { return m_dotColour; }

private:
    class Dot;

    QColor m_dotColour;
    Dot* m_dot;
    QLabel* m_text;
    QLabel* m_needed;
};
