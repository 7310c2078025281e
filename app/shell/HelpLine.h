#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// One line of the user guide and what it is: the guide is rendered line by
// line, each line a title ("# "), heading ("## "), bullet ("- "), numbered
// item ("12. …"), blank or paragraph, with inline Markdown in its text.
struct HelpLine {
    enum class Kind { title, heading, bullet, numbered, blank, paragraph };

    QString line; // without its line feed

    // The first kind whose test matches, in the order above (blank before
    // paragraph).
    Kind kind() const;
    // What stands before the text in a row: "•" for a bullet, the digits
    // and the dot for a numbered item; empty otherwise.
    QString mark() const;
    // The inline Markdown the line shows: the rest after the block mark (for
    // a numbered item without the blanks around it), the whole line for a
    // paragraph, nothing for a blank line.
    QString content() const;

    // The lines of a text, split at line feeds only.
    static QList<HelpLine> split(const QString& text);
};

// Inline Markdown only: strong, emphasis, inline code, strikethrough and
// links, with white space kept as written. Block syntax means nothing here,
// and markup that does not close is shown as the characters it is.
namespace InlineMarkdown {

struct Run {
    QString text;
    bool strong = false;
    bool emphasis = false;
    bool code = false;
    bool strikethrough = false;
    QString link; // the target of a link, empty elsewhere

    bool operator==(const Run&) const = default;
};

// The runs of a text, neighbours of equal style merged.
QList<Run> parse(QStringView text);

} // namespace InlineMarkdown
