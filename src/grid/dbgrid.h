#pragma once

#include <QFont>
#include <QPointer>
#include <QStringList>
#include <QTableView>

#include <vector>

class DataSource;
class DBGridModel;

// The read-only log grid: whatever its data source's query holds, in the columns of its stored entries,
// with a title row and an 11-pixel indicator column marking the current record. At every notice of the
// data source (open, re-query) it shows the first row with the indicator on it; between notices the
// user's position and current cell stay. Layout changes the user makes last only while it runs.
class DBGrid final : public QTableView {
    Q_OBJECT
    // The stored settings, as the main window's form stores them.
    Q_PROPERTY(QStringList Selected READ selected WRITE setSelected)
    // A system colour name ("clBtnFace", "clWindow", ...) or any colour QColor reads.
    Q_PROPERTY(QString TitleColor READ titleColor WRITE setTitleColor)
    // Only the parts set here differ from the grid's font; face and size follow it otherwise.
    Q_PROPERTY(QFont TitleFont READ titleFont WRITE setTitleFont)
    Q_PROPERTY(Qt::Alignment TitleAlignment READ titleAlignment WRITE setTitleAlignment)
    Q_PROPERTY(int TitleLines READ titleLines WRITE setTitleLines)
    // Off: titles are plain headings that do nothing when clicked.
    Q_PROPERTY(bool TitleButtons READ titleButtons WRITE setTitleButtons)
    Q_PROPERTY(bool ShowHorzScrollBar READ showHorzScrollBar WRITE setShowHorzScrollBar)
    // Columns frozen against sideways scrolling; none is supported, the stored value is 0.
    Q_PROPERTY(int FixedCols READ fixedCols WRITE setFixedCols)
    // The data set behind the grid is a read-only view, so the grid never edits, inserts or deletes
    // whatever this says; it is kept as stored.
    Q_PROPERTY(bool ReadOnly READ isReadOnly WRITE setReadOnly)
    // Saving the layout between runs; never done.
    Q_PROPERTY(bool IniAttributesEnabled READ iniAttributesEnabled WRITE setIniAttributesEnabled)

public:
    static constexpr int indicatorWidth = 11;

    explicit DBGrid(QWidget *parent = nullptr);
    ~DBGrid() override;

    // The stored binding, "Module.Component"; it waits until that module exists.
    void setDataSourceName(const QString &path);
    DataSource *dataSource() const;
    void setDataSource(DataSource *source);

    DBGridModel *gridModel() const { return m_model; }

    QStringList selected() const { return m_selected; }
    void setSelected(const QStringList &entries);
    QString titleColor() const { return m_titleColor; }
    void setTitleColor(const QString &color);
    QFont titleFont() const { return m_titleFont; }
    void setTitleFont(const QFont &font);
    Qt::Alignment titleAlignment() const { return m_titleAlignment; }
    void setTitleAlignment(Qt::Alignment alignment);
    int titleLines() const { return m_titleLines; }
    void setTitleLines(int lines);
    bool titleButtons() const { return m_titleButtons; }
    void setTitleButtons(bool on);
    bool showHorzScrollBar() const { return m_showHorzScrollBar; }
    void setShowHorzScrollBar(bool on);
    int fixedCols() const { return m_fixedCols; }
    void setFixedCols(int count) { m_fixedCols = count; }
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool on) { m_readOnly = on; }
    bool iniAttributesEnabled() const { return false; }
    void setIniAttributesEnabled(bool) {}

    // The title font in effect: the stored parts over the grid's font.
    QFont effectiveTitleFont() const;
    // The background of the title row and the indicator column.
    QColor effectiveTitleColor() const;
    // The column widths from the stored entries and the current fonts.
    void applyColumnWidths();

    void keyboardSearch(const QString &search) override;

protected:
    void changeEvent(QEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void saveLayout();
    void followView();
    void applyTitleLook();

    DBGridModel *m_model = nullptr;
    QStringList m_selected;
    QString m_titleColor = QStringLiteral("clBtnFace");
    QFont m_titleFont;
    Qt::Alignment m_titleAlignment = Qt::AlignLeft;
    int m_titleLines = 1;
    bool m_titleButtons = false;
    bool m_showHorzScrollBar = true;
    int m_fixedCols = 0;
    bool m_readOnly = true;

    // The user's column widths and order, kept across a re-query.
    std::vector<int> m_savedSizes;
    std::vector<int> m_savedOrder; // logical index at each visual position
    int m_savedColumn = 0;
};
