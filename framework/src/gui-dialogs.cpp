// gui-dialogs.cpp -- message boxes, the colour picker and the file dialogs, each either shown
// modally or, under the test driver, answered from the script.
#include "gui-private.h"
#include "gui-testmode.h"

#include "rb/dialogs.h"
#include "rb/files.h"
#include "rb/text.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace rb {

namespace {

using testdriver::DialogKind;
using testdriver::DialogRecord;

// Dialogs stand over the front window.
QWidget *DialogParent() {
    Ref<Window> front = FrontWindow();
    return front && front->impl()->widget ? front->impl()->widget.data() : nullptr;
}

std::string Quoted(const std::string &text) { return "\"" + text + "\""; }

// The extensions ("setf") of the file types named in `types` ("Setf" or "Setf;pdf").
std::vector<std::string> Extensions(const std::string &types) {
    std::vector<std::string> found;
    for (std::int32_t i = 1; i <= CountFields(types, ";"); ++i) {
        Ref<FileType> type = FindFileType(Trim(NthField(types, ";", i)));
        if (!type)
            continue;
        for (std::int32_t e = 1; e <= CountFields(type->Extensions, ";"); ++e) {
            std::string extension = Trim(NthField(type->Extensions, ";", e));
            if (!extension.empty())
                found.push_back(extension);
        }
    }
    return found;
}

QString NameFilter(const std::string &types) {
    QStringList patterns;
    for (const std::string &extension : Extensions(types))
        patterns << QStringLiteral("*.") + gui::ToQt(extension);
    if (patterns.isEmpty())
        return QStringLiteral("All files (*)");
    return gui::ToQt(types) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
           QStringLiteral(")");
}

// A saved file's name gets the type's first extension when it has none of its own.
std::string WithExtension(const std::string &path, const std::string &type) {
    std::vector<std::string> extensions = Extensions(type);
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (extensions.empty() || name.empty() || name.find('.') != std::string::npos)
        return path;
    return path + "." + extensions.front();
}

std::string ColorText(const Color &color) {
    return Str(std::int32_t(color.red)) + "," + Str(std::int32_t(color.green)) + "," +
           Str(std::int32_t(color.blue));
}

} // namespace

void MsgBox(const std::string &message) {
    if (gui::test::Active()) {
        auto answer = gui::test::TakeAnswer(DialogKind::Message, "message box " + Quoted(message));
        if (answer && !answer->cancel && answer->button != "OK")
            gui::test::RecordProblem("the message box " + Quoted(message) + " has no button " +
                                     Quoted(answer->button));
        gui::test::RecordDialog(
            {DialogKind::Message, message, "", {"OK"}, "OK", bool(answer), ""});
        return;
    }
    QMessageBox box(QMessageBox::Information, gui::ApplicationName(), gui::ToQt(message),
                    QMessageBox::Ok, DialogParent());
    box.exec();
}

MessageDialog::MessageDialog()
    : ActionButton(New<MessageDialogButton>("OK", true)),
      CancelButton(New<MessageDialogButton>("Cancel", false)),
      AlternateActionButton(New<MessageDialogButton>("Don't Save", false)) {}

Ref<MessageDialogButton> MessageDialog::ShowModal() {
    // The action button is always there; the others when visible.
    if (!ActionButton)
        ActionButton = New<MessageDialogButton>("OK", true);
    std::vector<Ref<MessageDialogButton>> shown{ActionButton};
    if (AlternateActionButton && AlternateActionButton->Visible)
        shown.push_back(AlternateActionButton);
    const bool hasCancel = CancelButton && CancelButton->Visible;
    if (hasCancel)
        shown.push_back(CancelButton);
    const Ref<MessageDialogButton> escape = hasCancel ? CancelButton : ActionButton;

    if (gui::test::Active()) {
        auto answer =
            gui::test::TakeAnswer(DialogKind::Message, "message dialog " + Quoted(Message));
        Ref<MessageDialogButton> pressed;
        if (answer && !answer->cancel) {
            for (const Ref<MessageDialogButton> &button : shown)
                if (button->Caption == answer->button)
                    pressed = button;
            if (!pressed)
                gui::test::RecordProblem("the message dialog " + Quoted(Message) +
                                         " has no button " + Quoted(answer->button));
        }
        if (!pressed)
            pressed = escape;
        std::vector<std::string> captions;
        for (const Ref<MessageDialogButton> &button : shown)
            captions.push_back(button->Caption);
        gui::test::RecordDialog({DialogKind::Message, Message, Explanation, captions,
                                 pressed->Caption, bool(answer), ""});
        return pressed;
    }

    QMessageBox box(DialogParent());
    box.setWindowTitle(Title.empty() ? gui::ApplicationName() : gui::ToQt(Title));
    box.setText(gui::ToQt(Message));
    box.setInformativeText(gui::ToQt(Explanation));
    std::vector<std::pair<QAbstractButton *, Ref<MessageDialogButton>>> buttons;
    for (const Ref<MessageDialogButton> &button : shown) {
        QMessageBox::ButtonRole role = button == CancelButton   ? QMessageBox::RejectRole
                                       : button == ActionButton ? QMessageBox::AcceptRole
                                                                : QMessageBox::DestructiveRole;
        QPushButton *shownButton = box.addButton(gui::ToQt(button->Caption), role);
        if (button == ActionButton)
            box.setDefaultButton(shownButton);
        if (button == escape)
            box.setEscapeButton(shownButton);
        buttons.emplace_back(shownButton, button);
    }
    box.exec();
    for (const auto &[shownButton, button] : buttons)
        if (box.clickedButton() == shownButton)
            return button;
    return escape;
}

bool SelectColor(Color &color, const std::string &prompt) {
    if (gui::test::Active()) {
        auto answer = gui::test::TakeAnswer(DialogKind::Color, "colour picker " + Quoted(prompt));
        const bool chosen = answer && !answer->cancel;
        if (chosen)
            color = answer->color;
        gui::test::RecordDialog({DialogKind::Color,
                                 prompt,
                                 ColorText(color),
                                 {},
                                 chosen ? ColorText(color) : "cancel",
                                 bool(answer),
                                 ""});
        return chosen;
    }
    QColor picked = QColorDialog::getColor(QColor(color.red, color.green, color.blue),
                                           DialogParent(), gui::ToQt(prompt));
    if (!picked.isValid())
        return false;
    color = RGB(picked.red(), picked.green(), picked.blue());
    return true;
}

Ref<FolderItem> GetOpenFolderItem(const std::string &fileTypes) {
    if (gui::test::Active()) {
        auto answer =
            gui::test::TakeAnswer(DialogKind::Open, "open dialog for " + Quoted(fileTypes));
        const bool chosen = answer && !answer->cancel;
        gui::test::RecordDialog({DialogKind::Open, fileTypes, "", {},
                                 chosen ? answer->path : "cancel", bool(answer),
                                 gui::FromQt(QDir::currentPath())});
        return chosen ? FolderItem::FromPath(answer->path) : nullptr;
    }
    QString path = QFileDialog::getOpenFileName(DialogParent(), QString(), QDir::currentPath(),
                                                NameFilter(fileTypes));
    if (path.isEmpty())
        return nullptr;
    return FolderItem::FromPath(gui::FromQt(path));
}

Ref<FolderItem> GetSaveFolderItem(const std::string &fileType, const std::string &defaultName,
                                  const Ref<FolderItem> &folder) {
    const std::string startFolder = folder && folder->Directory()
                                        ? folder->NativePath()
                                        : gui::FromQt(QDir::currentPath());
    if (gui::test::Active()) {
        auto answer =
            gui::test::TakeAnswer(DialogKind::Save, "save dialog for " + Quoted(fileType) +
                                                        " offering " + Quoted(defaultName));
        const bool chosen = answer && !answer->cancel;
        const std::string path = chosen ? WithExtension(answer->path, fileType) : "";
        gui::test::RecordDialog({DialogKind::Save, fileType, defaultName, {},
                                 chosen ? path : "cancel", bool(answer), startFolder});
        return chosen ? FolderItem::FromPath(path) : nullptr;
    }
    QFileDialog dialog(DialogParent());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(NameFilter(fileType));
    dialog.setDirectory(gui::ToQt(startFolder));
    dialog.selectFile(gui::ToQt(defaultName));
    std::vector<std::string> extensions = Extensions(fileType);
    if (!extensions.empty())
        dialog.setDefaultSuffix(gui::ToQt(extensions.front()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return nullptr;
    return FolderItem::FromPath(
        WithExtension(gui::FromQt(dialog.selectedFiles().first()), fileType));
}

} // namespace rb
