#include "kit/FileManager.h"

#include "kit/DarkAppearance.h"
#include "kit/DetachedProcess.h"
#include "kit/EventLoopEnd.h"

#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

namespace FileManager {

void reveal(const QString& path)
{
    reveal(path, [folder = QFileInfo(path).absolutePath()] { tellFolder(folder); });
}

void reveal(const QString& path, std::function<void()> failed)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) // no call is made, and none would finish
        return openFolder(folder, std::move(failed));
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("ShowItems"));
    call << QStringList { QUrl::fromLocalFile(path).toString() } << QString();
    // Not waited for: the window's thread (an alert's modal loop, say) goes
    // on while a file manager takes its time, up to 3 s, or never answers.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000), qApp);
    EventLoopEnd::cutOff(watcher);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, folder, failed] {
        watcher->deleteLater();
        if (watcher->isError())
            openFolder(folder, failed);
    });
}

void openFolder(const QString& folder)
{
    openFolder(folder, [folder] { tellFolder(folder); });
}

void openFolder(const QString& folder, std::function<void()> failed)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        failed();
        return;
    }
    // Not a child that ends with the program: where no desktop hands the
    // folder on, xdg-open runs the file manager itself until its window is
    // closed, and that window is the user's. Its exit status, while the
    // program runs, says whether anything could open the folder.
    const auto ended = [failed](bool opened) {
        if (!opened)
            failed();
    };
    if (!DetachedProcess::start(opener, { folder }, ended))
        failed();
}

QMessageBox* tellFolder(const QString& folder)
{
    const QString path = QDir::toNativeSeparators(folder);
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Open Folder"),
                                QStringLiteral("No file manager could be started to show this folder:"),
                                QMessageBox::Ok, QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    // The path on its own line, selectable, and a button that copies it.
    box->setInformativeText(path);
    box->setTextFormat(Qt::PlainText);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPushButton* copy = box->addButton(QStringLiteral("Copy Path"), QMessageBox::ActionRole);
    // Copying leaves the message open.
    QObject::disconnect(copy, &QPushButton::clicked, nullptr, nullptr);
    // Escape and the window's close button close it.
    box->setEscapeButton(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    QObject::connect(copy, &QPushButton::clicked, box, [path] { QGuiApplication::clipboard()->setText(path); });
    DarkAppearance::apply(box);
    box->open();
    return box;
}

} // namespace FileManager
