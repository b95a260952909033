#include "grid/dbgrid.h"

#include "data/datasource.h"
#include "data/query.h"
#include "grid/dbgridmodel.h"
#include "platform/modules.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QPolygon>
#include <QScrollBar>

namespace {

// The indicator column: a narrow vertical header that draws a small triangle on the current row and
// nothing else.
class IndicatorHeader final : public QHeaderView {
public:
    explicit IndicatorHeader(QWidget *parent) : QHeaderView(Qt::Vertical, parent)
    {
        setSectionsClickable(false);
        setHighlightSections(false);
        setSectionResizeMode(QHeaderView::Fixed);
        setFixedWidth(DBGrid::indicatorWidth);
    }

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        const auto *view = qobject_cast<const QAbstractItemView *>(parentWidget());
        if (view == nullptr || view->currentIndex().row() != logicalIndex)
            return;
        const QPoint c = rect.center();
        const QPolygon mark{QPoint(c.x() - 2, c.y() - 4), QPoint(c.x() + 2, c.y()), QPoint(c.x() - 2, c.y() + 4)};
        painter->save();
        // The base class leaves a clip for the section's text, which is empty in a column this narrow.
        painter->setClipRect(rect);
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette().color(QPalette::WindowText));
        painter->drawPolygon(mark);
        painter->restore();
    }
};

QColor systemColor(const QString &name, const QPalette &palette)
{
    static const struct {
        const char *name;
        QPalette::ColorRole role;
    } roles[] = {
        {"clBtnFace", QPalette::Button},     {"clBtnText", QPalette::ButtonText},
        {"clWindow", QPalette::Base},        {"clWindowText", QPalette::WindowText},
        {"clHighlight", QPalette::Highlight}, {"clHighlightText", QPalette::HighlightedText},
    };
    for (const auto &entry : roles)
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return palette.color(entry.role);
    const QColor color = QColor::fromString(name);
    return color.isValid() ? color : palette.color(QPalette::Button);
}

} // namespace

DBGrid::DBGrid(QWidget *parent) : QTableView(parent), m_model(new DBGridModel(this))
{
    setVerticalHeader(new IndicatorHeader(this));
    setModel(m_model);
    m_model->setLocale(locale());

    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
    setShowGrid(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setCornerButtonEnabled(false);
    setAlternatingRowColors(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    QHeaderView *titles = horizontalHeader();
    titles->setSectionsMovable(true);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setStretchLastSection(false);
    titles->setHighlightSections(false);
    titles->setSortIndicatorShown(false);
    titles->setMinimumSectionSize(1);
    titles->setTextElideMode(Qt::ElideNone);

    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, &DBGrid::saveLayout);
    connect(m_model, &QAbstractItemModel::modelReset, this, &DBGrid::followView);

    setTitleButtons(m_titleButtons);
    setShowHorzScrollBar(m_showHorzScrollBar);
    applyTitleLook();
}

DBGrid::~DBGrid()
{
    ModuleRegistry::instance().unreference(this);
    // The model is a child of this view: detach it while the view is still whole.
    setModel(nullptr);
}

void DBGrid::setDataSourceName(const QString &path)
{
    ModuleRegistry::instance().reference(this, path,
                                         [this](QObject *component) { setDataSource(qobject_cast<DataSource *>(component)); });
}

DataSource *DBGrid::dataSource() const
{
    return m_model->dataSource();
}

void DBGrid::setDataSource(DataSource *source)
{
    m_model->setDataSource(source);
}

void DBGrid::setSelected(const QStringList &entries)
{
    m_selected = entries;
    m_model->setEntries(parseSelected(entries));
}

void DBGrid::setTitleColor(const QString &color)
{
    m_titleColor = color;
    applyTitleLook();
}

void DBGrid::setTitleFont(const QFont &font)
{
    m_titleFont = font;
    applyTitleLook();
}

void DBGrid::setTitleAlignment(Qt::Alignment alignment)
{
    m_titleAlignment = alignment;
    applyTitleLook();
}

void DBGrid::setTitleLines(int lines)
{
    m_titleLines = qMax(1, lines);
    applyTitleLook();
}

void DBGrid::setTitleButtons(bool on)
{
    m_titleButtons = on;
    horizontalHeader()->setSectionsClickable(on);
}

void DBGrid::setShowHorzScrollBar(bool on)
{
    m_showHorzScrollBar = on;
    setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

QFont DBGrid::effectiveTitleFont() const
{
    return m_titleFont.resolve(font());
}

QColor DBGrid::effectiveTitleColor() const
{
    return systemColor(m_titleColor, palette());
}

void DBGrid::applyTitleLook()
{
    const QColor background = effectiveTitleColor();
    const QColor text = palette().color(QPalette::WindowText);
    for (QHeaderView *header : {horizontalHeader(), verticalHeader()}) {
        QPalette colours = header->palette();
        colours.setColor(QPalette::Button, background);
        colours.setColor(QPalette::Window, background);
        colours.setColor(QPalette::ButtonText, text);
        header->setPalette(colours);
    }

    const QFont title = effectiveTitleFont();
    QHeaderView *titles = horizontalHeader();
    titles->setFont(title);
    titles->setDefaultAlignment(m_titleAlignment | Qt::AlignVCenter);
    // Text lines plus the section's bevel and a pixel of air, so descenders aren't cut.
    titles->setFixedHeight(m_titleLines * QFontMetrics(title).height() + 6);

    // Data rows one text line high (the grid line takes the last pixel).
    QHeaderView *rows = verticalHeader();
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);
}

void DBGrid::applyColumnWidths()
{
    QHeaderView *titles = horizontalHeader();
    // Back to the stored order: the columns were chosen anew.
    for (int logical = 0; logical < m_model->columnCount(); ++logical) {
        const int visual = titles->visualIndex(logical);
        if (visual != logical)
            titles->moveSection(visual, logical);
    }
    const QFontMetrics data(font());
    const QFontMetrics title(effectiveTitleFont());
    for (int column = 0; column < m_model->columnCount(); ++column) {
        const GridColumn &entry = m_model->column(column);
        int width = entry.displayWidth;
        if (width < 0) {
            // No usable width stored: the column's declared width, else ten characters.
            const Query *query = m_model->query();
            const int declared = query != nullptr ? query->columns()[m_model->queryColumn(column)].width : -1;
            width = declared > 0 ? declared : 10;
        }
        titles->resizeSection(column, gridColumnWidth(width, entry.title, data, title));
    }
}

void DBGrid::saveLayout()
{
    QHeaderView *titles = horizontalHeader();
    const int count = titles->count();
    m_savedSizes.assign(size_t(count), 0);
    m_savedOrder.assign(size_t(count), 0);
    for (int logical = 0; logical < count; ++logical) {
        m_savedSizes[size_t(logical)] = titles->sectionSize(logical);
        m_savedOrder[size_t(titles->visualIndex(logical))] = logical;
    }
    m_savedColumn = qMax(0, currentIndex().column());
}

void DBGrid::followView()
{
    QHeaderView *titles = horizontalHeader();
    const int columns = m_model->columnCount();
    const bool keepLayout = !m_model->columnsChosen() && size_t(columns) == m_savedSizes.size();
    if (keepLayout) {
        for (int visual = 0; visual < columns; ++visual) {
            const int logical = m_savedOrder[size_t(visual)];
            if (titles->visualIndex(logical) != visual)
                titles->moveSection(titles->visualIndex(logical), visual);
        }
        for (int logical = 0; logical < columns; ++logical)
            titles->resizeSection(logical, m_savedSizes[size_t(logical)]);
    } else {
        applyColumnWidths();
    }

    // The first row, with the indicator on it, in the column the user was in.
    if (m_model->rowCount() > 0 && columns > 0) {
        const int column = keepLayout && m_savedColumn < columns ? m_savedColumn : titles->logicalIndex(0);
        setCurrentIndex(m_model->index(0, column));
    }
    verticalScrollBar()->setValue(0);
    scrollToTop();
    verticalHeader()->viewport()->update();
}

void DBGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    // The data set's current record follows the grid's, as with any data-aware control.
    if (Query *query = m_model->query(); query != nullptr && current.isValid() && query->isActive())
        query->setCurrentRow(current.row());
    verticalHeader()->viewport()->update();
}

void DBGrid::keyboardSearch(const QString &)
{
    // Typing in the grid does nothing: it neither edits nor jumps to a matching row.
}

void DBGrid::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    switch (event->type()) {
    case QEvent::LocaleChange:
        m_model->setLocale(locale());
        break;
    case QEvent::FontChange:
    case QEvent::PaletteChange:
        applyTitleLook();
        break;
    default:
        break;
    }
}
