#include "shell/MainWindow.h"

#include "kit/DarkAppearance.h"
#include "kit/SettingsNote.h"
#include "shell/ContentView.h"
#include "shell/MainToolBar.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QCloseEvent>
#include <QCursor>
#include <QDataStream>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// How long after the first show the window system may still frame the
// window (reparenting, then the frame's size).
constexpr int settlingMs = 2000;

// How far a new window is set off from the one before where the window
// system draws no title bar (or a thin one) to go by.
constexpr int leastCascadeStep = 24;

struct SavedGeometry {
    QRect frame;  // the window with its frame, maximised or not
    QRect normal; // the window without frame when not maximised
    bool maximised = false; // or full screen
};

// What QWidget::saveGeometry() writes first, after its mark and format
// version (1 to 3 so far): the two rectangles, the screen's number and the
// maximised and full screen states; none when the bytes are no such
// description.
std::optional<SavedGeometry> readSavedGeometry(const QByteArray& bytes)
{
    QDataStream stream(bytes);
    stream.setVersion(QDataStream::Qt_4_0);
    quint32 mark = 0;
    quint16 major = 0;
    quint16 minor = 0;
    SavedGeometry saved;
    qint32 screen = 0;
    quint8 maximised = 0;
    quint8 fullScreen = 0;
    stream >> mark >> major >> minor >> saved.frame >> saved.normal >> screen >> maximised >> fullScreen;
    if (stream.status() != QDataStream::Ok || mark != 0x1D9D0CB || major < 1 || major > 3 || !saved.frame.isValid()
        || !saved.normal.isValid())
        return std::nullopt;
    saved.maximised = maximised || fullScreen;
    return saved;
}

} // namespace

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
    // Settings that cannot be saved, or a settings file that was unreadable.
    SettingsNote::addTo(this, Settings::standard());
}

QRect MainWindow::frameIn(const QRect& available, const QMargins& frame, const QSize& preferred, const QSize& minimum)
{
    const QSize room = available.size().shrunkBy(frame);
    const QSize client = preferred.boundedTo(room).expandedTo(minimum);
    QRect outer(QPoint(0, 0), client.grownBy(frame));
    outer.moveCenter(available.center());
    // Too large for the area: the title bar's corner stays inside, so the
    // window can still be moved and resized.
    if (outer.right() > available.right())
        outer.moveRight(available.right());
    if (outer.bottom() > available.bottom())
        outer.moveBottom(available.bottom());
    if (outer.left() < available.left())
        outer.moveLeft(available.left());
    if (outer.top() < available.top())
        outer.moveTop(available.top());
    return outer;
}

QMargins MainWindow::knownFrameMargins() const
{
    const QWindow* window = windowHandle();
    return window ? window->frameMargins() : QMargins();
}

QMargins MainWindow::frameMargins() const
{
    const QMargins known = knownFrameMargins();
    return known.isNull() ? guessedFrame : known;
}

void MainWindow::placeOnScreen(const MainWindow* after)
{
    if (after && (after->isMaximized() || after->isFullScreen()))
        after = nullptr;
    QScreen* screen = after ? after->screen() : QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen) {
        resize(defaultWidth, defaultHeight);
        return;
    }
    setScreen(screen);
    const QRect available = screen->availableGeometry();
    const QMargins frame = frameMargins();
    fitMinimumTo(available, frame);
    QRect outer = frameIn(available, frame, QSize(defaultWidth, defaultHeight), minimumSizeHint());
    if (after) {
        // One title bar lower and to the right of the other window, so that
        // both title bars show, and smaller where the free area ends; in a
        // direction where even the least window would not fit so, back at
        // the area's edge. The other window's size, where it fits.
        const int step = std::max(after->frameMargins().top(), leastCascadeStep);
        const QRect last(after->frameGeometry().topLeft(), after->size().grownBy(frame));
        const QSize least = minimumSizeHint().grownBy(frame);
        // The first and the one past the last pixel in one direction.
        const auto cascade = [step](int from, int length, int shortest, int first, int end) {
            const int start = std::max(from + step, first);
            if (std::min(start + length, end) - start >= shortest)
                return std::pair(start, std::min(start + length, end));
            return std::pair(first, std::min(first + length, end));
        };
        const auto [left, right]
            = cascade(last.left(), last.width(), least.width(), available.left(), available.left() + available.width());
        const auto [top, bottom]
            = cascade(last.top(), last.height(), least.height(), available.top(), available.top() + available.height());
        outer = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
    }
    resize(outer.size().shrunkBy(frame));
    move(outer.topLeft()); // a window's position is its frame's
}

void MainWindow::fitMinimumTo(const QRect& available, const QMargins& frame)
{
    const QSize least(ContentView::minimumWidth, ContentView::minimumHeight);
    m_content->setMinimumSize(least);
    const QSize over = minimumSizeHint() - available.size().shrunkBy(frame);
    m_content->setMinimumSize((least - over.expandedTo(QSize(0, 0))).expandedTo(QSize(0, 0)));
}

bool MainWindow::restoreSavedGeometry()
{
    m_firstOfRun = true;
    const QByteArray saved
        = QByteArray::fromBase64(Settings::standard().get(SettingKeys::mainWindowGeometry).toLatin1());
    const std::optional<SavedGeometry> rects = readSavedGeometry(saved);
    if (!rects)
        return false;
    // Qt would move and shrink a window that no longer fits; such a window
    // starts as on a first start instead. The frame as it was must lie in
    // the free area of a screen present now, and the size must still be one
    // the window can take there. A maximised window's frame is that area
    // as Qt last knew the frame's margins: stored moments after the window
    // was maximised, it may still carry the margins of the frame before, a
    // pixel or a title bar beyond the area. Such a window comes back
    // maximised on the screen that holds its frame's middle, where the
    // window it is when made normal lies in the area.
    const QList<QScreen*> screens = QGuiApplication::screens();
    const auto screen = std::find_if(screens.begin(), screens.end(), [&](const QScreen* s) {
        const QRect free = s->availableGeometry();
        return rects->maximised ? free.contains(rects->frame.center()) && free.contains(rects->normal)
                                : free.contains(rects->frame);
    });
    if (screen == screens.end())
        return false;
    fitMinimumTo((*screen)->availableGeometry(), frameMargins());
    const QSize minimum = minimumSizeHint();
    if (rects->normal.width() < minimum.width() || rects->normal.height() < minimum.height())
        return false;
    return restoreGeometry(saved);
}

bool MainWindow::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (!m_shown) {
            m_shown = true;
            m_shownAs = { geometry(), windowState() };
            m_settling.setRemainingTime(settlingMs);
            m_knownFrame = knownFrameMargins();
            // Some window systems frame the window without moving it (as
            // they see it); its first exposure comes after the framing.
            if (QWindow* handle = windowHandle())
                handle->installEventFilter(this);
            // Where the window system knew the frame already; unless the
            // window was given another size or place meanwhile.
            QTimer::singleShot(0, this, [this, shown = geometry()] {
                if (geometry() == shown)
                    keepFrameOnScreen();
            });
        }
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
        if (m_shown)
            noticeFraming();
        break;
    case QEvent::WindowActivate:
        Q_EMIT cameToFront();
        break;
    default:
        break;
    }
    return QMainWindow::event(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose)
        noticeFraming();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::noticeFraming()
{
    // The window system framed the window: does the frame fit?
    if (!m_settling.hasExpired() && knownFrameMargins() != m_knownFrame) {
        m_knownFrame = knownFrameMargins();
        QTimer::singleShot(0, this, &MainWindow::keepFrameOnScreen);
    }
}

void MainWindow::keepFrameOnScreen()
{
    const QScreen* screen = this->screen();
    if (!screen || !isVisible())
        return;
    // A maximised window (or one asked to be) keeps its minimum: one that
    // grew it would ask the window system for another size, which a
    // window manager takes for leaving the maximised state.
    if (isMaximized() || isFullScreen())
        return;
    const QRect available = screen->availableGeometry();
    const QMargins frame = frameMargins();
    // Once framed, with the frame the window system drew.
    fitMinimumTo(available, frame);
    const QRect outer = frameGeometry();
    if (available.contains(outer))
        return;
    QRect fitted = frameIn(available, frame, size(), minimumSizeHint());
    // Where the frame keeps its size, only its place changes: into the
    // area, and to its top-left corner where even the smallest frame is
    // larger than the area (a netbook's screen under a panel).
    const auto within = [](int at, int first, int last) { return std::max(first, std::min(at, last)); };
    if (fitted.size() == outer.size())
        fitted.moveTopLeft(QPoint(within(outer.left(), available.left(), available.right() - outer.width() + 1),
                                  within(outer.top(), available.top(), available.bottom() - outer.height() + 1)));
    resize(fitted.size().shrunkBy(frame));
    move(fitted.topLeft());
}

void MainWindow::storeGeometry()
{
    // The first window of a run that is left as it came up writes nothing:
    // a start that changes nothing leaves what was stored, also where it
    // no longer fitted a screen.
    if (!m_shown || (m_firstOfRun && std::pair(geometry(), windowState()) == m_shownAs))
        return;
    const QString geometry = QString::fromLatin1(saveGeometry().toBase64());
    Settings& settings = Settings::standard();
    if (settings.get(SettingKeys::mainWindowGeometry) != geometry)
        settings.set(SettingKeys::mainWindowGeometry, geometry);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    Q_EMIT closing();
    QMainWindow::closeEvent(event);
}
