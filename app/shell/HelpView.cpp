#include "shell/HelpView.h"

#include "geo/MapData.h"
#include "kit/DarkAppearance.h"
#include "shell/HelpLine.h"

#include <QEvent>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

// The platform's text styles relative to body text.
constexpr double titleScale = 26.0 / 13.0;
constexpr double headingScale = 17.0 / 13.0;
constexpr double titleSpaceBelow = 4;
constexpr double headingSpaceAbove = 14;
constexpr double blankHeight = 2;
constexpr double rowIndent = 6;
constexpr double markGap = 8;

QFont sized(const QFont& body, double scale, QFont::Weight weight)
{
    QFont font = body;
    font.setPointSizeF(body.pointSizeF() * scale);
    font.setWeight(weight);
    return font;
}

// Numbered marks line up when every digit is as wide as the others; a font
// whose digits differ gives way to the fixed-pitch font for the mark.
QFont markFont(const QFont& body)
{
    const QFontMetricsF metrics(body);
    const double zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit)
        if (metrics.horizontalAdvance(QLatin1Char(digit)) != zero) {
            QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
            fixed.setPointSizeF(body.pointSizeF());
            return fixed;
        }
    return body;
}

// Carriage returns stay part of their line but draw nothing (a document
// would start a new paragraph at one).
QString printable(QString text) { return text.remove(QLatin1Char('\r')); }

void insertInline(QTextCursor& cursor, const QString& content, const QTextCharFormat& base)
{
    const QFont code = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const InlineMarkdown::Run& run : InlineMarkdown::parse(content)) {
        QTextCharFormat format = base;
        if (run.strong)
            format.setFontWeight(base.fontWeight() >= QFont::DemiBold ? QFont::Black : QFont::Bold);
        if (run.emphasis)
            format.setFontItalic(true);
        if (run.strikethrough)
            format.setFontStrikeOut(true);
        if (run.code) {
            format.setFontFamilies(code.families());
            format.setFontFixedPitch(true);
        }
        if (!run.link.isEmpty()) {
            format.setAnchor(true);
            format.setAnchorHref(run.link);
            format.setFontUnderline(true);
            format.setForeground(DarkAppearance::accent());
        }
        // Inserted as text with a format: nothing in the guide is read as
        // markup of the document itself.
        cursor.insertText(printable(run.text), format);
    }
}

} // namespace

QString HelpView::builtInText()
{
    return QStringLiteral(
        "# Corvanta Help\n\nThe help file was not found in the app. It is HELP.md in the source folder.");
}

QString HelpView::readText(const QString& path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return builtInText();
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return builtInText();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    return utf8.hasError() ? builtInText() : text;
}

const QString& HelpView::text()
{
    static const QString guide = [] {
        const QString folder = ResourceFolders::standard().application;
        return readText(folder.isEmpty() ? QString() : folder + QStringLiteral("/HELP.md"));
    }();
    return guide;
}

HelpView::HelpView(QWidget* parent)
    : HelpView(text(), parent)
{
}

HelpView::HelpView(const QString& text, QWidget* parent)
    : QWidget(parent)
    , m_browser(new QTextBrowser(this))
{
    setMinimumSize(minimumWidth, minimumHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);

    m_browser->setFrameShape(QFrame::NoFrame);
    m_browser->setOpenExternalLinks(true);
    m_browser->setPalette(DarkAppearance::palette());
    m_browser->setLineWrapMode(QTextEdit::FixedPixelWidth);
    // Filled before the view takes it, so that the guide opens at its top.
    auto* document = new QTextDocument(m_browser);
    document->setDocumentMargin(padding);
    render(document, text, m_browser->font());
    m_browser->setDocument(document);
    m_browser->viewport()->installEventFilter(this);
    fitColumn();
}

bool HelpView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_browser->viewport() && event->type() == QEvent::Resize)
        fitColumn();
    return QWidget::eventFilter(watched, event);
}

void HelpView::fitColumn()
{
    // The column wraps in the window, but never grows past 760 points.
    const int width = std::min(m_browser->viewport()->width(), maximumColumnWidth);
    if (m_browser->lineWrapColumnOrWidth() != width)
        m_browser->setLineWrapColumnOrWidth(width);
}

void HelpView::render(QTextDocument* document, const QString& text, const QFont& body)
{
    document->clear();
    document->setDefaultFont(body);
    QTextCursor cursor(document);
    const QFont markBody = markFont(body);

    bool first = true;
    double spaceBelowPrevious = 0;
    for (const HelpLine& line : HelpLine::split(text)) {
        const HelpLine::Kind kind = line.kind();
        QTextBlockFormat block;
        QTextCharFormat format;
        format.setFont(body);
        double top = first ? 0 : lineSpacing + spaceBelowPrevious;
        spaceBelowPrevious = 0;

        switch (kind) {
        case HelpLine::Kind::title:
            format.setFont(sized(body, titleScale, QFont::Bold));
            spaceBelowPrevious = titleSpaceBelow;
            break;
        case HelpLine::Kind::heading:
            format.setFont(sized(body, headingScale, QFont::DemiBold));
            top += first ? 0 : headingSpaceAbove;
            break;
        case HelpLine::Kind::bullet:
        case HelpLine::Kind::numbered: {
            // A row: the mark, 8 points, then the text, whose wrapped lines
            // keep to the text's edge; the row 6 points in.
            const QFont mark = kind == HelpLine::Kind::numbered ? markBody : body;
            const double markWidth = QFontMetricsF(mark).horizontalAdvance(line.mark());
            block.setLeftMargin(rowIndent + markWidth + markGap);
            block.setTextIndent(-(markWidth + markGap));
            // The tab after the mark stops where the wrapped lines begin
            // (tabs count from the start of the first line).
            block.setTabPositions({ QTextOption::Tab(markWidth + markGap, QTextOption::LeftTab) });
            break;
        }
        case HelpLine::Kind::blank:
            block.setLineHeight(blankHeight, QTextBlockFormat::FixedHeight);
            break;
        case HelpLine::Kind::paragraph:
            break;
        }
        block.setTopMargin(top);
        block.setBottomMargin(0);

        if (first)
            cursor.setBlockFormat(block);
        else
            cursor.insertBlock(block, format);
        cursor.setBlockCharFormat(format);
        first = false;

        if (kind == HelpLine::Kind::bullet || kind == HelpLine::Kind::numbered) {
            QTextCharFormat markFormat = format;
            if (kind == HelpLine::Kind::numbered)
                markFormat.setFont(markBody);
            cursor.insertText(line.mark(), markFormat);
            cursor.insertText(QStringLiteral("\t"), format);
        }
        if (kind != HelpLine::Kind::blank)
            insertInline(cursor, line.content(), format);
    }
}
