// gui-system.cpp -- the keyboard, opening web pages and files, and the background turns of
// the event loop during long work.
#include "gui-private.h"
#include "gui-testmode.h"

#include "rb/files.h"
#include "rb/system.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QUrl>

#include <chrono>

namespace rb {

bool Keyboard::ShiftKey() {
    if (gui::ShiftOfKeyInHand())
        return true;
    if (gui::test::Active())
        return gui::test::ShiftKey();
    if (!QGuiApplication::instance())
        return false;
    return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
}

void ShowURL(const std::string &url) {
    if (gui::test::Active()) {
        gui::test::RecordURL(url);
        return;
    }
    QDesktopServices::openUrl(QUrl(gui::ToQt(url), QUrl::TolerantMode));
}

void FolderItem::Launch() {
    if (gui::test::Active()) {
        gui::test::RecordLaunch(NativePath());
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(gui::ToQt(NativePath())));
}

void RuntimeBackgroundTask() {
    using Clock = std::chrono::steady_clock;
    static Clock::time_point lastTurn;
    const Clock::time_point now = Clock::now();
    if (now - lastTurn < std::chrono::milliseconds(50))
        return;
    lastTurn = now;
    // Repaints and timers, never the user's input: no handler can start inside the loop.
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace rb
