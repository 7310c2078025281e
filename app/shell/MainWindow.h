#pragma once

#include "kit/AppStores.h"

#include <QDeadlineTimer>
#include <QMainWindow>

#include <utility>

class ContentView;

// One main window "Corvanta": the content view as its central widget. The
// user may open several; all show the same stores and the same viewport.
//
// A window starts at 1440 × 900, made smaller where the free area of its
// screen (the desktop's panels left out) is smaller, frame included, and
// centred in that area; on a screen too small for even its minimum (a
// netbook's under a panel) the minimum gives way. A window opened while
// another is open cascades from it. The application stores the size,
// place and maximised state of the window closed last (or, at Quit, of the
// one in front), and the first window of a run takes them back when they
// still fit a screen.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int defaultWidth = 1440;
    static constexpr int defaultHeight = 900;
    // What the window system adds around a window, as most window managers
    // draw it (a title bar, thin borders), until it says otherwise.
    static constexpr QMargins guessedFrame { 4, 36, 4, 4 };

    explicit MainWindow(const AppStores& stores, QWidget* parent = nullptr);

    ContentView* contentView() const { return m_content; }

    // The default size and place on the screen under the pointer; or,
    // after another window, cascaded from it: one title bar lower and to
    // the right, within the screen's free area. Call once the menus are in
    // place, before the window is shown.
    void placeOnScreen(const MainWindow* after = nullptr);

    // Takes back the stored size, place and maximised state when they fit
    // the free area of a screen present now; otherwise, or when none are
    // stored, leaves the window as it is and answers false. Call before
    // the window is shown.
    bool restoreSavedGeometry();
    // Stores the size, place and maximised state for the next start; the
    // first window of a run only once they differ from how it came up.
    void storeGeometry();

    // The frame of a window in a screen's free area: the preferred size
    // made smaller where the area is, never below the minimum (the
    // window's own), centred, and with the title bar's corner inside the
    // area when even the minimum is too large. `frame` is what the window
    // system adds around the window.
    static QRect frameIn(const QRect& available, const QMargins& frame, const QSize& preferred, const QSize& minimum);

Q_SIGNALS:
    // The window became the active one.
    void cameToFront();
    // The window is being closed.
    void closing();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Where a screen's free area is smaller than the window's minimum, frame
    // included, the minimum gives way to the area (the map is made lower
    // or narrower), so that the whole frame, title bar first, can be on
    // that screen, maximised or not.
    void fitMinimumTo(const QRect& available, const QMargins& frame);
    // Looks at the frame again when the window system has framed the
    // window since: in the first moments after the first show.
    void noticeFraming();
    // Once the window system has framed the window, its frame must still
    // be on the screen: a frame larger than the guess is moved or shrunk.
    // Only then: sizes and places given later are the user's.
    void keepFrameOnScreen();
    // The frame as the window system says it is; none while it has not.
    QMargins knownFrameMargins() const;
    // What the window system adds around the window: its own answer once
    // it framed the window, else a title bar's guess.
    QMargins frameMargins() const;

    ContentView* m_content = nullptr;
    QDeadlineTimer m_settling; // the first moments after the first show
    QMargins m_knownFrame;
    std::pair<QRect, Qt::WindowStates> m_shownAs; // at the first show
    bool m_shown = false;
    bool m_firstOfRun = false; // asked to take back the stored frame
};
