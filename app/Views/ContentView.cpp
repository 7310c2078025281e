#include "ContentView.h"

#include "Updater.h"

#include <QTimer>
#include <QVBoxLayout>

ContentView::ContentView(const AppStores& stores, QWidget* parent)
    : QWidget(parent)
    , m_stores(stores)
    , m_column(new QVBoxLayout(this))
{
    setMinimumSize(minimumWidth, minimumHeight);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(0);
}

void ContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // The updater arms its periodic check only once per process, however many
    // main windows are opened; each content still asks when first shown.
    QTimer::singleShot(0, this, [] { Updater::shared().start(); });
}
