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
#include <cstdint>
#include <limits>
#include <time.h>

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

namespace {

// Milliseconds of a monotonic clock. Long loops ask for it once per pass, so it is the
// system's coarse clock where there is one (a few milliseconds fine, a fraction of the cost).
std::int64_t MonotonicMilliseconds() {
#ifdef CLOCK_MONOTONIC_COARSE
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
#else
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}

} // namespace

void RuntimeBackgroundTask() {
    static std::int64_t lastTurn = std::numeric_limits<std::int64_t>::min() / 2;
    const std::int64_t now = MonotonicMilliseconds();
    if (now - lastTurn < 50)
        return;
    lastTurn = now;
    // Repaints and timers, never the user's input: no handler can start inside the loop.
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace rb
