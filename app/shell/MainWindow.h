#pragma once

#include "kit/AppStores.h"

#include <QMainWindow>

class ContentView;

// One main window "Corvanta": the content view as its central widget. The
// user may open several; all show the same stores and the same viewport.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int defaultWidth = 1440;
    static constexpr int defaultHeight = 900;

    explicit MainWindow(const AppStores& stores, QWidget* parent = nullptr);

    ContentView* contentView() const { return m_content; }

private:
    ContentView* m_content = nullptr;
};
