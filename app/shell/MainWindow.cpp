#include "shell/MainWindow.h"

#include "kit/DarkAppearance.h"
#include "shell/ContentView.h"
#include "shell/MainToolBar.h"

#include <QGuiApplication>
#include <QScreen>

MainWindow::MainWindow(const AppStores& stores, QWidget* parent)
    : QMainWindow(parent)
    , m_content(new ContentView(stores, this))
{
    setWindowTitle(QStringLiteral("Corvanta"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Dark whatever the desktop's appearance, like the map it frames.
    DarkAppearance::apply(this);
    setCentralWidget(m_content);
    addToolBar(Qt::TopToolBarArea, m_content->toolBar());
    resize(defaultWidth, defaultHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
