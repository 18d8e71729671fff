// gui-controls.cpp -- what every control shares, and the simple controls: PopupMenu,
// EditField, StaticText, CheckBox, PushButton, BevelButton and Canvas.
//
// Each control keeps its state in its model (Control::Impl and the class's own Impl) and
// mirrors it into its widget while it has one. A setter changes the model, updates the widget
// with its signals blocked, and raises the event itself; a signal of the widget is the user's
// doing and raises the event through the guard.
#include "gui-controls.h"
#include "gui-graphics.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QValidator>

#include <stdexcept>

namespace rb {

namespace gui {

QFont MakeFont(const std::string &family, std::int32_t size, bool bold, bool italic,
               bool underline) {
    QFont font = QApplication::font();
    if (family == "SmallSystem") {
        if (size <= 0 && font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * 0.85);
    } else if (!family.empty() && family != "System") {
        font.setFamily(ToQt(family));
    }
    if (size > 0)
        font.setPixelSize(size);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    return font;
}

// A caption shows as given: "&" is no mnemonic marker on a button.
static QString Caption(const std::string &caption) {
    return ToQt(caption).replace(QLatin1Char('&'), QLatin1String("&&"));
}

static Qt::Alignment Alignment(std::int32_t align) {
    switch (align) {
    case 1:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case 2:
        return Qt::AlignRight | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

} // namespace gui

// What every control shares.

Control::Impl::~Impl() {
    // The widget may outlive the model until its window's widget goes; it must not call back.
    if (widget)
        widget->deleteLater();
}

void Control::Impl::Attach(QWidget *parent) {
    widget = MakeWidget(parent);
    ApplyCommon();
}

void Control::Impl::ApplyCommon() {
    if (!widget)
        return;
    widget->setGeometry(left, top, width, height);
    widget->setEnabled(enabled);
    widget->setVisible(visible);
    widget->setFont(Font());
}

QFont Control::Impl::Font() const {
    return gui::MakeFont(textFont, textSize, bold, italic, underline);
}

Control::Control(Impl *impl) : impl_(impl) { events_.Declare<void()>("Open"); }
Control::~Control() { delete impl_; }

const std::string &Control::Name() const { return impl_->name; }
Ref<rb::Window> Control::Window() const { return Ref<rb::Window>(impl_->window); }

std::int32_t Control::Left() const { return impl_->left; }
std::int32_t Control::Top() const { return impl_->top; }
std::int32_t Control::Width() const { return impl_->width; }
std::int32_t Control::Height() const { return impl_->height; }

void Control::SetBounds(std::int32_t left, std::int32_t top, std::int32_t width,
                        std::int32_t height) {
    impl_->left = left;
    impl_->top = top;
    impl_->width = width;
    impl_->height = height;
    if (impl_->widget)
        impl_->widget->setGeometry(left, top, width, height);
}

bool Control::Enabled() const { return impl_->enabled; }
void Control::SetEnabled(bool enabled) {
    impl_->enabled = enabled;
    if (impl_->widget)
        impl_->widget->setEnabled(enabled);
}

bool Control::Visible() const { return impl_->visible; }
void Control::SetVisible(bool visible) {
    impl_->visible = visible;
    if (impl_->widget)
        impl_->widget->setVisible(visible);
}

std::string Control::TextFont() const { return impl_->textFont; }
void Control::SetTextFont(const std::string &font) {
    impl_->textFont = font;
    impl_->ApplyCommon();
    impl_->FontChanged();
}
std::int32_t Control::TextSize() const { return impl_->textSize; }
void Control::SetTextSize(std::int32_t size) {
    impl_->textSize = size;
    impl_->ApplyCommon();
    impl_->FontChanged();
}
bool Control::Bold() const { return impl_->bold; }
void Control::SetBold(bool bold) {
    impl_->bold = bold;
    impl_->ApplyCommon();
    impl_->FontChanged();
}
bool Control::Italic() const { return impl_->italic; }
void Control::SetItalic(bool italic) {
    impl_->italic = italic;
    impl_->ApplyCommon();
    impl_->FontChanged();
}
bool Control::Underline() const { return impl_->underline; }
void Control::SetUnderline(bool underline) {
    impl_->underline = underline;
    impl_->ApplyCommon();
    impl_->FontChanged();
}

void Control::Refresh(bool eraseBackground) {
    (void)eraseBackground;
    if (impl_->widget)
        impl_->widget->update();
}

void Control::SetFocus() {
    if (impl_->widget)
        impl_->widget->setFocus(Qt::OtherFocusReason);
}

// PopupMenu.

namespace {

struct PopupMenuImpl : Control::Impl {
    using Control::Impl::Impl;
    std::vector<std::string> items;
    std::int32_t index = -1;

    QComboBox *combo() const { return static_cast<QComboBox *>(widget.data()); }

    void Configure(const ControlLayout &row) override {
        // Items are separated by carriage returns or line feeds; CR LF counts as one.
        std::string text = row.Text ? row.Text : "";
        std::string item;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' || text[i] == '\n') {
                items.push_back(item);
                item.clear();
                if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                    ++i;
            } else {
                item += text[i];
            }
        }
        if (!item.empty())
            items.push_back(item);
        index = InRange(row.Settings.ListIndex) ? row.Settings.ListIndex : -1;
    }

    bool InRange(std::int32_t i) const {
        return i >= 0 && i < static_cast<std::int32_t>(items.size());
    }

    QWidget *MakeWidget(QWidget *parent) override {
        auto *box = new QComboBox(parent);
        for (const std::string &item : items)
            box->addItem(gui::ToQt(item));
        box->setCurrentIndex(index);
        QObject::connect(box, &QComboBox::currentIndexChanged, &context, [this](int chosen) {
            if (chosen == index)
                return;
            index = chosen;
            RaiseFromUser<void()>("Change");
        });
        return box;
    }

    // The widget shows the model's items and selection (adding a first item to a combo box
    // selects it on its own).
    void SyncWidget() {
        QComboBox *box = combo();
        if (!box)
            return;
        QSignalBlocker blocker(box);
        if (box->count() != static_cast<int>(items.size())) {
            box->clear();
            for (const std::string &item : items)
                box->addItem(gui::ToQt(item));
        }
        box->setCurrentIndex(index);
    }

    void Select(std::int32_t chosen) {
        if (!InRange(chosen))
            chosen = -1;
        if (chosen == index)
            return;
        index = chosen;
        SyncWidget();
        Raise<void()>("Change");
    }
};

PopupMenuImpl &Popup(Control::Impl *impl) { return *static_cast<PopupMenuImpl *>(impl); }

} // namespace

PopupMenu::PopupMenu() : Control(new PopupMenuImpl(this)) { events_.Declare<void()>("Change"); }

void PopupMenu::AddRow(const std::string &text) {
    PopupMenuImpl &p = Popup(impl());
    p.items.push_back(text);
    if (QComboBox *box = p.combo()) {
        QSignalBlocker blocker(box);
        box->addItem(gui::ToQt(text));
    }
    p.SyncWidget();
}

void PopupMenu::RemoveRow(std::int32_t index) {
    PopupMenuImpl &p = Popup(impl());
    if (!p.InRange(index))
        return;
    p.items.erase(p.items.begin() + index);
    if (QComboBox *box = p.combo()) {
        QSignalBlocker blocker(box);
        box->removeItem(index);
    }
    if (index < p.index) {
        // The same item stays selected at its new place.
        --p.index;
        p.SyncWidget();
    } else if (index == p.index) {
        p.index = -1;
        p.SyncWidget();
        p.Raise<void()>("Change");
    } else {
        p.SyncWidget();
    }
}

void PopupMenu::DeleteAllRows() {
    PopupMenuImpl &p = Popup(impl());
    const bool hadSelection = p.index != -1;
    p.items.clear();
    p.index = -1;
    p.SyncWidget();
    if (hadSelection)
        p.Raise<void()>("Change");
}

std::int32_t PopupMenu::ListCount() const {
    return static_cast<std::int32_t>(Popup(impl()).items.size());
}

std::string PopupMenu::List(std::int32_t index) const {
    const PopupMenuImpl &p = Popup(impl());
    return p.InRange(index) ? p.items[static_cast<std::size_t>(index)] : std::string();
}

std::int32_t PopupMenu::ListIndex() const { return Popup(impl()).index; }
void PopupMenu::SetListIndex(std::int32_t index) { Popup(impl()).Select(index); }
std::string PopupMenu::Text() const { return List(ListIndex()); }

// EditField.

namespace {

// Refuses an edit that makes the text longer than the limit in UTF-8 bytes.
class ByteLimit : public QValidator {
  public:
    ByteLimit(std::int32_t bytes, QObject *parent) : QValidator(parent), limit(bytes) {}
    State validate(QString &input, int &) const override {
        const bool fits = limit <= 0 || input.toUtf8().size() <= qsizetype{limit};
        return fits ? Acceptable : Invalid;
    }
    std::int32_t limit;
};

struct EditFieldImpl : Control::Impl {
    using Control::Impl::Impl;
    std::string text;
    bool readOnly = false;
    bool border = true;
    std::int32_t align = 0;
    std::int32_t limit = 0;
    QPointer<ByteLimit> limiter;

    QLineEdit *edit() const { return static_cast<QLineEdit *>(widget.data()); }

    void Configure(const ControlLayout &row) override {
        text = row.Text ? row.Text : "";
        readOnly = row.Settings.ReadOnly;
        border = row.Settings.Border;
        align = row.Settings.TextAlign;
        limit = row.Settings.LimitText;
    }

    QWidget *MakeWidget(QWidget *parent) override {
        auto *field = new QLineEdit(parent);
        field->setText(gui::ToQt(text));
        field->setCursorPosition(0);
        limiter = new ByteLimit(limit, field);
        field->setValidator(limiter);
        field->setReadOnly(readOnly);
        field->setFrame(border);
        field->setAlignment(gui::Alignment(align));
        // textEdited comes from the user only; setText from code does not send it.
        QObject::connect(field, &QLineEdit::textEdited, &context, [this](const QString &now) {
            text = gui::FromQt(now);
            RaiseFromUser<void()>("TextChange");
        });
        return field;
    }
};

EditFieldImpl &Field(Control::Impl *impl) { return *static_cast<EditFieldImpl *>(impl); }

} // namespace

EditField::EditField() : Control(new EditFieldImpl(this)) { events_.Declare<void()>("TextChange"); }

std::string EditField::Text() const { return Field(impl()).text; }

void EditField::SetText(const std::string &text) {
    EditFieldImpl &f = Field(impl());
    if (text == f.text)
        return;
    f.text = text;
    if (QLineEdit *field = f.edit()) {
        field->setText(gui::ToQt(text));
        field->setCursorPosition(0);
    }
    f.Raise<void()>("TextChange");
}

std::int32_t EditField::LimitText() const { return Field(impl()).limit; }
void EditField::SetLimitText(std::int32_t bytes) {
    EditFieldImpl &f = Field(impl());
    f.limit = std::max(bytes, 0);
    if (f.limiter)
        f.limiter->limit = f.limit;
}

bool EditField::ReadOnly() const { return Field(impl()).readOnly; }
void EditField::SetReadOnly(bool readOnly) {
    Field(impl()).readOnly = readOnly;
    if (QLineEdit *field = Field(impl()).edit())
        field->setReadOnly(readOnly);
}

// StaticText.

namespace {

struct StaticTextImpl : Control::Impl {
    using Control::Impl::Impl;
    std::string text;
    std::int32_t align = 0;

    QLabel *label() const { return static_cast<QLabel *>(widget.data()); }

    void Configure(const ControlLayout &row) override {
        text = row.Text ? row.Text : "";
        align = row.Settings.TextAlign;
    }

    QWidget *MakeWidget(QWidget *parent) override {
        auto *shown = new QLabel(parent);
        shown->setTextFormat(Qt::PlainText);
        shown->setWordWrap(false);
        shown->setText(gui::ToQt(text));
        shown->setAlignment(gui::Alignment(align));
        return shown;
    }
};

StaticTextImpl &Label(Control::Impl *impl) { return *static_cast<StaticTextImpl *>(impl); }

} // namespace

StaticText::StaticText() : Control(new StaticTextImpl(this)) {}

std::string StaticText::Text() const { return Label(impl()).text; }
void StaticText::SetText(const std::string &text) {
    Label(impl()).text = text;
    if (QLabel *shown = Label(impl()).label())
        shown->setText(gui::ToQt(text));
}

std::int32_t StaticText::TextAlign() const { return Label(impl()).align; }
void StaticText::SetTextAlign(std::int32_t align) {
    Label(impl()).align = align;
    if (QLabel *shown = Label(impl()).label())
        shown->setAlignment(gui::Alignment(align));
}

// CheckBox.

namespace {

struct CheckBoxImpl : Control::Impl {
    using Control::Impl::Impl;
    std::string caption;
    bool value = false;

    QCheckBox *box() const { return static_cast<QCheckBox *>(widget.data()); }

    void Configure(const ControlLayout &row) override {
        caption = row.Text ? row.Text : "";
        value = row.Settings.Value;
    }

    QWidget *MakeWidget(QWidget *parent) override {
        auto *check = new QCheckBox(gui::Caption(caption), parent);
        check->setChecked(value);
        QObject::connect(check, &QCheckBox::toggled, &context, [this](bool now) {
            if (now == value)
                return;
            value = now;
            RaiseFromUser<void()>("Action");
        });
        return check;
    }
};

CheckBoxImpl &Check(Control::Impl *impl) { return *static_cast<CheckBoxImpl *>(impl); }

} // namespace

CheckBox::CheckBox() : Control(new CheckBoxImpl(this)) { events_.Declare<void()>("Action"); }

std::string CheckBox::Caption() const { return Check(impl()).caption; }
void CheckBox::SetCaption(const std::string &caption) {
    Check(impl()).caption = caption;
    if (QCheckBox *check = Check(impl()).box())
        check->setText(gui::Caption(caption));
}

bool CheckBox::Value() const { return Check(impl()).value; }
void CheckBox::SetValue(bool value) {
    CheckBoxImpl &c = Check(impl());
    if (value == c.value)
        return;
    c.value = value;
    if (QCheckBox *check = c.box()) {
        QSignalBlocker blocker(check);
        check->setChecked(value);
    }
    c.Raise<void()>("Action");
}

// PushButton.

namespace {

struct PushButtonImpl : Control::Impl {
    using Control::Impl::Impl;
    std::string caption;
    bool isDefault = false;
    bool isCancel = false;

    QPushButton *button() const { return static_cast<QPushButton *>(widget.data()); }

    void Configure(const ControlLayout &row) override {
        caption = row.Text ? row.Text : "";
        isDefault = row.Settings.Default;
        isCancel = row.Settings.Cancel;
    }

    QWidget *MakeWidget(QWidget *parent) override {
        auto *push = new QPushButton(gui::Caption(caption), parent);
        // Return is the window's business (see WindowWidget); the default look stays.
        push->setAutoDefault(false);
        push->setDefault(isDefault);
        QObject::connect(push, &QPushButton::clicked, &context,
                         [this] { RaiseFromUser<void()>("Action"); });
        return push;
    }
};

PushButtonImpl &PushModel(Control::Impl *impl) { return *static_cast<PushButtonImpl *>(impl); }

} // namespace

PushButton::PushButton() : Control(new PushButtonImpl(this)) { events_.Declare<void()>("Action"); }

std::string PushButton::Caption() const { return PushModel(impl()).caption; }
void PushButton::SetCaption(const std::string &caption) {
    PushModel(impl()).caption = caption;
    if (QPushButton *push = PushModel(impl()).button())
        push->setText(gui::Caption(caption));
}

bool PushButton::Default() const { return PushModel(impl()).isDefault; }
void PushButton::SetDefault(bool isDefault) {
    PushModel(impl()).isDefault = isDefault;
    if (QPushButton *push = PushModel(impl()).button())
        push->setDefault(isDefault);
}

bool PushButton::Cancel() const { return PushModel(impl()).isCancel; }
void PushButton::SetCancel(bool isCancel) { PushModel(impl()).isCancel = isCancel; }

void PushButton::Push() {
    if (Enabled())
        impl()->Raise<void()>("Action");
}

// BevelButton.

namespace {

struct BevelButtonImpl : Control::Impl {
    using Control::Impl::Impl;
    std::string caption;
    bool acceptFocus = false;

    QToolButton *button() const { return static_cast<QToolButton *>(widget.data()); }

    void Configure(const ControlLayout &row) override {
        caption = row.Text ? row.Text : "";
        acceptFocus = row.Settings.AcceptFocus;
    }

    QWidget *MakeWidget(QWidget *parent) override {
        auto *bevel = new QToolButton(parent);
        bevel->setToolButtonStyle(Qt::ToolButtonTextOnly);
        bevel->setText(gui::Caption(caption));
        bevel->setFocusPolicy(acceptFocus ? Qt::StrongFocus : Qt::NoFocus);
        QObject::connect(bevel, &QToolButton::clicked, &context,
                         [this] { RaiseFromUser<void()>("Action"); });
        return bevel;
    }
};

BevelButtonImpl &Bevel(Control::Impl *impl) { return *static_cast<BevelButtonImpl *>(impl); }

} // namespace

BevelButton::BevelButton() : Control(new BevelButtonImpl(this)) {
    events_.Declare<void()>("Action");
}

std::string BevelButton::Caption() const { return Bevel(impl()).caption; }
void BevelButton::SetCaption(const std::string &caption) {
    Bevel(impl()).caption = caption;
    if (QToolButton *bevel = Bevel(impl()).button())
        bevel->setText(gui::Caption(caption));
}

void BevelButton::Push() {
    if (Enabled())
        impl()->Raise<void()>("Action");
}

// Canvas.

namespace {

struct CanvasImpl;

class CanvasWidget : public QWidget {
  public:
    CanvasWidget(CanvasImpl *model, QWidget *parent) : QWidget(parent), model_(model) {}
    void Forget() { model_ = nullptr; }

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

  private:
    CanvasImpl *model_;
};

struct CanvasImpl : Control::Impl {
    using Control::Impl::Impl;
    ~CanvasImpl() override {
        if (auto *canvas = static_cast<CanvasWidget *>(widget.data()))
            canvas->Forget();
    }
    bool acceptFocus = false;
    bool erase = true;

    void Configure(const ControlLayout &row) override {
        acceptFocus = row.Settings.AcceptFocus;
        erase = row.Settings.EraseBackground;
    }

    QWidget *MakeWidget(QWidget *parent) override {
        auto *canvas = new CanvasWidget(this, parent);
        canvas->setFocusPolicy(acceptFocus ? Qt::StrongFocus : Qt::NoFocus);
        return canvas;
    }
};

void CanvasWidget::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    if (!model_ || model_->erase)
        painter.fillRect(rect(), palette().window());
    if (!model_)
        return;
    gui::PaintContext context(painter, QRect(QPoint(0, 0), size()), model_->Font());
    model_->RaiseFromUser<void(Graphics &)>("Paint", context.graphics);
}

void CanvasWidget::mousePressEvent(QMouseEvent *event) {
    if (!model_)
        return;
    if (model_->acceptFocus)
        setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint();
    model_->RaiseFromUser<bool(std::int32_t, std::int32_t)>("MouseDown", at.x(), at.y());
}

} // namespace

Canvas::Canvas() : Control(new CanvasImpl(this)) {
    events_.Declare<void(Graphics &)>("Paint");
    events_.Declare<bool(std::int32_t, std::int32_t)>("MouseDown");
}

// Making controls from rows.

Ref<Control> gui::MakeControl(ControlClass kind) {
    switch (kind) {
    case ControlClass::PopupMenu:
        return New<PopupMenu>();
    case ControlClass::EditField:
        return New<EditField>();
    case ControlClass::StaticText:
        return New<StaticText>();
    case ControlClass::CheckBox:
        return New<CheckBox>();
    case ControlClass::PushButton:
        return New<PushButton>();
    case ControlClass::BevelButton:
        return New<BevelButton>();
    case ControlClass::Listbox:
        return New<Listbox>();
    case ControlClass::Canvas:
        return New<Canvas>();
    }
    throw std::invalid_argument("a control row of an unknown class");
}

void gui::ConfigureControl(Control::Impl &control, const ControlLayout &row) {
    const ControlSettings &settings = row.Settings;
    control.left = row.Left;
    control.top = row.Top;
    control.width = row.Width;
    control.height = row.Height;
    control.enabled = settings.Enabled;
    control.visible = settings.Visible;
    control.textFont = settings.TextFont ? settings.TextFont : "System";
    control.textSize = settings.TextSize;
    control.bold = settings.Bold;
    control.italic = settings.Italic;
    control.underline = settings.Underline;
    control.Configure(row);
}

} // namespace rb
