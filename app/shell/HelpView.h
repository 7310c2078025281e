#pragma once

#include <QWidget>

// The help window's content. For now an empty shell; the guide comes later.
class HelpView : public QWidget {
    Q_OBJECT
public:
    explicit HelpView(QWidget* parent = nullptr);
};
