#pragma once

#include "rotator/RotatorConfig.h"
#include "rotator/RotatorStatus.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QUuid>
#include <QWidget>

class QAction;
class QLabel;
class QToolButton;
class RotatorManager;

namespace RotatorBadgeParts {
class HeadingArrow;
class Spinner;
} // namespace RotatorBadgeParts

// One rotator in the main window's toolbar: an arrow turned to its heading
// (in its colour while connected, dimmed otherwise), its name and heading,
// and while it turns a spinner and a "Stop" button. The tooltip tells the
// connection state or the bearing it is turning to.
class RotatorBadge : public QWidget {
    Q_OBJECT
public:
    RotatorBadge(RotatorManager* rotors, const QUuid& id, QWidget* parent = nullptr);

    // "Name 123°", or the name and " –" without a heading.
    static QString text(const RotatorConfig& rotator, const RotatorStatus& status);
    // "Turning to 045°" while connected and turning, "Name: connected"
    // while connected, else the name, ": " and the status message.
    static QString helpText(const RotatorConfig& rotator, const RotatorStatus& status);

    // Shows a rotator's configuration and status.
    void display(const RotatorConfig& rotator, const RotatorStatus& status);

    QUuid id() const { return m_id; }
    QString text() const;
    QString helpText() const { return m_help; }
    bool isTurning() const { return m_turning; }
    QToolButton* stopButton() const { return m_stop; }
    double arrowAngle() const;
    QColor arrowColor() const;

private:
    RotatorManager* m_rotors = nullptr;
    QUuid m_id;
    RotatorBadgeParts::HeadingArrow* m_arrow = nullptr;
    QLabel* m_label = nullptr;
    RotatorBadgeParts::Spinner* m_spinner = nullptr;
    QToolButton* m_stop = nullptr;
    QString m_help;
    bool m_turning = false;
};

// The badges of every configured rotator, in list order, as one toolbar
// item that hides itself while no rotator is configured. A rotator the
// manager has no status for shows as not connected.
class RotatorBadges : public QWidget {
    Q_OBJECT
public:
    explicit RotatorBadges(RotatorManager* rotors, QWidget* parent = nullptr);

    const QList<RotatorBadge*>& badges() const { return m_badges; }

private:
    void rebuild();
    void refresh(const QUuid& id);
    void syncVisibility();

    RotatorManager* m_rotors = nullptr;
    QList<RotatorBadge*> m_badges;
};
