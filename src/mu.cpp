#include "mu.h"

#include "ui_mu.h"

#include "data/command.h"
#include "data/field.h"
#include "data/query.h"
#include "data/table.h"
#include "dm.h"
#include "grid/dbgrid.h"
#include "platform/modules.h"
#include "platform/powerstatus.h"
#include "platform/timer.h"

#include <QEvent>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>

TForm1 *Form1 = nullptr;
TDateTime TestStartedAt = 0;
qint32 LastLoggedPercent = 0;

namespace {

// The window's font, 8 pt at 96 pixels per inch, for which its layout was drawn.
constexpr int storedTextHeight = 13;
const char windowFontFamily[] = "MS Sans Serif";

// Wine ships a TrueType "MS Sans Serif" outside fontconfig's path; use it when it is there.
QString windowFontFamilyAvailable()
{
    static const QString family = [] {
        const char *candidates[] = {"/usr/share/wine/fonts/ms_sans_serif.ttf", "/usr/share/fonts/wine/ms_sans_serif.ttf"};
        for (const char *path : candidates) {
            if (!QFile::exists(QString::fromLatin1(path)))
                continue;
            const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(path));
            const QStringList families = QFontDatabase::applicationFontFamilies(id);
            if (!families.isEmpty())
                return families.first();
        }
        return QString();
    }();
    return family;
}

// A stored font height is the character height (8 pt: 11 pixels); the Wine font's bitmap strikes are
// named by their cell height, which adds the internal leading (8 pt: 13, 12 pt: 20).
QFont storedFont(int characterHeight, bool bold)
{
    // On Windows the family is a system font; elsewhere Wine's copy may be there.
    const QString loaded = windowFontFamilyAvailable();
    const QString family = loaded.isEmpty() ? QString::fromLatin1(windowFontFamily) : loaded;
    if (QFontInfo(QFont(family)).family() == family) {
        QFont font(family);
        const int pixels = loaded.isEmpty() ? characterHeight : qRound(characterHeight * 1.2);
        font.setPixelSize(pixels);
        font.setBold(bold);
        // Qt offers only some of the strikes; a size it lacks takes the system's sans instead.
        if (QFontInfo(font).pixelSize() == pixels)
            return font;
    }
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(characterHeight);
    font.setBold(bold);
    return font;
}

} // namespace

TForm1::TForm1(QWidget *parent) : QWidget(parent), m_ui(std::make_unique<Ui::TForm1>())
{
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("Form1"));
    ModuleRegistry::instance().addWindow(this);
    GroupBox1 = m_ui->GroupBox1;
    Label1 = m_ui->Label1;
    Label2 = m_ui->Label2;
    Label3 = m_ui->Label3;
    Edit1 = m_ui->Edit1;
    Edit2 = m_ui->Edit2;
    Button1 = m_ui->Button1;
    Button2 = m_ui->Button2;
    wwDBGrid1 = m_ui->wwDBGrid1;
    // The elapsed time changes every second of a test: an opaque label repaints alone, without the
    // group box (frame and title text) behind it.
    Label3->setAutoFillBackground(true);

    Timer1 = new Timer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setEnabled(false);
    Timer1->setInterval(125);
    Timer1->onTimer = [this] { Timer1Timer(Timer1); };

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(Button1); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(Button2); });

    wwDBGrid1->setDataSourceName(QStringLiteral("DataModule2.DData"));

    applyStoredFonts();

    m_power = makeSystemPowerSource();
    m_clock = std::make_unique<SystemClock>();
    m_timeFormat = TimeFormat::fromLocale(QLocale());
}

TForm1::~TForm1()
{
    ModuleRegistry::instance().remove(this);
}

void TForm1::applyStoredFonts()
{
    setFont(storedFont(11, false));
    Label3->setFont(storedFont(16, true));

    // The layout was drawn for a text height of 13 pixels; another font scales it so no text is cut.
    const int height = QFontMetrics(font()).height();
    if (height != storedTextHeight && height > 0) {
        const double ratio = double(height) / storedTextHeight;
        const auto scaled = [ratio](const QRect &r) {
            return QRect(qRound(r.x() * ratio), qRound(r.y() * ratio), qRound(r.width() * ratio),
                         qRound(r.height() * ratio));
        };
        for (QWidget *child : findChildren<QWidget *>())
            child->setGeometry(scaled(child->geometry()));
        resize(scaled(QRect(QPoint(), size())).size());
        m_ui->client->move(1, 1);
    }
    // A single fixed frame: the window can't be resized by dragging its edges.
    setFixedSize(size());
}

void TForm1::setPowerSource(std::unique_ptr<PowerSource> source)
{
    m_power = std::move(source);
}

void TForm1::setClock(std::unique_ptr<Clock> clock)
{
    m_clock = std::move(clock);
}

void TForm1::Button1Click(QObject *)
{
    if (Timer1->isEnabled()) {
        Timer1->setEnabled(false);
        LastLoggedPercent = 0;
        Button1->setText(QStringLiteral("Start Test"));
        return;
    }
    Timer1->setEnabled(true);
    Button1->setText(QStringLiteral("End Test"));
    TestStartedAt = m_clock->now();
    LastLoggedPercent = 0;
}

void TForm1::Button2Click(QObject *)
{
    DataModule2->ADOCommand1->execute();
    DataModule2->ADODataSet1->requery();
}

void TForm1::Timer1Timer(QObject *)
{
    PowerStatus status;
    m_power->read(status);

    const QString elapsed = elapsedText(m_clock->now() - TestStartedAt, m_timeFormat);
    if (elapsed != Label3->text())
        Label3->setText(elapsed);

    const qint32 percent = status.batteryLifePercent;
    if (percent == LastLoggedPercent)
        return;
    // Noted before the write, so a reading whose write fails is not tried again.
    LastLoggedPercent = percent;

    Table *table = DataModule2->Tdata;
    table->insert();
    table->fieldByName(u"ttime")->setAsDateTime(m_clock->now());
    table->fieldByName(u"tac")->setAsBoolean(status.acLineStatus != 0);
    table->fieldByName(u"tperc")->setAsInteger(percent);
    table->fieldByName(u"ttest")->setAsString(Edit2->text());
    table->fieldByName(u"tbat")->setAsString(Edit1->text());
    table->fieldByName(u"telap")->setAsString(Label3->text());
    table->post();
}

void TForm1::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LocaleChange)
        m_timeFormat = TimeFormat::fromLocale(QLocale());
    QWidget::changeEvent(event);
}

void TForm1::showEvent(QShowEvent *event)
{
    // Centred on the primary screen when first shown; afterwards it stays where the user puts it.
    if (!m_shown) {
        m_shown = true;
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            const QSize outer = frameGeometry().size().expandedTo(size());
            move(area.x() + qMax(0, (area.width() - outer.width()) / 2),
                 area.y() + qMax(0, (area.height() - outer.height()) / 2));
        }
    }
    QWidget::showEvent(event);
}
