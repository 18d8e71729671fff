// gui-listbox.cpp -- the Listbox: rows of text cells, column widths, selection, and cell
// painting through the program's paint events.
//
// The rows live in the model; a table view shows them through a Qt item model that reads
// the rows in place, and a delegate that paints each cell by raising CellBackgroundPaint and
// CellTextPaint before doing its own drawing.
#include "gui-controls.h"
#include "gui-graphics.h"

#include "rb/text.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableView>

#include <algorithm>
#include <cstdlib>

namespace rb {

namespace {

// The rule that gives one column its width: so many pixels, a percentage of the list's width,
// or a share of what the others leave.
struct ColumnWidthRule {
    enum Kind { Pixels, Percent, Rest } kind = Rest;
    double amount = 0;
};

std::vector<ColumnWidthRule> ParseColumnWidths(const std::string &widths, std::int32_t columns) {
    std::vector<ColumnWidthRule> rules(static_cast<std::size_t>(std::max(columns, 0)));
    for (std::int32_t c = 0; c < columns; ++c) {
        std::string entry = Trim(NthField(widths, ",", c + 1));
        ColumnWidthRule &rule = rules[static_cast<std::size_t>(c)];
        if (entry.empty() || entry == "*") {
            rule.kind = ColumnWidthRule::Rest;
        } else if (entry.back() == '%') {
            rule.kind = ColumnWidthRule::Percent;
            rule.amount = std::max(0.0, Val(entry));
        } else {
            rule.kind = ColumnWidthRule::Pixels;
            rule.amount = std::max(0.0, Val(entry));
        }
    }
    return rules;
}

// The widths in a list `total` pixels wide: pixels and percentages first, then what is left
// shared evenly by the rest columns.
std::vector<std::int32_t> ComputeColumnWidths(const std::vector<ColumnWidthRule> &rules,
                                              std::int32_t total) {
    std::vector<std::int32_t> widths(rules.size(), 0);
    std::int32_t used = 0;
    std::int32_t rest = 0;
    for (std::size_t c = 0; c < rules.size(); ++c) {
        if (rules[c].kind == ColumnWidthRule::Pixels)
            widths[c] = ToInt32(rules[c].amount);
        else if (rules[c].kind == ColumnWidthRule::Percent)
            widths[c] = ToInt32(rules[c].amount * total / 100.0);
        else
            ++rest;
        used += widths[c];
    }
    const std::int32_t left = std::max(total - used, 0);
    // Pixels the division leaves over go one each to the first rest columns.
    std::int32_t nth = 0;
    for (std::size_t c = 0; c < rules.size(); ++c) {
        if (rules[c].kind != ColumnWidthRule::Rest)
            continue;
        widths[c] = left / rest + (nth < left % rest ? 1 : 0);
        ++nth;
    }
    return widths;
}

struct ListboxImpl;

class ListModel : public QAbstractTableModel {
  public:
    ListModel(ListboxImpl *model, QObject *parent) : QAbstractTableModel(parent), model_(model) {}
    void Forget() { model_ = nullptr; }

    int rowCount(const QModelIndex &parent) const override;
    int columnCount(const QModelIndex &parent) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int, Qt::Orientation, int) const override { return QVariant(); }

    void BeginInsert(int row) { beginInsertRows(QModelIndex(), row, row); }
    void EndInsert() { endInsertRows(); }
    void BeginRemove(int row) { beginRemoveRows(QModelIndex(), row, row); }
    void EndRemove() { endRemoveRows(); }
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    void CellChanged(int row, int column) {
        emit dataChanged(index(row, column), index(row, column), {Qt::DisplayRole});
    }

  private:
    ListboxImpl *model_;
};

class CellDelegate : public QStyledItemDelegate {
  public:
    CellDelegate(ListboxImpl *model, QObject *parent)
        : QStyledItemDelegate(parent), model_(model) {}
    void Forget() { model_ = nullptr; }
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

  private:
    ListboxImpl *model_;
};

class ListView : public QTableView {
  public:
    ListView(ListboxImpl *model, QWidget *parent) : QTableView(parent), model_(model) {}
    void Forget() { model_ = nullptr; }

  protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

  private:
    ListboxImpl *model_;
};

struct ListboxImpl : Control::Impl {
    using Control::Impl::Impl;
    ~ListboxImpl() override {
        if (view)
            view->Forget();
        if (items)
            items->Forget();
        if (delegate)
            delegate->Forget();
    }

    std::int32_t columns = 1;
    std::string widths;
    bool heading = false;
    std::vector<std::vector<std::string>> rows;
    // RowID of each row, in row order; the next row gets nextRowID.
    std::vector<std::int64_t> rowIDs;
    std::int64_t nextRowID = 1;
    std::int32_t listIndex = -1;
    std::int32_t lastIndex = -1;
    QPointer<ListView> view;
    QPointer<ListModel> items;
    QPointer<CellDelegate> delegate;
    // Set while the model changes the view itself, so that its signals are not the user's.
    bool syncing = false;

    std::int32_t Count() const { return static_cast<std::int32_t>(rows.size()); }
    bool RowInRange(std::int32_t row) const { return row >= 0 && row < Count(); }

    void Configure(const ControlLayout &row) override {
        columns = std::max(row.Settings.ColumnCount, 1);
        widths = row.Settings.ColumnWidths ? row.Settings.ColumnWidths : "";
        heading = row.Settings.HasHeading;
    }

    QWidget *MakeWidget(QWidget *parent) override {
        view = new ListView(this, parent);
        items = new ListModel(this, view);
        delegate = new CellDelegate(this, view);
        view->setModel(items);
        view->setItemDelegate(delegate);
        view->setShowGrid(false);
        view->setWordWrap(false);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        // A table view walks Tab through its cells, and so through the selection, two presses
        // a row: the list would keep the focus until its last cell. Tab leaves it at once, as
        // it leaves every other control; the arrow keys move the selection.
        view->setTabKeyNavigation(false);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        view->verticalHeader()->hide();
        view->horizontalHeader()->setMinimumSectionSize(0);
        view->horizontalHeader()->setHighlightSections(false);
        QObject::connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, &context,
                         [this] { UserSelected(); });
        FontChanged();
        LayoutColumns();
        SyncSelection();
        return view;
    }

    void FontChanged() override {
        if (!view)
            return;
        // Rows as high as the text needs, all alike.
        QHeaderView *rowHeader = view->verticalHeader();
        rowHeader->setMinimumSectionSize(0);
        rowHeader->setSectionResizeMode(QHeaderView::Fixed);
        rowHeader->setDefaultSectionSize(QFontMetrics(Font()).height() + 4);
    }

    // Pixel and percentage columns get their widths; the rest columns stretch over what is
    // left, which follows the vertical scroll bar as it comes and goes.
    void LayoutColumns() {
        if (!view)
            return;
        QHeaderView *header = view->horizontalHeader();
        header->setVisible(heading);
        const std::vector<ColumnWidthRule> rules = ParseColumnWidths(widths, columns);
        const std::vector<std::int32_t> sizes = ComputeColumnWidths(rules, AvailableWidth());
        for (int c = 0; c < columns; ++c) {
            const auto at = static_cast<std::size_t>(c);
            const bool rest = rules[at].kind == ColumnWidthRule::Rest;
            view->setColumnHidden(c, !rest && sizes[at] == 0);
            header->setSectionResizeMode(c, rest ? QHeaderView::Stretch : QHeaderView::Fixed);
            if (!rest)
                header->resizeSection(c, sizes[at]);
        }
    }

    std::int32_t AvailableWidth() const {
        if (view)
            return view->viewport()->width();
        return std::max(width - 2, 0);
    }

    std::int32_t ColumnWidth(std::int32_t column) const {
        if (column < 0 || column >= columns)
            return 0;
        if (view && view->isVisible())
            return view->isColumnHidden(column) ? 0 : view->columnWidth(column);
        return ComputeColumnWidths(ParseColumnWidths(widths, columns),
                                   AvailableWidth())[static_cast<std::size_t>(column)];
    }

    void AppendRow(const std::string &text) {
        std::vector<std::string> row(static_cast<std::size_t>(columns));
        row[0] = text;
        const std::int32_t at = Count();
        if (items)
            items->BeginInsert(at);
        rows.push_back(std::move(row));
        rowIDs.push_back(nextRowID++);
        if (items)
            items->EndInsert();
        lastIndex = at;
    }

    // The view selects what the model says.
    void SyncSelection() {
        if (!view)
            return;
        syncing = true;
        {
            QItemSelectionModel *selection = view->selectionModel();
            QSignalBlocker blocker(selection);
            if (RowInRange(listIndex)) {
                QModelIndex first = items->index(listIndex, 0);
                selection->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
            } else {
                selection->clearSelection();
                selection->clearCurrentIndex();
            }
        }
        syncing = false;
        view->viewport()->update();
    }

    void UserSelected() {
        if (syncing || !view)
            return;
        const QModelIndexList selected = view->selectionModel()->selectedRows();
        const std::int32_t now = selected.isEmpty() ? -1 : selected.first().row();
        if (now == listIndex)
            return;
        listIndex = now;
        RaiseFromUser<void()>("Change");
    }

    void Select(std::int32_t row, bool fromCode) {
        if (!RowInRange(row))
            row = -1;
        if (row == listIndex)
            return;
        listIndex = row;
        SyncSelection();
        if (fromCode)
            Raise<void()>("Change");
    }
};

ListboxImpl &List(Control::Impl *impl) { return *static_cast<ListboxImpl *>(impl); }

int ListModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() || !model_ ? 0 : static_cast<int>(model_->rows.size());
}

int ListModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() || !model_ ? 0 : model_->columns;
}

QVariant ListModel::data(const QModelIndex &index, int role) const {
    if (!model_ || role != Qt::DisplayRole || !model_->RowInRange(index.row()))
        return QVariant();
    const auto &row = model_->rows[static_cast<std::size_t>(index.row())];
    const auto column = static_cast<std::size_t>(index.column());
    return column < row.size() ? gui::ToQt(row[column]) : QString();
}

void CellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const {
    if (!model_)
        return;
    const QRect cell = option.rect;
    const auto row = static_cast<std::int32_t>(index.row());
    const auto column = static_cast<std::int32_t>(index.column());
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
    const QFont font = model_->Font();
    auto toColor = [](const QColor &c) { return RGB(c.red(), c.green(), c.blue()); };

    // The background: the program's, or the selection highlight.
    bool painted;
    {
        gui::PaintContext context(*painter, cell, font);
        painted = model_->RaiseFromUser<bool(Graphics &, std::int32_t, std::int32_t)>(
            "CellBackgroundPaint", context.graphics, row, column);
    }
    if (!painted && selected)
        painter->fillRect(cell, option.palette.brush(group, QPalette::Highlight));

    // The text: the program's, or the cell's text from its left edge, centred in height.
    const QColor textColor =
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    const QFontMetrics metrics(font);
    const std::int32_t x = 3;
    const std::int32_t y = (cell.height() + metrics.ascent() - metrics.descent()) / 2;
    bool drawn;
    {
        gui::PaintContext context(*painter, cell, font);
        context.graphics.ForeColor = toColor(textColor);
        drawn = model_->RaiseFromUser<bool(Graphics &, std::int32_t, std::int32_t, std::int32_t,
                                           std::int32_t)>("CellTextPaint", context.graphics, row,
                                                          column, x, y);
    }
    if (drawn)
        return;
    const QString text = index.data(Qt::DisplayRole).toString();
    painter->save();
    painter->setClipRect(cell);
    painter->setFont(font);
    painter->setPen(textColor);
    painter->drawText(cell.left() + x, cell.top() + y,
                      metrics.elidedText(text, Qt::ElideRight, std::max(cell.width() - x - 2, 0)));
    painter->restore();
}

void ListView::resizeEvent(QResizeEvent *event) {
    QTableView::resizeEvent(event);
    if (model_)
        model_->LayoutColumns();
}

void ListView::mouseDoubleClickEvent(QMouseEvent *event) {
    QTableView::mouseDoubleClickEvent(event);
    if (model_)
        model_->RaiseFromUser<void()>("DoubleClick");
}

} // namespace

Listbox::Listbox() : Control(new ListboxImpl(this)) {
    events_.Declare<void()>("Change");
    events_.Declare<bool(Graphics &, std::int32_t, std::int32_t)>("CellBackgroundPaint");
    events_.Declare<bool(Graphics &, std::int32_t, std::int32_t, std::int32_t, std::int32_t)>(
        "CellTextPaint");
    events_.Declare<void()>("DoubleClick");
}

std::int32_t Listbox::ColumnCount() const { return List(impl()).columns; }

void Listbox::SetColumnCount(std::int32_t count) {
    ListboxImpl &l = List(impl());
    count = std::max(count, 1);
    if (l.items)
        l.items->BeginReset();
    l.columns = count;
    for (auto &row : l.rows)
        row.resize(static_cast<std::size_t>(count));
    if (l.items)
        l.items->EndReset();
    l.LayoutColumns();
    l.SyncSelection();
}

std::string Listbox::ColumnWidths() const { return List(impl()).widths; }

void Listbox::SetColumnWidths(const std::string &widths) {
    List(impl()).widths = widths;
    List(impl()).LayoutColumns();
}

std::int32_t Listbox::ColumnWidth(std::int32_t column) const {
    return List(impl()).ColumnWidth(column);
}

bool Listbox::HasHeading() const { return List(impl()).heading; }

void Listbox::SetHasHeading(bool heading) {
    List(impl()).heading = heading;
    List(impl()).LayoutColumns();
}

void Listbox::AddRow(const std::string &text) { List(impl()).AppendRow(text); }

void Listbox::RemoveRow(std::int32_t row) {
    ListboxImpl &l = List(impl());
    if (!l.RowInRange(row))
        return;
    l.syncing = true;
    if (l.items)
        l.items->BeginRemove(row);
    l.rows.erase(l.rows.begin() + row);
    l.rowIDs.erase(l.rowIDs.begin() + row);
    if (l.items)
        l.items->EndRemove();
    l.syncing = false;

    // LastIndex and the selection follow their rows; a removed row leaves neither.
    if (row < l.lastIndex)
        --l.lastIndex;
    else if (row == l.lastIndex)
        l.lastIndex = -1;
    if (row < l.listIndex) {
        --l.listIndex;
        l.SyncSelection();
    } else if (row == l.listIndex) {
        l.listIndex = -1;
        l.SyncSelection();
        l.Raise<void()>("Change");
    } else {
        l.SyncSelection();
    }
}

void Listbox::DeleteAllRows() {
    ListboxImpl &l = List(impl());
    const bool hadSelection = l.listIndex != -1;
    l.syncing = true;
    if (l.items)
        l.items->BeginReset();
    l.rows.clear();
    l.rowIDs.clear();
    if (l.items)
        l.items->EndReset();
    l.syncing = false;
    l.lastIndex = -1;
    l.listIndex = -1;
    l.SyncSelection();
    if (hadSelection)
        l.Raise<void()>("Change");
}

std::int32_t Listbox::ListCount() const { return List(impl()).Count(); }
std::int32_t Listbox::LastIndex() const { return List(impl()).lastIndex; }
std::int32_t Listbox::ListIndex() const { return List(impl()).listIndex; }

std::int64_t Listbox::RowID(std::int32_t row) const {
    const ListboxImpl &l = List(impl());
    return l.RowInRange(row) ? l.rowIDs[static_cast<std::size_t>(row)] : 0;
}

std::int32_t Listbox::RowWithID(std::int64_t id) const {
    const ListboxImpl &l = List(impl());
    const auto found = std::find(l.rowIDs.begin(), l.rowIDs.end(), id);
    if (id == 0 || found == l.rowIDs.end())
        return -1;
    return static_cast<std::int32_t>(found - l.rowIDs.begin());
}
void Listbox::SetListIndex(std::int32_t row) { List(impl()).Select(row, true); }

std::string Listbox::Cell(std::int32_t row, std::int32_t column) const {
    const ListboxImpl &l = List(impl());
    if (!l.RowInRange(row) || column < 0 || column >= l.columns)
        return std::string();
    return l.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void Listbox::SetCell(std::int32_t row, std::int32_t column, const std::string &text) {
    ListboxImpl &l = List(impl());
    if (!l.RowInRange(row) || column < 0 || column >= l.columns)
        return;
    l.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
    if (l.items)
        l.items->CellChanged(row, column);
}

} // namespace rb
