#pragma once

#include <QDialog>

#include <functional>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

// The sheet a first start shows over the main window: it asks for the
// operator's callsign and Maidenhead locator, which the DX cluster needs to
// log in and the map needs to place the station. "Save" stores the callsign
// (trimmed, upper case) and the centre of the locator's square as the home
// position; "Later" (or Escape) stores nothing. Both end with the
// presenter's `done` action, which makes sure the sheet is not offered
// again.
class WelcomeView : public QDialog {
    Q_OBJECT
public:
    static constexpr int sheetWidth = 440;

    explicit WelcomeView(std::function<void()> done, QWidget* parent = nullptr);

    // True when the locator field, blanks aside, is empty or names a square.
    bool locatorOK() const;

    QLineEdit* callField() const { return m_call; }
    QLineEdit* locatorField() const { return m_locator; }
    QLabel* locatorMessage() const { return m_message; }
    QPushButton* laterButton() const { return m_later; }
    QPushButton* saveButton() const { return m_save; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void validate();
    void save();

    std::function<void()> m_done;
    QLineEdit* m_call = nullptr;
    QLineEdit* m_locator = nullptr;
    QLabel* m_message = nullptr;
    QPushButton* m_later = nullptr;
    QPushButton* m_save = nullptr;
};
