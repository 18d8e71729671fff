// App.h -- the application object, its number-to-text helpers, and the accessor App().
#pragma once

#include "rb/application.h"
#include "rb/files.h"

#include <string>
#include <string_view>

class App : public rb::Application {
public:
    // Events.
    void OpenDocument(rb::Ref<rb::FolderItem> item) override;
    void NewDocument() override;

    // Menu commands of the application menu and the File menu; each returns false.
    bool _AppleAboutVellumet_Action();
    bool _AppleVisitWebsite_Action();
    bool _AppleCheckForLatestVersion_Action();
    bool _FileOpen_Action();

    // Writes the message to the system debug log.
    void WriteDebugMsg(const std::string &message);
    // A double as text by the framework's plain conversion, with every "," replaced by ".".
    std::string mystring(double x);
    // A double through a format pattern, with every "," replaced by ".".
    std::string myformatstring(double x, const std::string &pattern);
    // The same two texts appended to `out`, for callers that build a line of many numbers
    // without a text per number; only the appended text has its commas replaced.
    void AppendMystring(std::string &out, double x);
    void AppendMyformatstring(std::string &out, double x, std::string_view pattern);
};

// The application object registered with the framework, reached through this accessor at each
// point of use: App()->mystring(x). The function shares the class's name and so hides it in
// expressions: write `class App` where the type is meant outside a scope qualifier.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wshadow"
class App *App();
#pragma GCC diagnostic pop
