#include "shell/CorvantaApp.h"

#include "cluster/DXClusterClient.h"
#include "kit/AppLog.h"
#include "kit/DarkAppearance.h"
#include "maintenance/ReportProblemView.h"
#include "maintenance/Updater.h"
#include "map/MapViewportModel.h"
#include "prediction/PredictionStore.h"
#include "rotator/RotatorManager.h"
#include "settings/SettingsView.h"
#include "shell/AboutBox.h"
#include "shell/AppDelegate.h"
#include "shell/AppIcon.h"
#include "shell/ContentView.h"
#include "shell/FirstRunDefaults.h"
#include "shell/HelpView.h"
#include "shell/MainWindow.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/Settings.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

#include <utility>

namespace {

// A top-level window around one content view, kept (hidden) when closed so
// that asking again shows the same window. Ctrl+W and Escape close it, as
// in other Linux applications.
QWidget* makeWindow(const QString& title, QWidget* content)
{
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setWindowTitle(title);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    for (const QKeySequence& keys : { QKeySequence(QStringLiteral("Ctrl+W")), QKeySequence(Qt::Key_Escape) }) {
        auto* shortcut = new QShortcut(keys, window);
        QObject::connect(shortcut, &QShortcut::activated, window, &QWidget::close);
    }
    return window;
}

// A window of no size is never put on screen, and a content without
// controls of its own has none: such a window starts at a usable size, while
// a content that has a size keeps it.
void giveUsableSize(QWidget* window)
{
    window->adjustSize();
    if (window->width() < 1 || window->height() < 1)
        window->resize(480, 360);
}

// The screen a window opens on: the one under the pointer.
const QScreen* openingScreen()
{
    const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    return screen ? screen : QGuiApplication::primaryScreen();
}

// A window's first size: the size wanted, made smaller where the free area
// of the screen it opens on is (frame included), never below the window's
// minimum.
void giveSize(QWidget* window, const QSize& wanted)
{
    QSize size = wanted;
    if (const QScreen* screen = openingScreen())
        size = MainWindow::frameIn(screen->availableGeometry(), MainWindow::guessedFrame, wanted,
                                   window->minimumSizeHint())
                   .size()
                   .shrunkBy(MainWindow::guessedFrame);
    window->resize(size);
}

} // namespace

CorvantaApp::CorvantaApp(QObject* parent)
    : QObject(parent)
    , m_delegate(new AppDelegate(this))
{
    // The start line must be on disk before anything else runs.
    AppLog::start();
    // Every window's icon; the desktop entry names the same drawing.
    QApplication::setWindowIcon(AppIcon::icon());
    // One style on every desktop; it draws from the palettes, so the main
    // window's dark palette takes full effect.
    QApplication::setStyle(DarkAppearance::style());
    // Popups that take no palette from their window (a combo box's list
    // takes the menus' palette) are dark too.
    QApplication::setPalette(DarkAppearance::palette());
    // Before any store reads a setting.
    FirstRunDefaults::apply(Settings::standard());

    m_stores.spaceWeather = new SpaceWeatherStore(this);
    m_stores.viewport = new MapViewportModel(this);
    m_stores.cluster = new DXClusterClient(this);
    m_stores.predictions = new PredictionStore(this);
    m_stores.rotors = new RotatorManager(this);
    m_stores.updater = new Updater(this);
    // The last window closed ends the program, an update under way too
    // (its progress dialog keeps no program alive).
    connect(qApp, &QGuiApplication::lastWindowClosed, m_stores.updater, &Updater::stop);

    createActions();
}

CorvantaApp::~CorvantaApp()
{
    // Windows first: they hold the stores. Then the stores, newest first, so
    // a store's worker threads are joined while everything it reports to
    // still exists.
    for (const QPointer<MainWindow>& window : std::as_const(m_mainWindows))
        delete window;
    delete m_helpWindow;
    delete m_reportWindow;
    delete m_settingsWindow;
    delete m_aboutBox;
    delete m_stores.updater;
    delete m_stores.rotors;
    delete m_stores.predictions;
    delete m_stores.cluster;
    delete m_stores.viewport;
    delete m_stores.spaceWeather;
    m_stores = {};
}

void CorvantaApp::createActions()
{
    auto action = [this](const QString& text, const QKeySequence& shortcut, auto slot) {
        auto* a = new QAction(text, this);
        if (!shortcut.isEmpty())
            a->setShortcut(shortcut);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };

    m_about = action(QStringLiteral("About Corvanta"), {}, [this] { showAbout(); });
    m_checkForUpdates = action(QStringLiteral("Check for Updates…"), {}, [this] { m_stores.updater->check(true); });
    m_settings
        = action(QStringLiteral("Settings…"), QKeySequence(QStringLiteral("Ctrl+,")), [this] { showSettings(); });
    m_quit = action(QStringLiteral("Quit"), QKeySequence(QStringLiteral("Ctrl+Q")), [this] { quit(); });
    m_newWindow
        = action(QStringLiteral("New Window"), QKeySequence(QStringLiteral("Ctrl+N")), [this] { openMainWindow(); });
    m_closeWindow = action(QStringLiteral("Close Window"), QKeySequence(QStringLiteral("Ctrl+W")), [] {
        if (QWidget* window = QApplication::activeWindow())
            window->close();
    });
    m_refreshSpaceWeather
        = action(QStringLiteral("Refresh Space Weather"),
                                QKeySequence(QStringLiteral("Ctrl+R")), [this] { m_stores.spaceWeather->refresh(); });
    m_zoomIn = action(QStringLiteral("Zoom In"),
                                     QKeySequence(QStringLiteral("Ctrl+=")), [this] { m_stores.viewport->zoom(1.5); });
    // The plus typed with Shift or on the keypad too, and the keypad's minus.
    const auto ctrl = [](Qt::Key key, Qt::KeyboardModifiers more = {}) {
        return QKeySequence(QKeyCombination(Qt::ControlModifier | more, key));
    };
    m_zoomIn->setShortcuts({ ctrl(Qt::Key_Equal), ctrl(Qt::Key_Plus), ctrl(Qt::Key_Plus, Qt::KeypadModifier) });
    m_zoomOut = action(QStringLiteral("Zoom Out"), QKeySequence(QStringLiteral("Ctrl+-")), [this] {
        m_stores.viewport->zoom(2.0 / 3.0);
    });
    m_zoomOut->setShortcuts({ ctrl(Qt::Key_Minus), ctrl(Qt::Key_Minus, Qt::KeypadModifier) });
    m_showWholeWorld = action(QStringLiteral("Show Whole World"), QKeySequence(QStringLiteral("Ctrl+0")), [this] {
        m_stores.viewport->setViewport(MapViewport { 1.0, QPointF(0.5, 0.5) });
    });
    m_help = action(QStringLiteral("Corvanta Help"), QKeySequence(Qt::Key_F1), [this] { showHelp(); });
    m_help->setShortcuts({ QKeySequence(Qt::Key_F1), QKeySequence(QStringLiteral("Ctrl+?")) });
    m_report = action(QStringLiteral("Report a Problem…"), {}, [this] { showReport(); });
    m_openLogFolder = action(QStringLiteral("Open Log Folder"), {}, [] { AppLog::openFolder(); });

    // These answer their keys from every window of the application, the
    // help, settings and problem report windows too.
    for (QAction* everywhere : applicationWideActions())
        everywhere->setShortcutContext(Qt::ApplicationShortcut);
}

QList<QAction*> CorvantaApp::applicationWideActions() const { return { m_quit, m_newWindow, m_settings, m_help }; }

void CorvantaApp::installMenus(QMenuBar* menuBar)
{
    // Where Linux desktops keep them: Quit at the end of File, Settings in
    // Edit, About at the end of Help.
    QMenu* file = menuBar->addMenu(QStringLiteral("&File"));
    file->addAction(m_newWindow);
    file->addAction(m_closeWindow);
    file->addSeparator();
    file->addAction(m_quit);

    QMenu* edit = menuBar->addMenu(QStringLiteral("&Edit"));
    edit->addAction(m_settings);

    QMenu* view = menuBar->addMenu(QStringLiteral("&View"));
    view->addAction(m_refreshSpaceWeather);
    view->addSeparator();
    view->addAction(m_zoomIn);
    view->addAction(m_zoomOut);
    view->addAction(m_showWholeWorld);

    QMenu* help = menuBar->addMenu(QStringLiteral("&Help"));
    help->addAction(m_help);
    help->addSeparator();
    help->addAction(m_report);
    help->addAction(m_openLogFolder);
    help->addSeparator();
    help->addAction(m_checkForUpdates);
    help->addAction(m_about);
}

MainWindow* CorvantaApp::openMainWindow()
{
    auto* window = new MainWindow(m_stores);
    // Placed with its menus, which make it taller.
    installMenus(window->menuBar());
    // The first window of a run comes back as the last one was left;
    // later ones cascade from the newest one open.
    m_mainWindows.removeAll(nullptr);
    if (std::exchange(m_restoredMainWindow, true) || !window->restoreSavedGeometry())
        window->placeOnScreen(m_mainWindows.isEmpty() ? nullptr : m_mainWindows.last().data());
    m_mainWindows.append(window);
    connect(window, &MainWindow::cameToFront, this, [this, window] { m_frontMainWindow = window; });
    connect(window, &MainWindow::closing, this, [this, window] {
        // The last one closed stores its frame; at Quit the one in front
        // has stored its own.
        if (!m_quitting && openMainWindows() == QList<MainWindow*> { window })
            window->storeGeometry();
    });
    DarkAppearance::apply(window);
    connect(window->contentView(), &ContentView::settingsRequested, this, [this] { showSettings(); });
    window->show();
    return window;
}

QList<MainWindow*> CorvantaApp::openMainWindows() const
{
    QList<MainWindow*> open;
    for (const QPointer<MainWindow>& window : m_mainWindows)
        if (window && window->isVisible())
            open.append(window);
    return open;
}

void CorvantaApp::quit()
{
    // The window in front, or the newest where none has been since the
    // one in front closed, is how the next start comes up; the others,
    // wherever they were moved, store nothing as they close.
    const QList<MainWindow*> open = openMainWindows();
    if (m_frontMainWindow && open.contains(m_frontMainWindow))
        m_frontMainWindow->storeGeometry();
    else if (!open.isEmpty())
        open.last()->storeGeometry();
    m_quitting = true;
    // An update under way neither holds the quit up nor goes on after it.
    m_stores.updater->stop();
    QApplication::closeAllWindows();
    m_quitting = false;
}

QWidget* CorvantaApp::showSingleWindow(QPointer<QWidget>& slot, const std::function<QWidget*()>& make)
{
    if (!slot) {
        slot = make();
        // Their keys work here while no main window is open too.
        slot->addActions(applicationWideActions());
    }
    // An open window comes to the front, from the taskbar too.
    slot->setWindowState(slot->windowState() & ~Qt::WindowMinimized);
    slot->show();
    slot->raise();
    slot->activateWindow();
    return slot;
}

QWidget* CorvantaApp::showAbout()
{
    return showSingleWindow(m_aboutBox, [] {
        auto* box = new AboutBox;
        box->setAttribute(Qt::WA_DeleteOnClose);
        return box;
    });
}

QWidget* CorvantaApp::showHelp()
{
    return showSingleWindow(m_helpWindow, [] {
        QWidget* window = makeWindow(QStringLiteral("Corvanta Help"), new HelpView);
        DarkAppearance::apply(window);
        giveSize(window, QSize(760, 820));
        return window;
    });
}

QWidget* CorvantaApp::showReport()
{
    return showSingleWindow(m_reportWindow, [] {
        auto* form = new ReportProblemView;
        if (const QScreen* screen = openingScreen())
            form->fitHeight(screen->availableGeometry().height() - MainWindow::guessedFrame.top()
                            - MainWindow::guessedFrame.bottom());
        QWidget* window = makeWindow(QStringLiteral("Report a Problem"), form);
        DarkAppearance::apply(window);
        // Resizable only within what its content allows.
        window->layout()->setSizeConstraint(QLayout::SetMinAndMaxSize);
        giveUsableSize(window);
        return window;
    });
}

QWidget* CorvantaApp::showSettings()
{
    return showSingleWindow(m_settingsWindow, [this] {
        QWidget* window = makeWindow(QStringLiteral("Corvanta Settings"), new SettingsView(m_stores));
        // Made anew at each opening: the tabs' view state goes with the window.
        window->setAttribute(Qt::WA_DeleteOnClose);
        DarkAppearance::apply(window);
        giveSize(window, SettingsView::idealWindowSize);
        return window;
    });
}
