#pragma once

#include "kit/AppStores.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class AppDelegate;
class MainWindow;
class QAction;
class QMenuBar;
class QWidget;

// The application: starts the log, applies the first-run defaults, creates
// the long-lived stores (in that order, so every store reads settings the
// first-run step has written and logs after the start line), and owns the
// windows and menu commands. Exactly one per process, on the main thread,
// created after the QApplication.
class CorvantaApp : public QObject {
    Q_OBJECT
public:
    explicit CorvantaApp(QObject* parent = nullptr);
    ~CorvantaApp() override;

    const AppStores& stores() const { return m_stores; }

    // Opens one more main window; all share the stores and the viewport.
    MainWindow* openMainWindow();
    // Closes every window. The main window in front stores its size and
    // place for the next start; otherwise the one closed last does.
    void quit();
    // The single windows: created on first request, brought to the front
    // (never duplicated) on later ones.
    QWidget* showHelp();
    QWidget* showReport();
    QWidget* showSettings();
    QWidget* showAbout();

    // Fills a main window's menu bar with the application's commands. The
    // actions are shared by every main window; Quit, New Window, Settings
    // and Help answer their keys from every window of the application, and
    // Close Window closes the window in front.
    void installMenus(QMenuBar* menuBar);

    // The menu commands, for windows and tests.
    QAction* checkForUpdatesAction() const { return m_checkForUpdates; }
    QAction* refreshSpaceWeatherAction() const { return m_refreshSpaceWeather; }
    QAction* zoomInAction() const { return m_zoomIn; }
    QAction* zoomOutAction() const { return m_zoomOut; }
    QAction* showWholeWorldAction() const { return m_showWholeWorld; }
    QAction* helpAction() const { return m_help; }
    QAction* reportAction() const { return m_report; }
    QAction* settingsAction() const { return m_settings; }
    QAction* quitAction() const { return m_quit; }
    QAction* newWindowAction() const { return m_newWindow; }
    QAction* closeWindowAction() const { return m_closeWindow; }
    QAction* aboutAction() const { return m_about; }
    QAction* openLogFolderAction() const { return m_openLogFolder; }

private:
    void createActions();
    QList<QAction*> applicationWideActions() const;
    QList<MainWindow*> openMainWindows() const;
    QWidget* showSingleWindow(QPointer<QWidget>& slot, const std::function<QWidget*()>& make);

    AppDelegate* m_delegate = nullptr;
    AppStores m_stores;

    QList<QPointer<MainWindow>> m_mainWindows; // in the order they opened
    QPointer<MainWindow> m_frontMainWindow;    // the one active last
    QPointer<QWidget> m_helpWindow;
    QPointer<QWidget> m_reportWindow;
    QPointer<QWidget> m_settingsWindow;
    QPointer<QWidget> m_aboutBox;
    bool m_restoredMainWindow = false;
    bool m_quitting = false;

    QAction* m_about = nullptr;
    QAction* m_checkForUpdates = nullptr;
    QAction* m_settings = nullptr;
    QAction* m_quit = nullptr;
    QAction* m_newWindow = nullptr;
    QAction* m_closeWindow = nullptr;
    QAction* m_refreshSpaceWeather = nullptr;
    QAction* m_zoomIn = nullptr;
    QAction* m_zoomOut = nullptr;
    QAction* m_showWholeWorld = nullptr;
    QAction* m_help = nullptr;
    QAction* m_report = nullptr;
    QAction* m_openLogFolder = nullptr;
};
