#pragma once

#include "maintenance/ProblemReportSender.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// The problem-report window's content: the user describes what went wrong,
// may leave an address for a reply and chooses whether the log's tail goes
// along; "Send report" posts it to the maker's web site and the line under
// the form tells how that went. Every send and its outcome leave a line in
// the application log.
class ReportProblemView : public QWidget {
    Q_OBJECT
public:
    explicit ReportProblemView(QWidget* parent = nullptr);

    // Builds the report from the form and starts sending it; returns at once.
    // Does nothing while a report is on its way or the message is blank.
    void send();

    bool isSending() const { return m_sending; }
    QSize sizeHint() const override;
    // Makes the form at most `height` tall where it can, with the line that
    // tells how a send went too: the log preview gives up lines, down to
    // four, then the message box down to its least, so that a short screen
    // (a netbook's under a panel) shows the whole form.
    void fitHeight(int height);
    // How long a transfer may stall before it counts as failed (30 s).
    void setTimeout(int milliseconds) { m_sender->setTimeout(milliseconds); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void finish(const ProblemReportSender::Result& result);
    void showResult(const QString& text, bool isError);
    void updateState();
    void fitToHeight();
    QString note() const;

    ProblemReportSender* m_sender = nullptr;
    bool m_sending = false;
    int m_heightLimit = 0; // none

    QPlainTextEdit* m_message = nullptr;
    QLineEdit* m_email = nullptr;
    QCheckBox* m_includeLog = nullptr;
    QWidget* m_logBox = nullptr;
    QPlainTextEdit* m_preview = nullptr;
    QLabel* m_note = nullptr;
    QPushButton* m_send = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_result = nullptr;
};
