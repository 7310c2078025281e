#include "map/PieceWork.h"

#include <algorithm>

PieceWork::PieceWork(Make make, Weigh weigh, PartOf partOf)
    : m_make(std::move(make))
    , m_weigh(std::move(weigh))
    , m_partOf(std::move(partOf))
{
}

void PieceWork::plan(const std::vector<QRect>& pieces)
{
    m_slots.clear();
    m_waiting = 0;
    for (const QRect& piece : pieces) {
        const QRect part = m_partOf(piece);
        if (part.isEmpty())
            continue;
        auto slot = std::make_unique<Slot>();
        slot->part = part;
        slot->weight = m_weigh(part);
        m_slots.push_back(std::move(slot));
    }
    std::stable_sort(m_slots.begin(), m_slots.end(),
                     [](const auto& a, const auto& b) { return a->weight > b->weight; });
}

void PieceWork::help(int ahead)
{
    for (const std::unique_ptr<Slot>& slot : m_slots) {
        if (m_waiting.load() >= ahead)
            return;
        int expected = idle;
        if (!slot->state.compare_exchange_strong(expected, making))
            continue;
        slot->pictures = m_make(slot->part);
        ++m_waiting;
        slot->state.store(made);
        slot->state.notify_all();
    }
}

QList<QImage> PieceWork::take(const QRect& part)
{
    const auto found = std::find_if(m_slots.begin(), m_slots.end(),
                                    [&](const std::unique_ptr<Slot>& slot) { return slot->part == part; });
    if (found == m_slots.end())
        return m_make(part);
    Slot& slot = **found;
    int expected = idle;
    if (slot.state.compare_exchange_strong(expected, making)) {
        slot.state.store(taken);
        return m_make(part);
    }
    // Made by another thread, or being made: wait for it.
    for (int state = slot.state.load(); state == making; state = slot.state.load())
        slot.state.wait(making);
    expected = made;
    if (!slot.state.compare_exchange_strong(expected, taken))
        return m_make(part); // taken before: asked twice for one part
    --m_waiting;
    return std::move(slot.pictures);
}
