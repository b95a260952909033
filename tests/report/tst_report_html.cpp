// The HTML page opened in headless Chromium: every chart is drawn, and a screenshot is kept for a person to see.
#include "fixture.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestReportHtml final : public QObject {
    Q_OBJECT

private slots:
    void chartsAreDrawn();

private:
    QByteArray chromium(const QStringList &args);
    QString m_browser;
};

QByteArray TestReportHtml::chromium(const QStringList &args)
{
    QTemporaryDir profile;
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(m_browser, QStringList{"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                                   "--disable-background-networking", "--disable-component-update", "--disable-sync",
                                   "--hide-scrollbars", "--user-data-dir=" + profile.path()} +
                           args);
    if (!p.waitForFinished(90'000)) {
        p.kill();
        p.waitForFinished();
        qWarning() << "chromium did not finish:" << p.readAllStandardError().right(2000);
        return {};
    }
    return p.readAllStandardOutput();
}

void TestReportHtml::chartsAreDrawn()
{
    m_browser = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (m_browser.isEmpty())
        m_browser = QStandardPaths::findExecutable(QStringLiteral("chromium-browser"));
    if (m_browser.isEmpty())
        QSKIP("chromium is not installed (scripts/install-deps.sh installs it)");

    QTemporaryDir dir;
    const QString lab1 = dir.filePath(QStringLiteral("lab1.mdb"));
    const QString lab2 = dir.filePath(QStringLiteral("lab2.mdb"));
    const QString page = dir.filePath(QStringLiteral("report.html"));
    createKnownLog(lab1);
    createLog(lab2, {{"Office", "BAT0", "2026-12-16 09:00:00.000", 0, 100, "0:00:00"},
                     {"Office", "BAT0", "2026-12-16 09:40:00.000", 1, 88, "0:40:00"},
                     {"Office", "BAT0", "2026-12-16 10:10:00.000", 0, 97, "1:10:00"},
                     {"Office", "BAT0", "2026-12-16 11:00:00.000", 0, 81, "2:00:00"}});

    QProcess report;
    report.start(QStringLiteral(KORVEL_REPORT_EXE), {"html", "-o", page, lab1, lab2});
    QVERIFY(report.waitForFinished(60'000));
    QVERIFY2(report.exitCode() == 0, report.readAllStandardError().constData());

    // 7 runs in lab1, 1 in lab2, and the comparison chart.
    const int charts = 7 + 1 + 1;
    const QByteArray dom = chromium({"--dump-dom", QUrl::fromLocalFile(page).toString()});
    QVERIFY2(!dom.isEmpty(), "chromium printed no DOM");
    const QRegularExpressionMatch done =
        QRegularExpression(QStringLiteral("id=\"charts-drawn\"[^>]*data-count=\"(\\d+)\"")).match(QString::fromUtf8(dom));
    QVERIFY2(done.hasMatch(), "the page never marked its charts as drawn (a script error?)");
    QCOMPARE(done.captured(1).toInt(), charts);
    // dygraphs draws each chart on a canvas of its own plus one for highlights.
    QCOMPARE(int(dom.count("<canvas")), 2 * charts);
    QVERIFY(dom.contains("lab2.mdb: Office / BAT0"));
    QVERIFY(dom.contains("Discharge / BAT0"));

    const QString artifacts = QStringLiteral(KORVEL_REPORT_ARTIFACTS);
    QVERIFY(QDir().mkpath(artifacts));
    const QString shot = artifacts + QStringLiteral("/report.png");
    QFile::remove(shot);
    // Virtual time lets layout and painting settle before the capture; no real waiting is involved.
    chromium({"--screenshot=" + shot, "--window-size=1200,900", "--virtual-time-budget=5000",
              QUrl::fromLocalFile(page).toString()});
    QImage image(shot);
    QVERIFY2(!image.isNull(), qPrintable(shot));
    QCOMPARE(image.size(), QSize(1200, 900));
    // Curves are coloured; a page without charts is black, white and grey only.
    int coloured = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            if (QColor(image.pixel(x, y)).hsvSaturation() > 120)
                ++coloured;
    QVERIFY2(coloured > 300, qPrintable(QString::number(coloured)));
    qInfo("screenshot: %s", qPrintable(shot));
}

QTEST_GUILESS_MAIN(TestReportHtml)
#include "tst_report_html.moc"
