#pragma once

#include <QWidget>

// The problem-report window's content. For now an empty shell.
class ReportProblemView : public QWidget {
    Q_OBJECT
public:
    explicit ReportProblemView(QWidget* parent = nullptr);
};
