#include "App.h"

#include "DrawingWindow.h"

#include "rb/dialogs.h"
#include "rb/system.h"
#include "rb/text.h"

#include <algorithm>
#include <cerrno>

namespace {

// The maker's web server, home of the product page and the version check.
const char *const kWebHost = "http://quillmark.example.com";

} // namespace

class App *App() {
    return static_cast<class App *>(rb::RuntimeAppObject().get());
}

void App::OpenDocument(rb::Ref<rb::FolderItem> item) {
    if (!item)
        return;
    // The window lives on in the framework's keeping until the user closes it.
    rb::Ref<DrawingWindow> w = rb::NewWindow<DrawingWindow>();
    w->thisFile = item;
    const DrawingWindow::SettingsRead read = w->LoadSettings(item);
    w->PopulateListBox();
    // A file that could not be read whole as a settings file (another kind of file, a
    // damaged one, one that could not be reached: a folder the user may not enter, links
    // that go round, a name too long; or one whose reading the disk failed part-way) must
    // never be written over unasked, as closing a modified window would: the window forgets
    // it, so that saving asks for a file. Only a file that does not exist is the window's to
    // create. A file is called damaged only when it was read; one that could not be read is
    // told apart, with the reason.
    if (!read.whole && read.error != ENOENT) {
        w->thisFile = nullptr;
        const std::string name = item->Name();
        const std::string kept = " will ask for a file, so that " + name + " is not written over.";
        if (read.error != 0)
            rb::MsgBox("Unable to open the file " + name + rb::FileErrorReason(read.error) +
                       ". Saving" + kept);
        else
            rb::MsgBox("The file " + name +
                       " is damaged or is not a Vellumet settings file. Whatever could be read "
                       "from it has been loaded; saving" +
                       kept);
    }
}

void App::NewDocument() {
    // The framework keeps every open window; the window lives until the user closes it.
    rb::NewWindow<DrawingWindow>();
}

bool App::_FileOpen_Action() {
    if (rb::Ref<rb::FolderItem> f = rb::GetOpenFolderItem("Setf"))
        OpenDocument(f);
    return false;
}

bool App::_AppleAboutVellumet_Action() {
    auto dialog = rb::New<rb::MessageDialog>();
    dialog->ActionButton->Caption = "OK";
    dialog->CancelButton->Visible = false;
    dialog->Message = "Vellumet Version: " + ::App()->mystring(MajorVersion) + "." +
                      ::App()->mystring(MinorVersion) + "." + ::App()->mystring(BugVersion) +
                      rb::EndOfLine() + rb::EndOfLine() +
                      "Graph paper and ruled sheets, drawn to the point.";
    dialog->ShowModal();
    return false;
}

bool App::_AppleVisitWebsite_Action() {
    rb::ShowURL(std::string(kWebHost) + "/software/vellumet.html");
    return false;
}

bool App::_AppleCheckForLatestVersion_Action() {
    // The short version goes into the query as it stands.
    rb::ShowURL(std::string(kWebHost) + "/version.html?prog=vellumet&version=" + ShortVersion);
    return false;
}

void App::WriteDebugMsg(const std::string &message) { rb::System::DebugLog(message); }

namespace {

// Every "," in out from `begin` on becomes ".", in place: a number's few bytes are looked at
// once, and nothing is copied.
void CommasToPoints(std::string &out, std::size_t begin) {
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(begin), out.end(), ',', '.');
}

} // namespace

void App::AppendMystring(std::string &out, double x) {
    const std::size_t begin = out.size();
    rb::AppendStr(out, x);
    CommasToPoints(out, begin);
}

void App::AppendMyformatstring(std::string &out, double x, std::string_view pattern) {
    const std::size_t begin = out.size();
    rb::AppendFormat(out, x, pattern);
    CommasToPoints(out, begin);
}

std::string App::mystring(double x) {
    std::string text;
    AppendMystring(text, x);
    return text;
}

std::string App::myformatstring(double x, const std::string &pattern) {
    std::string text;
    AppendMyformatstring(text, x, pattern);
    return text;
}
