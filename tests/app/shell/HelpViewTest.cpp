// The user guide's renderer: which line is which, what the inline marks
// become, and that the guide shipped with the application renders clean.
#include "shell/HelpView.h"
#include "shell/HelpLine.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextLayout>
#include <gtest/gtest.h>

namespace {

using Kind = HelpLine::Kind;
using Span = InlineMarkdown::Run;

Span styled(const QString& text, bool strong, bool emphasis, bool code = false, bool struck = false,
            const QString& link = {})
{
    Span span;
    span.text = text;
    span.strong = strong;
    span.emphasis = emphasis;
    span.code = code;
    span.strikethrough = struck;
    span.link = link;
    return span;
}
Span plain(const QString& text) { return styled(text, false, false); }
Span strong(const QString& text) { return styled(text, true, false); }
Span emphasis(const QString& text) { return styled(text, false, true); }
Span code(const QString& text) { return styled(text, false, false, true); }
Span struck(const QString& text) { return styled(text, false, false, false, true); }
Span linked(const QString& text, const QString& target) { return styled(text, false, false, false, false, target); }

std::string describe(const QList<Span>& runs)
{
    std::string out;
    for (const Span& r : runs)
        out += "[" + r.text.toStdString() + (r.strong ? " B" : "") + (r.emphasis ? " I" : "") + (r.code ? " C" : "")
            + (r.strikethrough ? " S" : "") + (r.link.isEmpty() ? "" : " ->" + r.link.toStdString()) + "]";
    return out;
}

// The room a block takes in the column: from its text to the space above
// the next block's text.
double gapHeight(const QTextBlock& block)
{
    block.document()->documentLayout()->documentSize(); // laid out
    const QTextBlock next = block.next();
    return next.layout()->position().y() - next.blockFormat().topMargin() - block.layout()->position().y();
}

// The fragments of a block with their formats.
QList<QTextFragment> fragments(const QTextBlock& block)
{
    QList<QTextFragment> list;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        list << it.fragment();
    return list;
}

} // namespace

TEST(HelpLine, EachLineFindsItsKindInOrder)
{
    const struct {
        const char* line;
        Kind kind;
        const char* mark;
        const char* content;
    } cases[] = {
        { "# Corvanta Help", Kind::title, "", "Corvanta Help" },
        { "## The map", Kind::heading, "", "The map" },
        { "- a *point*", Kind::bullet, "•", "a *point*" },
        { "12. Twelve", Kind::numbered, "12.", "Twelve" },
        { "3.\u00A0 Three \t", Kind::numbered, "3.", "Three" },
        { "1.5 litres", Kind::numbered, "1.", "5 litres" }, // no blank needed after the dot
        { "\u0663. Arabic-Indic three", Kind::numbered, "\u0663.", "Arabic-Indic three" },
        { "\u00BD. half", Kind::numbered, "\u00BD.", "half" },
        { ". starts with a dot", Kind::paragraph, "", ". starts with a dot" },
        { "1a. not a number", Kind::paragraph, "", "1a. not a number" },
        { "##heading without blank", Kind::paragraph, "", "##heading without blank" },
        { "### three marks", Kind::paragraph, "", "### three marks" },
        { "-no blank", Kind::paragraph, "", "-no blank" },
        { "text with # inside", Kind::paragraph, "", "text with # inside" },
        { " \t\u2003", Kind::blank, "", "" },
        { "", Kind::blank, "", "" },
        { "\r", Kind::paragraph, "", "\r" }, // a carriage return is no blank
        { "# ", Kind::title, "", "" },
    };
    for (const auto& c : cases) {
        const HelpLine line { QString::fromUtf8(c.line) };
        EXPECT_EQ(line.kind(), c.kind) << c.line;
        EXPECT_EQ(line.mark(), QString::fromUtf8(c.mark)) << c.line;
        EXPECT_EQ(line.content(), QString::fromUtf8(c.content)) << c.line;
    }
    const QList<HelpLine> lines = HelpLine::split("a\r\n\nb");
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].line, "a\r");
    EXPECT_EQ(lines[1].line, "");
}

TEST(InlineMarkdown, MarksBecomeStylesAndBrokenMarksStayText)
{
    const struct {
        const char* text;
        QList<Span> runs;
    } cases[] = {
        { "plain  text\twith blanks", { plain("plain  text\twith blanks") } },
        { "a **bold** and *italic* and _also_",
          { plain("a "), strong("bold"), plain(" and "), emphasis("italic"), plain(" and "), emphasis("also") } },
        { "***both***", { styled("both", true, true) } },
        { "**bold *and italic* inside**", { strong("bold "), styled("and italic", true, true), strong(" inside") } },
        { "run `ITURHFProp --help` now", { plain("run "), code("ITURHFProp --help"), plain(" now") } },
        { "`` a `tick` ``", { code("a `tick`") } },
        { "`*not emphasis*`", { code("*not emphasis*") } },
        { "~~gone~~ ~kept~", { struck("gone"), plain(" ~kept~") } },
        { "see [NOAA **SWPC**](https://www.swpc.noaa.gov) now",
          { plain("see "), linked("NOAA ", "https://www.swpc.noaa.gov"),
            styled("SWPC", true, false, false, false, QStringLiteral("https://www.swpc.noaa.gov")), plain(" now") } },
          { "<https://example.org/a?b=1>", { linked("https://example.org/a?b=1", "https://example.org/a?b=1") } },
          { "[a](b(c)d)", { linked("a", "b(c)d") } },
          // Not closed, or not opening: the characters as written.
          { "**unclosed", { plain("**unclosed") } },
          { "2 * 3 * 4", { plain("2 * 3 * 4") } },
          { "snake_case_name", { plain("snake_case_name") } },
          { "`open code", { plain("`open code") } },
          { "[text](no end", { plain("[text](no end") } },
          { "[text] (gap)", { plain("[text] (gap)") } },
          { "[a](with space)", { plain("[a](with space)") } },
          { "<b>not html</b> & <i>", { plain("<b>not html</b> & <i>") } },
          { "\\*escaped\\* \\` \\\\", { plain("*escaped* ` \\") } },
          { "", {} },
        };
    for (const auto& c : cases) {
        const QList<Span> runs = InlineMarkdown::parse(QString::fromUtf8(c.text));
        EXPECT_EQ(runs, c.runs) << c.text << "\n got " << describe(runs) << "\n want " << describe(c.runs);
    }
}

TEST(HelpView, BlocksGetTheirLookAndInlineStylesTheirFormats)
{
    const QString text = "# Title *here*\n"
                         "Body with **bold**, `code` and [a link](https://example.org).\n"
                         "\n"
                         "## Heading\n"
                         "- bullet <b>raw</b>\n"
                         "12. twelve with a text long enough to wrap over more than one line in a narrow column "
                         "so that its second line shows where it starts\n"
                         "1. one";
    HelpView view(text);
    view.resize(HelpView::minimumWidth, HelpView::minimumHeight);
    view.show();
    QTextDocument* doc = view.browser()->document();
    ASSERT_EQ(doc->blockCount(), 7);
    EXPECT_EQ(view.browser()->textInteractionFlags() & Qt::TextSelectableByMouse, Qt::TextSelectableByMouse);
    EXPECT_TRUE(view.browser()->openExternalLinks());
    EXPECT_TRUE(view.browser()->isReadOnly());

    const QFont body = view.browser()->font();
    const QTextBlock title = doc->findBlockByNumber(0);
    EXPECT_EQ(title.text(), "Title here");
    ASSERT_EQ(fragments(title).size(), 2);
    EXPECT_GT(fragments(title)[0].charFormat().fontPointSize(), body.pointSizeF() * 1.9);
    EXPECT_EQ(fragments(title)[0].charFormat().fontWeight(), QFont::Bold);
    EXPECT_TRUE(fragments(title)[1].charFormat().fontItalic());
    EXPECT_EQ(title.blockFormat().topMargin(), 0);

    const QTextBlock paragraph = title.next();
    EXPECT_EQ(paragraph.text(), "Body with bold, code and a link.");
    EXPECT_EQ(paragraph.blockFormat().topMargin(), 6 + 4) << "the title's space below";
    bool sawBold = false, sawCode = false, sawLink = false;
    for (const QTextFragment& f : fragments(paragraph)) {
        const QTextCharFormat format = f.charFormat();
        EXPECT_EQ(format.fontPointSize(), body.pointSizeF()) << f.text().toStdString();
        sawBold |= f.text() == "bold" && format.fontWeight() == QFont::Bold;
        sawCode |= f.text() == "code" && format.fontFixedPitch();
        sawLink |= f.text() == "a link" && format.isAnchor() && format.anchorHref() == "https://example.org";
        if (f.text() != "a link") {
            EXPECT_FALSE(format.isAnchor());
        }
    }
    EXPECT_TRUE(sawBold && sawCode && sawLink);

    const QTextBlock blank = paragraph.next();
    EXPECT_TRUE(blank.text().isEmpty());
    EXPECT_EQ(gapHeight(blank), 2);

    const QTextBlock heading = blank.next();
    EXPECT_EQ(heading.text(), "Heading");
    EXPECT_EQ(heading.blockFormat().topMargin(), 6 + 14);
    EXPECT_EQ(fragments(heading)[0].charFormat().fontWeight(), QFont::DemiBold);

    // Markup-looking text is text.
    const QTextBlock bullet = heading.next();
    EXPECT_EQ(bullet.text(), "•\tbullet <b>raw</b>");

    // The rows: mark 6 points in, the text 8 points after the mark, and a
    // wrapped line starts where the text does.
    const QTextBlock twelve = bullet.next();
    ASSERT_TRUE(twelve.text().startsWith("12.\ttwelve"));
    const QTextLayout* layout = twelve.layout();
    ASSERT_GE(layout->lineCount(), 2);
    const QTextLine first = layout->lineAt(0);
    const double left = layout->position().x(); // the padding
    EXPECT_EQ(left, HelpView::padding);
    const double markX = left + first.cursorToX(0);
    const double textX = left + first.cursorToX(4);
    const double markWidth = first.cursorToX(3) - first.cursorToX(0);
    EXPECT_NEAR(markX, HelpView::padding + 6, 0.5);
    EXPECT_NEAR(textX, markX + markWidth + 8, 0.5);
    EXPECT_NEAR(left + layout->lineAt(1).cursorToX(layout->lineAt(1).textStart()), textX, 0.5);
    const QTextBlock one = twelve.next();
    const double oneLeft = one.layout()->position().x();
    EXPECT_NEAR(oneLeft + one.layout()->lineAt(0).cursorToX(0), markX, 0.5);
    EXPECT_LT(oneLeft + one.layout()->lineAt(0).cursorToX(3), textX) << "each row takes its own mark's width";

    // The column stops at 760 points, padding included.
    view.resize(1400, 600);
    EXPECT_EQ(view.browser()->lineWrapColumnOrWidth(), HelpView::maximumColumnWidth);
}

TEST(HelpView, TheGuideShipsBesideTheProgramAndRendersClean)
{
    const QString guide = HelpView::text();
    ASSERT_NE(guide, HelpView::builtInText()) << "HELP.md among the application's resources";
    HelpView view;
    const QString shown = view.browser()->document()->toPlainText();
    // Every mark was understood: none is left in what the reader sees.
    for (const char* mark : { "**", "](", "`", "## ", "\n# ", "\n- " })
        EXPECT_FALSE(shown.contains(QString::fromUtf8(mark))) << mark;
    EXPECT_TRUE(shown.startsWith("Corvanta Help\n"));
    EXPECT_EQ(view.browser()->document()->blockCount(), guide.count('\n') + 1);

    // A guide that is missing or not UTF-8 gives the built-in text.
    QTemporaryDir dir;
    EXPECT_EQ(HelpView::readText(dir.path() + "/HELP.md"), HelpView::builtInText());
    QFile latin1(dir.path() + "/latin1.md");
    ASSERT_TRUE(latin1.open(QIODevice::WriteOnly));
    latin1.write("# Caf\xE9\n");
    latin1.close();
    EXPECT_EQ(HelpView::readText(latin1.fileName()), HelpView::builtInText());

    HelpView fallback(HelpView::builtInText());
    const QTextDocument* doc = fallback.browser()->document();
    ASSERT_EQ(doc->blockCount(), 3);
    EXPECT_EQ(doc->firstBlock().text(), "Corvanta Help");
    EXPECT_EQ(gapHeight(doc->firstBlock().next()), 2);
    EXPECT_EQ(doc->lastBlock().text(), "The help file was not found in the app. It is HELP.md in the source folder.");
}
