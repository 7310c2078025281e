#pragma once

#include <QDialog>

class QLabel;

// "About Corvanta": the application's icon, name and version, one line on
// what it is and the maker's web address, on the dark palette. Wide enough
// that a window manager's title bar shows its whole title beside its
// buttons.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    static constexpr int minimumWidth = 440;

    explicit AboutBox(QWidget* parent = nullptr);

    // "A live world map for DX operators: …"
    static QString summary();
    // The maker's site, "https://" and its host.
    static QString makerAddress();

    QLabel* iconLabel() const { return m_icon; }
    QLabel* nameLabel() const { return m_name; }
    QLabel* versionLabel() const { return m_version; }
    QLabel* summaryLabel() const { return m_summary; }
    QLabel* addressLabel() const { return m_address; }

private:
    QLabel* m_icon = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_version = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_address = nullptr;
};
