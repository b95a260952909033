#pragma once

#include "platform/clock.h"
#include "platform/timeformat.h"

#include <QWidget>

#include <memory>

class Clock;
class DBGrid;
class PowerSource;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Timer;

namespace Ui {
class TForm1;
}

// The test-run values: when the running test started, and the percentage of its last log record
// (0 right after Start and End).
extern TDateTime TestStartedAt;
extern qint32 LastLoggedPercent;

// The main window: test details, elapsed time, Start/End and Clear Data, and the log grid.
class TForm1 final : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Where samples come from; the system's by default. Tests put fakes here.
    void setPowerSource(std::unique_ptr<PowerSource> source);
    void setClock(std::unique_ptr<Clock> clock);
    void setTimeFormat(const TimeFormat &format) { m_timeFormat = format; }
    const TimeFormat &timeFormat() const { return m_timeFormat; }

    // Start/End toggle of a test run.
    void Button1Click(QObject *sender);
    // Clear Data: empty the log, then refresh the view.
    void Button2Click(QObject *sender);
    // One sample: elapsed time into Label3 and, when the percentage changed, one log record.
    void Timer1Timer(QObject *sender);

    QGroupBox *GroupBox1;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLineEdit *Edit1;
    QLineEdit *Edit2;
    QPushButton *Button1;
    QPushButton *Button2;
    DBGrid *wwDBGrid1;
    Timer *Timer1;

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void applyStoredFonts();

    std::unique_ptr<Ui::TForm1> m_ui;
    std::unique_ptr<PowerSource> m_power;
    std::unique_ptr<Clock> m_clock;
    TimeFormat m_timeFormat;
    bool m_shown = false;
};

extern TForm1 *Form1;
