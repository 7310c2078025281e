#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;
class QTextDocument;

// The help window's content: the user guide "HELP.md" from the
// application's resources, rendered line by line (title, heading, bullet,
// numbered item, blank, paragraph) with inline Markdown, in one selectable
// column with live links, on the dark palette.
class HelpView : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumWidth = 520;
    static constexpr int minimumHeight = 400;
    static constexpr int maximumColumnWidth = 760; // padding included
    static constexpr int padding = 24;
    static constexpr int lineSpacing = 6;

    // Shown when the guide is missing or cannot be read as UTF-8.
    static QString builtInText();
    // The guide, read once per process from the application's resources.
    static const QString& text();
    // The guide at `path`, or the built-in text.
    static QString readText(const QString& path);

    // The guide of this process, or a given text.
    explicit HelpView(QWidget* parent = nullptr);
    explicit HelpView(const QString& text, QWidget* parent = nullptr);

    QTextBrowser* browser() const { return m_browser; }

    // Fills `document` with the rendered text, in sizes taken from `body`
    // (the body text's font).
    static void render(QTextDocument* document, const QString& text, const QFont& body);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitColumn();

    QTextBrowser* m_browser = nullptr;
};
