#include "MainWindow.h"

#include "ContentView.h"

#include <QGuiApplication>
#include <QScreen>

MainWindow::MainWindow(const AppStores& stores, QWidget* parent)
    : QMainWindow(parent)
    , m_content(new ContentView(stores, this))
{
    setWindowTitle(QStringLiteral("Corvanta"));
    setAttribute(Qt::WA_DeleteOnClose);
    setCentralWidget(m_content);
    resize(defaultWidth, defaultHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
