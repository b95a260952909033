#include "platform/messagebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include <cstdio>
#include <utility>

namespace {

MessageBox::Handler &handlerSlot()
{
    static MessageBox::Handler handler;
    return handler;
}

// One line for the log: a run of CR/LF (or a Unicode line/paragraph separator) becomes one space,
// other control characters become \xNN, and trailing breaks are dropped.
QString oneLine(const QString &text)
{
    QString line;
    line.reserve(text.size());
    bool inBreak = false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\r' || u == u'\n' || u == QChar::LineSeparator || u == QChar::ParagraphSeparator) {
            inBreak = true;
            continue;
        }
        if (inBreak) {
            line += QLatin1Char(' ');
            inBreak = false;
        }
        if (u == u'\t')
            line += QLatin1Char(' ');
        else if (u < 0x20 || u == 0x7F)
            line += QStringLiteral("\\x%1").arg(unsigned(u), 2, 16, QLatin1Char('0'));
        else
            line += c;
    }
    return line;
}

} // namespace

void MessageBox::setHandler(Handler handler)
{
    handlerSlot() = std::move(handler);
}

QString MessageBox::echoLine(const QString &caption, const QString &text)
{
    QString app = QCoreApplication::instance() ? QCoreApplication::applicationName() : QString();
    if (app.isEmpty())
        app = QStringLiteral("korvel");
    QString line = oneLine(app) + QLatin1String(": ");
    if (!caption.isEmpty())
        line += oneLine(caption) + QLatin1String(": ");
    return line + oneLine(text);
}

void MessageBox::echo(const QString &caption, const QString &text)
{
    const QByteArray line = echoLine(caption, text).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

void MessageBox::showError(QWidget *owner, const QString &caption, const QString &text)
{
    echo(caption, text);

    // A copy, so a handler that replaces itself keeps running safely.
    const Handler handler = handlerSlot();
    if (handler) {
        handler(caption, text);
        return;
    }
    if (qobject_cast<QApplication *>(QCoreApplication::instance()) == nullptr)
        return;

    // On the heap and guarded: if the owner goes away while the box is open it deletes the box with it.
    QPointer<QMessageBox> box = new QMessageBox(QMessageBox::Critical, caption, QString(), QMessageBox::Ok, owner);
    // Messages quote user data ("Field '<x>'"); never let them be read as HTML.
    box->setTextFormat(Qt::PlainText);
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    box->setText(shown);
    box->exec();
    delete box.data();
}
