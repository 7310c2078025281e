#include "maintenance/UpdateDialogs.h"

#include "kit/DarkAppearance.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace UpdateDialogs {

namespace {

const QString alertName = QStringLiteral("updateAlert");

// A message box wraps its text at about 500 pixels and never scrolls, so
// long release notes (the feed may carry a megabyte) would push its buttons
// below the screen. Counts lines as the box wraps them, at a conservative
// 60 characters, and keeps what fits within `maxLines`.
QString cutToLines(const QString& text, int maxLines)
{
    constexpr int wrapChars = 60;
    int used = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        qsizetype lineEnd = text.indexOf(u'\n', end);
        if (lineEnd < 0)
            lineEnd = text.size();
        const int wrapped = std::max<int>(1, int((lineEnd - end + wrapChars - 1) / wrapChars));
        if (used + wrapped > maxLines) {
            const qsizetype room = qsizetype(std::max(0, maxLines - used)) * wrapChars;
            return text.left(end + std::min(room, lineEnd - end)).trimmed() + QStringLiteral("\n…");
        }
        used += wrapped;
        end = lineEnd + 1;
    }
    return text;
}

// The lines of informative text that leave the box, with its title, buttons
// and opened details, on the screen it is shown on.
int linesThatFit(const QMessageBox* box)
{
    const QScreen* screen = box->screen() ? box->screen() : QGuiApplication::primaryScreen();
    const int free = screen ? screen->availableGeometry().height() : 600;
    constexpr int titleButtonsAndDetails = 340;
    return std::max(4, (free - titleButtonsAndDetails) / QFontMetrics(box->font()).lineSpacing());
}

// A line without a blank (a folder's or a file's path) is never broken:
// the text is at least as wide as the longest of them, as far as the screen
// allows.
void keepPathsWhole(QMessageBox* box)
{
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    if (!label)
        return;
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : label->text().split(u'\n')) {
        if (!line.contains(u' '))
            widest = std::max(widest, metrics.horizontalAdvance(line) + metrics.averageCharWidth());
    }
    const QScreen* screen = box->screen() ? box->screen() : QGuiApplication::primaryScreen();
    const int room = screen ? screen->availableGeometry().width() * 3 / 4 : 800;
    label->setMinimumWidth(std::min(widest, room));
}

QMessageBox* makeBox(const QString& title, const QString& text, QWidget* parent)
{
    auto* box = new QMessageBox(parent ? parent : QApplication::activeWindow());
    box->setWindowTitle(QStringLiteral("Corvanta"));
    box->setIcon(QMessageBox::Information);
    box->setPalette(DarkAppearance::palette());
    box->setTextFormat(Qt::PlainText);
    box->setText(title);
    // Text too long for the screen is cut, and the whole of it is behind
    // "Show Details...", which scrolls.
    const QString shown = cutToLines(text, linesThatFit(box));
    box->setInformativeText(shown);
    if (shown != text)
        box->setDetailedText(text);
    // The informative label does not follow the box's text format; notes
    // from the feed must never be read as markup.
    for (QLabel* label : box->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    return box;
}

} // namespace

QMessageBox* alert(const QString& title, const QString& text, bool failure, QWidget* parent)
{
    QMessageBox* box = makeBox(title, text, parent);
    box->setObjectName(alertName);
    if (failure)
        box->setIcon(QMessageBox::Warning);
    keepPathsWhole(box);
    box->setDefaultButton(box->addButton(QMessageBox::Ok));
    return box;
}

void addToOpenAlert(const QString& paragraph)
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (box && box->isVisible() && box->objectName() == alertName)
            box->setInformativeText(box->informativeText() + QStringLiteral("\n\n") + paragraph);
    }
}

QMessageBox* offer(const ReleaseFeed::Release& release, const QString& currentVersion, QWidget* parent)
{
    QString text = QStringLiteral("You have version ") + currentVersion + QStringLiteral(".");
    if (release.notes && !release.notes->isEmpty())
        text += QStringLiteral("\n\n") + *release.notes;
    QMessageBox* box
        = makeBox(QStringLiteral("Corvanta ") + release.version + QStringLiteral(" is available"), text, parent);
    box->setDefaultButton(box->addButton(QStringLiteral("Update now"), QMessageBox::AcceptRole));
    box->setEscapeButton(box->addButton(QStringLiteral("Later"), QMessageBox::RejectRole));
    return box;
}

bool run(QMessageBox* box)
{
    box->raise();
    box->activateWindow();
    box->exec();
    const bool chosen = box->clickedButton() && box->clickedButton() == box->defaultButton();
    delete box;
    return chosen;
}

} // namespace UpdateDialogs
