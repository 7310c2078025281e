#include "maintenance/ReportProblemView.h"

#include "kit/AppLog.h"
#include "kit/DarkAppearance.h"
#include "maintenance/Updater.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTextLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The form's column: 560 wide between margins of 20.
constexpr int columnWidth = 560;
constexpr int margin = 20;

// The log lines the form shows, and the ones a report carries.
constexpr int previewLines = 40;
constexpr int reportLines = 4000;
constexpr qint64 logBytes = 350000;
// The log preview's height, and the least it gives up to a short screen
// (about four lines).
constexpr int previewHeight = 150;
constexpr int leastPreviewHeight = 64;
// The most lines the result under the form takes.
constexpr int resultLines = 4;

QColor secondary() { return QColor(0x9A, 0xA3, 0xB0); }
// Red and green that stay readable on the dark window.
QColor errorColor() { return QColor(0xFF, 0x45, 0x3A); }
QColor successColor() { return QColor(0x32, 0xD7, 0x4B); }

QString rgba(const QColor& c, double alpha)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)") .arg(c.red()).arg(c.green()).arg(c.blue()).arg(
        QString::number(alpha, 'f', 2));
}

// `color` laid over the window's background at `alpha`, as one opaque colour.
QColor mixed(const QColor& color, double alpha)
{
    const QColor under = DarkAppearance::palette().color(QPalette::Window);
    const auto mix = [&](int top, int bottom) { return qRound(top * alpha + bottom * (1.0 - alpha)); };
    return QColor(mix(color.red(), under.red()), mix(color.green(), under.green()), mix(color.blue(), under.blue()));
}

// A text box with rounded corners. A style sheet takes its colours from the
// application rather than from the window, so the dark ones are named here.
QString textBoxStyle(const QString& name, const QColor& background, const QString& border, int padding)
{
    const QPalette dark = DarkAppearance::palette();
    return QStringLiteral("QPlainTextEdit#%1 { background: %2; color: %3; border: %4; border-radius: 5px;"
                          " padding: %5px; selection-background-color: %6; selection-color: %7; }")
                              .arg(name, background.name(), dark.color(QPalette::Text).name(), border,
                                   QString::number(padding), dark.color(QPalette::Highlight).name(),
                                   dark.color(QPalette::HighlightedText).name());
}

QFont captionFont(QFont font)
{
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// `text` as at most `lines` lines of `width` pixels, the last one cut with
// "…" when more would follow. An answer of the site can be any size; the
// log keeps it whole.
QString fewLines(const QString& text, const QFont& font, int width, int lines)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList kept;
    bool cut = false;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (kept.size() == lines) {
            cut = true;
            break;
        }
        kept << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    if (cut) {
        const QFontMetrics metrics(font);
        kept.last() = metrics.elidedText(kept.last() + QStringLiteral(" …"), Qt::ElideRight, width);
        if (!kept.last().endsWith(u'…'))
            kept.last() += u'…';
    }
    return kept.join(u'\n');
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::Text, color);
    widget->setPalette(p);
}

} // namespace

ReportProblemView::ReportProblemView(QWidget* parent)
    : QWidget(parent)
    , m_sender(new ProblemReportSender(this))
{
    setPalette(DarkAppearance::palette());
    setAutoFillBackground(true);
    // The window takes the form's size and follows it when the log box or
    // the result line comes and goes.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(margin, margin, margin, margin);
    column->setSpacing(12);

    auto* heading = plainLabel(QStringLiteral("What happened? What did you expect?"), this);
    QFont headline = heading->font();
    headline.setBold(true);
    heading->setFont(headline);
    column->addWidget(heading);

    m_message = new QPlainTextEdit(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setMinimumHeight(120);
    m_message->setTabChangesFocus(true);
    m_message->setStyleSheet(textBoxStyle(QStringLiteral("message"), DarkAppearance::palette().color(QPalette::Base),
                                                         QStringLiteral("1px solid ") + rgba(secondary(), 0.4), 2));
    column->addWidget(m_message);

    m_email = new QLineEdit(this);
    m_email->setObjectName(QStringLiteral("email"));
    m_email->setPlaceholderText(QStringLiteral("Your email, for a reply (optional)"));
    column->addWidget(m_email);

    m_includeLog = new QCheckBox(QStringLiteral("Include the app's log file (recommended)"), this);
    m_includeLog->setObjectName(QStringLiteral("includeLog"));
    m_includeLog->setChecked(true);
    column->addWidget(m_includeLog);

    m_logBox = new QWidget(this);
    auto* logColumn = new QVBoxLayout(m_logBox);
    logColumn->setContentsMargins(0, 0, 0, 0);
    logColumn->setSpacing(6);
    auto* caption = plainLabel(QStringLiteral("The last lines of the log:"), m_logBox);
    caption->setFont(captionFont(caption->font()));
    setTextColor(caption, secondary());
    logColumn->addWidget(caption);
    m_preview = new QPlainTextEdit(m_logBox);
    m_preview->setObjectName(QStringLiteral("logPreview"));
    m_preview->setReadOnly(true);
    m_preview->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_preview->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_preview->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_preview->setFixedHeight(previewHeight);
    m_preview->setFont(captionFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)));
    m_preview->setStyleSheet(
        textBoxStyle(QStringLiteral("logPreview"), mixed(secondary(), 0.08), QStringLiteral("none"), 6));
    logColumn->addWidget(m_preview);
    column->addWidget(m_logBox);

    m_note = plainLabel(QString(), this);
    m_note->setObjectName(QStringLiteral("note"));
    m_note->setWordWrap(true);
    m_note->setFont(captionFont(m_note->font()));
    setTextColor(m_note, secondary());
    column->addWidget(m_note);

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    m_send = new QPushButton(QStringLiteral("Send report"), this);
    m_send->setObjectName(QStringLiteral("send"));
    m_send->setDefault(true);
    row->addWidget(m_send);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setFixedSize(72, 8);
    // Keeps its place in the row while hidden, so the row doesn't jump.
    QSizePolicy keepPlace = m_progress->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    m_progress->setSizePolicy(keepPlace);
    m_progress->hide();
    row->addWidget(m_progress);
    row->addStretch(1);
    auto* openFolder = new QPushButton(QStringLiteral("Open Log Folder"), this);
    row->addWidget(openFolder);
    column->addLayout(row);

    m_result = plainLabel(QString(), this);
    m_result->setObjectName(QStringLiteral("result"));
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_result->hide();
    column->addWidget(m_result);

    setFixedWidth(columnWidth + 2 * margin);

    connect(m_message, &QPlainTextEdit::textChanged, this, &ReportProblemView::updateState);
    connect(m_includeLog, &QCheckBox::toggled, m_logBox, &QWidget::setVisible);
    connect(m_includeLog, &QCheckBox::toggled, this, &ReportProblemView::fitToHeight);
    connect(m_send, &QPushButton::clicked, this, &ReportProblemView::send);
    // Return in the address field sends, like the default button; in the
    // message it starts a new line.
    connect(m_email, &QLineEdit::returnPressed, this, &ReportProblemView::send);
    connect(openFolder, &QPushButton::clicked, this, [] { AppLog::openFolder(); });

    m_note->setText(note());
    updateState();
}

QSize ReportProblemView::sizeHint() const
{
    // As tall as the column needs at the form's width; the wrapped lines'
    // own guess of a width would make it taller or shorter than shown.
    const int width = columnWidth + 2 * margin;
    const int height = heightForWidth(width);
    return height > 0 ? QSize(width, height) : QWidget::sizeHint();
}

void ReportProblemView::fitHeight(int height)
{
    m_heightLimit = height;
    fitToHeight();
}

void ReportProblemView::fitToHeight()
{
    // The form measures the preview's box anew at once, not on the next turn.
    const auto setPreviewHeight = [this](int height) {
        m_preview->setFixedHeight(height);
        m_logBox->updateGeometry();
    };
    const auto over = [this] { return sizeHint().height() - m_heightLimit; };
    setPreviewHeight(previewHeight);
    m_message->setMaximumHeight(QWIDGETSIZE_MAX);
    if (m_heightLimit <= 0 || over() <= 0)
        return;
    setPreviewHeight(std::max(leastPreviewHeight, previewHeight - over()));
    if (over() > 0)
        m_message->setMaximumHeight(std::max(m_message->minimumHeight(), m_message->sizeHint().height() - over()));
}

void ReportProblemView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // Loaded when the form appears, not when the switch is turned or a
    // report is sent.
    const QString tail = AppLog::file().tail(previewLines, logBytes);
    m_preview->setPlainText(tail.isEmpty() ? QStringLiteral("(The log is empty.)") : tail);
    m_note->setText(note());
}

QString ReportProblemView::note() const
{
    return QStringLiteral("Also sent: the app version (") + Updater::currentVersion()
                          + QStringLiteral("), ") + AppLog::systemDescription() + QStringLiteral(".");
}

void ReportProblemView::send()
{
    if (m_sending || m_message->toPlainText().trimmed().isEmpty())
        return;

    ProblemReport report;
    report.version = Updater::currentVersion();
    report.system = AppLog::systemDescription();
    // Neither is trimmed here; the request body trims the address.
    report.email = m_email->text();
    report.message = m_message->toPlainText();
    // Read anew, and longer than the preview.
    report.log = m_includeLog->isChecked() ? AppLog::file().tail(reportLines, logBytes) : QString();

    m_sending = true;
    m_result->clear();
    m_result->hide();
    fitToHeight();
    updateState();
    m_sender->send(report, [this](const ProblemReportSender::Result& result) { finish(result); });
}

void ReportProblemView::finish(const ProblemReportSender::Result& result)
{
    if (!result) {
        // The network's own words go to the log only.
        AppLog::file().write(QStringLiteral("Problem report failed: ") + result.error());
        showResult(QStringLiteral("Could not reach the web site. Please check your internet connection and try again."),
                                  true);
    } else if (result->isSent()) {
        AppLog::file().write(QStringLiteral("Problem report sent (") + result->text + QStringLiteral(")"));
        showResult(QStringLiteral("Thank you! The report was sent (number ") + result->text
                                  + QStringLiteral(")."), false);
        m_message->clear();
    } else {
        AppLog::file().write(QStringLiteral("Problem report refused: ") + result->text);
        showResult(fewLines(QStringLiteral("The report was not accepted: ") + result->text
                                           + QStringLiteral("."), m_result->font(), columnWidth, resultLines),
                            true);
    }
    m_sending = false;
    updateState();
}

void ReportProblemView::showResult(const QString& text, bool isError)
{
    // The site's text is shown as it came, never read as markup.
    m_result->setText(text);
    setTextColor(m_result, isError ? errorColor() : successColor());
    m_result->show();
    fitToHeight();
}

void ReportProblemView::updateState()
{
    m_send->setEnabled(!m_sending && !m_message->toPlainText().trimmed().isEmpty());
    m_progress->setVisible(m_sending);
}
