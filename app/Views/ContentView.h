#pragma once

#include "AppStores.h"

#include <QWidget>

class QVBoxLayout;

// The main window's content: the world map above the info bar, stacked in
// one column without margins. Every main window's content shares the
// application's stores.
class ContentView : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumWidth = 1060;
    static constexpr int minimumHeight = 680;

    explicit ContentView(const AppStores& stores, QWidget* parent = nullptr);

    const AppStores& stores() const { return m_stores; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    AppStores m_stores;
    QVBoxLayout* m_column = nullptr;
    bool m_shown = false;
};
