// gui-testdriver.cpp -- the test driver: scripted dialogs, recorded launches, simulated input
// through the platform's own event paths, and pictures of windows.
#include "gui-private.h"
#include "gui-testmode.h"

#include "rb/date.h"
#include "rb/testdriver.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QTableView>
#include <QWindow>

#include <cstdio>
#include <deque>
#include <stdexcept>

// The platform's entry points for input as if from the window system; QtTest uses the same.
Q_GUI_EXPORT void qt_handleMouseEvent(QWindow *window, const QPointF &local, const QPointF &global,
                                      Qt::MouseButtons state, Qt::MouseButton button,
                                      QEvent::Type type, Qt::KeyboardModifiers mods, int timestamp);
Q_GUI_EXPORT void qt_handleKeyEvent(QWindow *window, QEvent::Type type, int key,
                                    Qt::KeyboardModifiers mods, const QString &text, bool autorep,
                                    ushort count);

namespace rb {

namespace {

struct Driver {
    bool active = false;
    std::deque<testdriver::Answer> script;
    std::vector<testdriver::DialogRecord> dialogs;
    std::vector<std::string> problems;
    std::vector<std::string> launches;
    std::vector<std::string> urls;
    bool shift = false;
    int timestamp = 1000;
};

Driver &TheDriver() {
    static Driver *driver = new Driver;
    return *driver;
}

QWidget *ControlWidget(Window &window, const std::string &name) {
    Ref<Control> control = window.FindControl(name);
    if (!control)
        throw std::invalid_argument("the window \"" + window.Title() +
                                    "\" has no control named \"" + name + "\"");
    QWidget *widget = control->impl()->widget;
    if (!widget)
        throw std::invalid_argument("the control \"" + name + "\" is not shown");
    return widget;
}

// Presses and releases the left button `clicks` times at `at` in `target`, through the window
// system's path: the widget under that point gets the events, and two clicks in quick
// succession make a double-click.
void SendClicks(QWidget *target, QPoint at, int clicks) {
    QWidget *top = target->window();
    QWindow *handle = top->windowHandle();
    if (!handle)
        throw std::invalid_argument("the window is not shown");
    const QPointF local = target->mapTo(top, at);
    const QPointF global = top->mapToGlobal(local);
    Driver &driver = TheDriver();
    // Far from the last click, so that no earlier click makes this one a double-click.
    driver.timestamp += 10000;
    for (int i = 0; i < clicks; ++i) {
        qt_handleMouseEvent(handle, local, global, Qt::LeftButton, Qt::LeftButton,
                            QEvent::MouseButtonPress, Qt::NoModifier, ++driver.timestamp);
        qt_handleMouseEvent(handle, local, global, Qt::NoButton, Qt::LeftButton,
                            QEvent::MouseButtonRelease, Qt::NoModifier, ++driver.timestamp);
    }
    testdriver::ProcessEvents();
}

QString KeyText(int key, Qt::KeyboardModifiers mods) {
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QStringLiteral("\r");
    case Qt::Key_Escape:
        return QStringLiteral("\x1b");
    case Qt::Key_Tab:
        return QStringLiteral("\t");
    case Qt::Key_Backspace:
        return QStringLiteral("\b");
    default:
        break;
    }
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return QString();
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde) {
        QChar c(key);
        return (mods & Qt::ShiftModifier) ? QString(c) : QString(c.toLower());
    }
    return QString();
}

void SendKey(QWidget *top, int key, Qt::KeyboardModifiers mods, const QString &text) {
    QWindow *handle = top->windowHandle();
    if (!handle)
        throw std::invalid_argument("the window is not shown");
    qt_handleKeyEvent(handle, QEvent::KeyPress, key, mods, text, false, 1);
    qt_handleKeyEvent(handle, QEvent::KeyRelease, key, mods, text, false, 1);
}

QAction *FindAction(Window &window, const std::string &item) {
    for (const gui::MenuEntry &entry : window.impl()->menuEntries)
        if (entry.item->Name == item && entry.item->Count() == 0)
            return entry.action;
    return nullptr;
}

bool MenuHolds(QMenu *menu, QAction *action) {
    for (QAction *child : menu->actions()) {
        if (child == action)
            return true;
        if (child->menu() && MenuHolds(child->menu(), action))
            return true;
    }
    return false;
}

QMenu *TopMenuOf(Window &window, QAction *action) {
    for (QMenu *menu : window.impl()->menus)
        if (MenuHolds(menu, action))
            return menu;
    return nullptr;
}

void DescribeMenu(QMenu *menu, const std::string &indent, std::string &out) {
    for (QAction *action : menu->actions()) {
        // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) about the inlined copies
        // of a temporary `indent + text`.
        out += indent;
        if (action->isSeparator()) {
            out += "-\n";
            continue;
        }
        out += gui::FromQt(action->text());
        if (!action->shortcut().isEmpty()) {
            out += '\t';
            out += gui::FromQt(action->shortcut().toString(QKeySequence::PortableText));
        }
        if (!action->isEnabled())
            out += " (disabled)";
        out += "\n";
        if (action->menu())
            DescribeMenu(action->menu(), indent + "  ", out);
    }
}

} // namespace

namespace gui::test {

bool Active() { return TheDriver().active; }

void RecordProblem(const std::string &line) { TheDriver().problems.push_back(line); }

std::optional<testdriver::Answer> TakeAnswer(testdriver::DialogKind kind,
                                             const std::string &description) {
    Driver &driver = TheDriver();
    if (!driver.script.empty() && driver.script.front().kind == kind) {
        testdriver::Answer answer = driver.script.front();
        driver.script.pop_front();
        return answer;
    }
    const std::string why = driver.script.empty()
                                ? "no answer was scripted"
                                : std::string("the next answer is for a ") +
                                      testdriver::DialogKindName(driver.script.front().kind) +
                                      " dialog";
    RecordProblem("unexpected " + description + " (" + why + "), answered as cancelled");
    return std::nullopt;
}

void RecordDialog(testdriver::DialogRecord record) {
    TheDriver().dialogs.push_back(std::move(record));
}

void RecordLaunch(const std::string &path) { TheDriver().launches.push_back(path); }
void RecordURL(const std::string &url) { TheDriver().urls.push_back(url); }
bool ShiftKey() { return TheDriver().shift; }

} // namespace gui::test

namespace {

// The offscreen platform's notes on what it cannot do (raise a window, grab the keyboard)
// would bury a test's own output; everything else Qt says still shows.
QtMessageHandler qtHandler = nullptr;
void FilterQtMessages(QtMsgType type, const QMessageLogContext &context, const QString &text) {
    if (text.startsWith(QLatin1String("This plugin does not support")) ||
        text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (qtHandler)
        qtHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

} // namespace

namespace testdriver {

void Start() {
    Driver &driver = TheDriver();
    driver.active = true;
    if (RuntimeInitialized())
        return;
    // Headless whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qtHandler = qInstallMessageHandler(FilterQtMessages);
    static char name[] = "rbtest";
    static char *argv[] = {name, nullptr};
    RuntimeInit(1, argv);
}

bool Active() { return TheDriver().active; }

void Reset() {
    gui::State &state = gui::Global();
    gui::CloseAllWindows(true);
    ProcessEvents();
    Driver &driver = TheDriver();
    driver.script.clear();
    driver.dialogs.clear();
    driver.problems.clear();
    driver.launches.clear();
    driver.urls.clear();
    driver.shift = false;
    state.documents.clear();
    FreeClock();
}

const char *DialogKindName(DialogKind kind) {
    switch (kind) {
    case DialogKind::Message:
        return "message";
    case DialogKind::Color:
        return "colour";
    case DialogKind::Open:
        return "open";
    case DialogKind::Save:
        return "save";
    }
    return "?";
}

Answer OpenDialog(const std::string &path) { return {DialogKind::Open, false, path, {}, ""}; }
Answer SaveDialog(const std::string &path) { return {DialogKind::Save, false, path, {}, ""}; }
Answer ColorChoice(Color color) { return {DialogKind::Color, false, "", color, ""}; }
Answer MessageButton(const std::string &caption) {
    return {DialogKind::Message, false, "", {}, caption};
}
Answer Cancel(DialogKind kind) { return {kind, true, "", {}, ""}; }

void Script(std::initializer_list<Answer> answers) {
    for (const Answer &answer : answers)
        TheDriver().script.push_back(answer);
}

std::int32_t PendingAnswers() { return static_cast<std::int32_t>(TheDriver().script.size()); }

const std::vector<DialogRecord> &Dialogs() { return TheDriver().dialogs; }
const std::vector<std::string> &Problems() { return TheDriver().problems; }
const std::vector<std::string> &LaunchedFiles() { return TheDriver().launches; }
const std::vector<std::string> &ShownURLs() { return TheDriver().urls; }

void SetShiftKey(bool down) { TheDriver().shift = down; }
void FixClock(std::int64_t unixSeconds, double gmtOffsetHours) {
    SetFixedClock(unixSeconds, gmtOffsetHours);
}
void FreeClock() { ClearFixedClock(); }

void SetCommandLineDocuments(const std::vector<std::string> &paths) {
    gui::Global().documents = paths;
}

void ProcessEvents() {
    // Each pass may post more: a deletion, a release, a repaint.
    for (int pass = 0; pass < 8; ++pass) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        gui::FlushReleases();
    }
}

void Activate(Window &window) {
    gui::WindowWidget *widget = window.impl()->widget;
    if (!widget)
        throw std::invalid_argument("the window \"" + window.Title() + "\" is not open");
    if (!widget->isVisible())
        widget->show();
    widget->raise();
    widget->activateWindow();
    ProcessEvents();
    if (QApplication::activeWindow() != widget) {
        QApplication::setActiveWindow(widget);
        ProcessEvents();
    }
    gui::BringToFront(&window);
}

void Click(Window &window, const std::string &control, std::int32_t x, std::int32_t y) {
    QWidget *target = ControlWidget(window, control);
    Activate(window);
    SendClicks(target, x < 0 || y < 0 ? target->rect().center() : QPoint(x, y), 1);
}

void DoubleClick(Window &window, const std::string &control, std::int32_t x, std::int32_t y) {
    QWidget *target = ControlWidget(window, control);
    Activate(window);
    SendClicks(target, x < 0 || y < 0 ? target->rect().center() : QPoint(x, y), 2);
}

void ClickAt(Window &window, std::int32_t x, std::int32_t y) {
    Activate(window);
    // The window system finds the widget under the point, as for the user's click.
    SendClicks(window.impl()->content, QPoint(x, y), 1);
}

static void ClickRows(Window &window, const std::string &listbox, std::int32_t row, int clicks) {
    auto *view = qobject_cast<QTableView *>(ControlWidget(window, listbox));
    if (!view)
        throw std::invalid_argument("the control \"" + listbox + "\" is no Listbox");
    int column = 0;
    while (column < view->model()->columnCount() && view->isColumnHidden(column))
        ++column;
    Activate(window);
    const QRect cell = view->visualRect(view->model()->index(row, column));
    if (!cell.isValid())
        throw std::invalid_argument("the Listbox \"" + listbox + "\" shows no row " +
                                    std::to_string(row));
    SendClicks(view->viewport(), cell.center(), clicks);
}

void ClickRow(Window &window, const std::string &listbox, std::int32_t row) {
    ClickRows(window, listbox, row, 1);
}

void DoubleClickRow(Window &window, const std::string &listbox, std::int32_t row) {
    ClickRows(window, listbox, row, 2);
}

void PressKey(Window &window, const std::string &control, const std::string &keys) {
    const QKeySequence sequence = QKeySequence::fromString(gui::ToQt(keys));
    if (sequence.isEmpty())
        throw std::invalid_argument("no key in \"" + keys + "\"");
    Activate(window);
    if (!control.empty())
        ControlWidget(window, control)->setFocus(Qt::OtherFocusReason);
    const QKeyCombination combination = sequence[0];
    const int key = combination.key();
    const Qt::KeyboardModifiers mods = combination.keyboardModifiers();
    SendKey(window.impl()->widget, key, mods, KeyText(key, mods));
    ProcessEvents();
}

std::string FocusedControl(Window &window) {
    gui::WindowWidget *widget = window.impl()->widget;
    QWidget *focus = widget ? widget->focusWidget() : nullptr;
    // A control's widget may hold the focus through a child, as a list does through its rows.
    for (std::int32_t i = 0; focus && i < window.ControlCount(); ++i) {
        Ref<Control> control = window.ControlAt(i);
        QWidget *shown = control->impl()->widget;
        if (shown && (shown == focus || shown->isAncestorOf(focus)))
            return control->Name();
    }
    return "";
}

void TypeText(Window &window, const std::string &control, const std::string &text) {
    QWidget *target = ControlWidget(window, control);
    Activate(window);
    target->setFocus(Qt::OtherFocusReason);
    for (const QChar c : gui::ToQt(text)) {
        const char16_t code = c.toUpper().unicode();
        const int key = code >= 0x20 && code < 0x7f ? int(code) : int(Qt::Key_unknown);
        SendKey(window.impl()->widget, key, Qt::NoModifier, QString(c));
    }
    ProcessEvents();
}

void ChoosePopupItem(Window &window, const std::string &popup, std::int32_t index) {
    auto *box = qobject_cast<QComboBox *>(ControlWidget(window, popup));
    if (!box)
        throw std::invalid_argument("the control \"" + popup + "\" is no PopupMenu");
    Activate(window);
    if (box->isEnabled())
        box->setCurrentIndex(index);
    ProcessEvents();
}

void ClickCloseBox(Window &window) {
    if (gui::WindowWidget *widget = window.impl()->widget)
        widget->close();
    ProcessEvents();
}

std::string DescribeMenuBar(Window &window) {
    std::string out;
    gui::WindowWidget *widget = window.impl()->widget;
    if (!widget)
        return out;
    for (QAction *action : widget->menuBar()->actions()) {
        if (!action->menu())
            continue;
        out += gui::FromQt(action->text()) + "\n";
        DescribeMenu(action->menu(), "  ", out);
    }
    return out;
}

// Opens the menu holding `item` the way the user would, so that the menu update runs.
static QAction *OpenMenuFor(Window &window, const std::string &item, QMenu *&menu) {
    QAction *action = FindAction(window, item);
    menu = action ? TopMenuOf(window, action) : nullptr;
    if (!menu)
        return nullptr;
    Activate(window);
    menu->popup(window.impl()->widget->mapToGlobal(QPoint(0, 0)));
    return action;
}

// Opens the menu that holds the item, reads whether it can be chosen, closes the menu, and
// chooses the item when asked to and it is enabled.
static bool VisitMenuItem(Window &window, const std::string &item, bool choose) {
    QMenu *menu = nullptr;
    QAction *action = OpenMenuFor(window, item, menu);
    if (!action)
        return false;
    const bool enabled = action->isEnabled();
    menu->hide();
    if (choose && enabled)
        action->trigger();
    ProcessEvents();
    return enabled;
}

bool MenuItemEnabled(Window &window, const std::string &item) {
    return VisitMenuItem(window, item, false);
}

bool ChooseMenuItem(Window &window, const std::string &item) {
    return VisitMenuItem(window, item, true);
}

Color PixelColor(Window &window, std::int32_t x, std::int32_t y) {
    QWidget *content = window.impl()->content;
    if (!content)
        return Color();
    ProcessEvents();
    const QImage image = content->grab().toImage();
    const QColor pixel = image.pixelColor(x, y);
    return RGB(pixel.red(), pixel.green(), pixel.blue());
}

bool RenderToPNG(Window &window, const std::string &path) {
    gui::WindowWidget *widget = window.impl()->widget;
    if (!widget)
        return false;
    ProcessEvents();
    return widget->grab().save(gui::ToQt(path), "PNG");
}

} // namespace testdriver

} // namespace rb
