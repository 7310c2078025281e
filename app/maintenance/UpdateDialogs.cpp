#include "maintenance/UpdateDialogs.h"

#include "kit/DarkAppearance.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace UpdateDialogs {

namespace {

QMessageBox* makeBox(const QString& title, const QString& text, QWidget* parent)
{
    auto* box = new QMessageBox(parent ? parent : QApplication::activeWindow());
    box->setWindowTitle(QStringLiteral("Corvanta"));
    box->setIcon(QMessageBox::Information);
    box->setPalette(DarkAppearance::palette());
    box->setTextFormat(Qt::PlainText);
    box->setText(title);
    box->setInformativeText(text);
    // The informative label does not follow the box's text format; notes
    // from the feed must never be read as markup.
    for (QLabel* label : box->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    return box;
}

} // namespace

QMessageBox* alert(const QString& title, const QString& text, QWidget* parent)
{
    QMessageBox* box = makeBox(title, text, parent);
    box->setDefaultButton(box->addButton(QMessageBox::Ok));
    return box;
}

QMessageBox* offer(const ReleaseFeed::Release& release, const QString& currentVersion, QWidget* parent)
{
    QString text = QStringLiteral("You have version ") + currentVersion + QStringLiteral(".");
    if (release.notes && !release.notes->isEmpty())
        text += QStringLiteral("\n\n") + *release.notes;
    QMessageBox* box
        = makeBox(QStringLiteral("Corvanta ") + release.version + QStringLiteral(" is available"), text, parent);
    box->setDefaultButton(box->addButton(QStringLiteral("Update now"), QMessageBox::AcceptRole));
    box->setEscapeButton(box->addButton(QStringLiteral("Later"), QMessageBox::RejectRole));
    return box;
}

bool run(QMessageBox* box)
{
    box->raise();
    box->activateWindow();
    box->exec();
    const bool chosen = box->clickedButton() && box->clickedButton() == box->defaultButton();
    delete box;
    return chosen;
}

} // namespace UpdateDialogs
