// Damaged and foreign settings files: whatever a file holds, loading ends, takes memory of the
// order of the file's size, and leaves a window whose popups select an item and which can save
// and load again what it shows.
#include "settings-test.h"

#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>

namespace {

// A settings file from its parts; each case damages one of them.
struct FileParts {
    std::vector<std::string> setUp = {"1.3.0", "1",   "7", "0",   "0", "1",
                                      "2",     "2.5", "3", "3.5", "0"};
    std::string alias = I(0);
    std::string beforeMarker;
    std::string marker = P("DATA_FOLLOWS");
    std::string count = I(2);
    std::string rows = P("LINE 1 2 3 4 1 0 0 0") + P("text 1 1 12 1 0 0 0 0") + P("hello world");

    std::string Bytes() const {
        std::string bytes;
        for (const std::string &item : setUp)
            bytes += P(item);
        return bytes + alias + beforeMarker + marker + count + rows;
    }
};

// The window must be usable whatever was loaded: every popup selects one of its items, the
// list holds no more rows than the file has bytes, and what it shows saves and loads back.
void ExpectSane(DrawingWindow &w, std::size_t fileSize) {
    for (const char *name : {"PopupOrientation", "PopupPaperSize", "PopupUnits"}) {
        rb::Ref<rb::PopupMenu> popup = w.ControlByName<rb::PopupMenu>(name);
        EXPECT_GE(popup->ListIndex(), 0) << name;
        EXPECT_LT(popup->ListIndex(), popup->ListCount()) << name;
    }
    EXPECT_LE(static_cast<std::size_t>(w.ControlByName<rb::Listbox>("ListBox1")->ListCount()),
              fileSize);
    ASSERT_TRUE(w.SaveSettings(rb::GetFolderItem("again.setf")));
    auto again = rb::NewWindow<DrawingWindow>();
    EXPECT_TRUE(again->LoadSettings(rb::GetFolderItem("again.setf")));
    EXPECT_EQ(SavedState(*again), SavedState(w));
    again->Window::Close();
}

// A figure of /proc/self/status in bytes ("VmRSS", "VmHWM"), 0 when missing.
std::int64_t StatusBytes(const std::string &key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(key + ":"))
            return std::atoll(line.c_str() + key.size() + 1) * 1024;
    return 0;
}

// Starts the process's peak resident size (VmHWM) afresh at what it holds now.
bool ResetPeakMemory() {
    std::ofstream clear("/proc/self/clear_refs");
    return bool(clear << "5" << std::flush);
}

// Loads the bytes into a new window; whether the file was read whole. The load may take at
// most some tens of times the file's size in memory, plus a constant.
bool LoadBytes(const TempFolder &folder, const std::string &bytes, rb::Ref<DrawingWindow> &w) {
    TempFolder::Put(folder / "damaged.setf", bytes);
    w = rb::NewWindow<DrawingWindow>();
    const bool measured = ResetPeakMemory();
    const std::int64_t before = StatusBytes("VmRSS");
    const bool whole = w->LoadSettings(rb::GetFolderItem("damaged.setf")).whole;
    w->PopulateListBox();
    if (measured) {
        const std::int64_t bound = 32 * static_cast<std::int64_t>(bytes.size()) + (64 << 20);
        EXPECT_LE(StatusBytes("VmHWM") - before, bound)
            << "loading " << bytes.size() << " bytes took this much more memory";
    }
    return whole;
}

constexpr std::int32_t kMostRows = DrawingWindow::kMostElementRows;
const std::string kSixteenMiB(std::size_t{16} << 20, '\0');

std::string Rows(std::int32_t count, const std::string &record) {
    std::string rows;
    for (std::int32_t i = 0; i < count; ++i)
        rows += P(record);
    return rows;
}

struct DamageCase {
    const char *name;
    std::function<void(FileParts &)> damage;
    bool whole;        // LoadSettings finds the file whole
    std::int32_t rows; // rows loaded
    std::int32_t paper;
    std::string top; // the top margin afterwards
};

const DamageCase kDamageCases[] = {
    {"undamaged", [](FileParts &) {}, true, 2, 7, "2"},
    {"another version string", [](FileParts &f) { f.setUp[0] = "9.9.9"; }, true, 2, 7, "2"},
    {"strings between the alias and the marker",
     [](FileParts &f) { f.beforeMarker = P("skipped") + P("") + P("DATA"); }, true, 2, 7, "2"},
    {"no marker", [](FileParts &f) { f.marker = P("DATA_FOLLOWED"); }, false, 0, 7, "2"},
    {"paper index past the last item", [](FileParts &f) { f.setUp[2] = "13"; }, false, 2, 0, "2"},
    {"negative orientation", [](FileParts &f) { f.setUp[1] = "-1"; }, false, 2, 7, "2"},
    {"unit index too large for an int32", [](FileParts &f) { f.setUp[5] = "1e300"; }, false, 2, 7,
     "2"},
    {"row count 2^31-1", [](FileParts &f) { f.count = I(0x7FFFFFFF); }, false, 2, 7, "2"},
    {"negative row count", [](FileParts &f) { f.count = I(-5); }, false, 0, 7, "2"},
    {"alias length 2^31-1", [](FileParts &f) { f.alias = I(0x7FFFFFFF); }, false, 0, 7, "2"},
    {"negative alias length", [](FileParts &f) { f.alias = I(-1); }, true, 2, 7, "2"},
    {"alias record of garbage", [](FileParts &f) { f.alias = I(5) + "junk!"; }, true, 2, 7, "2"},
    {"TEXT row without its text", [](FileParts &f) { f.rows = f.rows.substr(0, 44); }, false, 2, 7,
     "2"},
    // A file goes no further than its rows: a shorter list saved over it would lose the rest.
    {"row count 1 over two rows", [](FileParts &f) { f.count = I(1); }, false, 1, 7, "2"},
    {"row count 0 over two rows", [](FileParts &f) { f.count = I(0); }, false, 0, 7, "2"},
    {"a byte after the last row", [](FileParts &f) { f.rows += "x"; }, false, 2, 7, "2"},
    {"records of odd bytes",
     [](FileParts &f) {
         f.count = I(3);
         f.rows = P(std::string("\0\xff\n\r", 4)) + P(std::string(255, '\x80')) + P("TEXT") +
                  P(std::string("\0", 1));
     },
     true, 3, 7, "2"},
    {"set-up items of odd bytes", [](FileParts &f) { f.setUp[6] = std::string("\0\t\xfe", 3); },
     true, 2, 7, std::string("\0\t\xfe", 3)},
    {"exactly the most rows a file may hold",
     [](FileParts &f) {
         f.count = I(kMostRows);
         f.rows = Rows(kMostRows, "LINE 1 2 3 4 1 0 0 0");
     },
     true, kMostRows, 7, "2"},
    {"one row more than a file may hold",
     [](FileParts &f) {
         f.count = I(kMostRows + 1);
         f.rows = Rows(kMostRows + 1, "LINE 1 2 3 4 1 0 0 0");
     },
     false, kMostRows, 7, "2"},
    {"row count 2^31-1 over 16 MiB of empty strings",
     [](FileParts &f) {
         f.count = I(0x7FFFFFFF);
         f.rows = kSixteenMiB;
     },
     false, kMostRows, 7, "2"},
    {"row count 2^31-1 over 16 MiB of TEXT rows",
     [](FileParts &f) {
         f.count = I(0x7FFFFFFF);
         f.rows.clear();
         while (f.rows.size() < kSixteenMiB.size())
             f.rows += P("TEXT 1 1 12 1 0 0 0 0") + P("");
     },
     false, kMostRows, 7, "2"},
    {"16 MiB of empty strings and no marker",
     [](FileParts &f) {
         f.marker.clear();
         f.count.clear();
         f.rows = kSixteenMiB;
     },
     false, 0, 7, "2"},
};

TEST_F(WindowTest, DamagedFilesLoadWhatTheyHoldWhole) {
    for (const DamageCase &c : kDamageCases) {
        SCOPED_TRACE(c.name);
        FileParts parts;
        c.damage(parts);
        const std::string bytes = parts.Bytes();
        rb::Ref<DrawingWindow> w;
        EXPECT_EQ(LoadBytes(folder, bytes, w), c.whole);
        EXPECT_EQ(w->ControlByName<rb::Listbox>("ListBox1")->ListCount(), c.rows);
        EXPECT_EQ(w->ControlByName<rb::PopupMenu>("PopupPaperSize")->ListIndex(), c.paper);
        EXPECT_EQ(FieldText(*w, "EditTopMargin"), c.top);
        ExpectSane(*w, bytes.size());
        w->Window::Close();
    }
}

// A file cut short anywhere keeps, of every item, what it holds whole; the rest of the window
// stays as it was.
TEST_F(WindowTest, EveryTruncationOfAValidFileLoadsSafely) {
    std::string valid;
    {
        // A real alias record in the middle, so that cuts fall inside one as well.
        TempFolder::Put(folder / "out.pdf", "%PDF-1.4");
        auto source = NewDrawingWindow();
        source->outputFile = rb::GetFolderItem("out.pdf");
        SetPopup(*source, "PopupPaperSize", 7);
        AddElement(*source, "LINE 1 2 3 4 1 0 0 0");
        AddElement(*source, "TEXT 1 1 12 1 0 0 0 0", "hello world");
        ASSERT_TRUE(source->SaveSettings(rb::GetFolderItem("valid.setf")));
        valid = TempFolder::Get(folder / "valid.setf");
        source->Window::Close();
    }
    for (std::size_t length = 0; length <= valid.size(); ++length) {
        SCOPED_TRACE("first " + std::to_string(length) + " of " + std::to_string(valid.size()) +
                     " bytes");
        rb::Ref<DrawingWindow> w;
        EXPECT_EQ(LoadBytes(folder, valid.substr(0, length), w), length == valid.size());
        // The paper index is the third item, stored in the file's first ten bytes.
        const std::size_t paperItemEnd = 10;
        EXPECT_EQ(w->ControlByName<rb::PopupMenu>("PopupPaperSize")->ListIndex(),
                  length >= paperItemEnd ? 7 : 0);
        ExpectSane(*w, length);
        w->Window::Close();
        if (HasFatalFailure())
            return;
    }
}

TEST_F(WindowTest, RandomBytesLoadSafely) {
    std::mt19937 random(20240611);
    for (std::size_t size : {1u, 7u, 64u, 300u, 4096u, 65536u, 16u << 20}) {
        for (int round = 0; round < 4; ++round) {
            std::string bytes(size, '\0');
            for (char &b : bytes)
                b = static_cast<char>(random() & 0xFF);
            SCOPED_TRACE(std::to_string(size) + " random bytes, round " + std::to_string(round));
            rb::Ref<DrawingWindow> w;
            EXPECT_FALSE(LoadBytes(folder, bytes, w));
            ExpectSane(*w, size);
            w->Window::Close();
        }
    }
}

// The list holds a row for every complete string after the count, and no more: a count of
// 2^31-1 over 64 KiB of empty strings gives 65536 rows.
TEST_F(WindowTest, AHugeRowCountStopsAtTheEndOfTheFile) {
    FileParts parts;
    parts.count = I(0x7FFFFFFF);
    parts.rows = std::string(65536, '\0');
    rb::Ref<DrawingWindow> w;
    EXPECT_FALSE(LoadBytes(folder, parts.Bytes(), w));
    EXPECT_EQ(w->ControlByName<rb::Listbox>("ListBox1")->ListCount(), 65536);
}

// A missing file, a folder and nil change nothing.
TEST_F(WindowTest, FilesThatCannotBeReadLeaveTheWindowAsItWas) {
    std::filesystem::create_directory(folder / "a folder.setf");
    auto w = NewDrawingWindow();
    AddElement(*w, "LINE 1 2 3 4 1 0 0 0");
    const std::string before = SavedState(*w);
    EXPECT_FALSE(w->LoadSettings(nullptr));
    EXPECT_FALSE(w->LoadSettings(rb::GetFolderItem("missing.setf")));
    EXPECT_FALSE(w->LoadSettings(rb::GetFolderItem("a folder.setf")));
    EXPECT_EQ(SavedState(*w), before);
}

} // namespace
