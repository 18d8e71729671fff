// settings-test.cpp -- the settings-file tests' shared helpers.
#include "settings-test.h"

#include "rb/window.h"

#include <sys/resource.h>

std::string P(const std::string &text) {
    return std::string(1, static_cast<char>(static_cast<unsigned char>(text.size()))) + text;
}

std::string I(std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    return {static_cast<char>(u >> 24), static_cast<char>((u >> 16) & 0xFF),
            static_cast<char>((u >> 8) & 0xFF), static_cast<char>(u & 0xFF)};
}

std::string SavedState(DrawingWindow &w) {
    std::string state;
    for (const char *popup : {"PopupOrientation", "PopupPaperSize", "PopupUnits"})
        state += std::string(popup) + " " +
                 std::to_string(w.ControlByName<rb::PopupMenu>(popup)->ListIndex()) + "\n";
    for (const char *margin :
         {"EditTopMargin", "EditBottomMargin", "EditLeftMargin", "EditRightMargin"})
        state += std::string(margin) + " [" + FieldText(w, margin) + "]\n";
    state += std::string("CheckBoxViewGraph ") +
             (w.ControlByName<rb::CheckBox>("CheckBoxViewGraph")->Value() ? "1" : "0") + "\n";
    // An output file not yet written is not found again, so it counts as none.
    const bool output = w.outputFile && w.outputFile->Exists();
    state += "output " + (output ? w.outputFile->NativePath() : "none") + "\n";
    rb::Ref<rb::Listbox> list = w.ControlByName<rb::Listbox>("ListBox1");
    for (std::int32_t i = 0; i < list->ListCount(); ++i)
        state += "row [" + list->Cell(i, 0) + "] [" + list->Cell(i, 3) + "]\n";
    return state;
}

std::string UnsavedState(DrawingWindow &w) {
    return FieldText(w, "EditCustomWidth") + " x " + FieldText(w, "EditCustomHeight") +
           ", scales " + FieldText(w, "EditXScale") + " x " + FieldText(w, "EditYScale");
}

void SetPopup(DrawingWindow &w, const std::string &name, std::int32_t index) {
    w.ControlByName<rb::PopupMenu>(name)->SetListIndex(index);
}

std::vector<rb::Ref<DrawingWindow>> DrawingWindows() {
    std::vector<rb::Ref<DrawingWindow>> windows;
    for (std::int32_t i = rb::WindowCount() - 1; i >= 0; --i)
        if (auto w = rb::RefCast<DrawingWindow>(rb::WindowAt(i)))
            windows.push_back(w);
    return windows;
}

FileSizeLimit::FileSizeLimit(std::uint64_t bytes) {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    oldSoft_ = limit.rlim_cur;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = oldSoft_;
    setrlimit(RLIMIT_FSIZE, &limit);
}
