#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every message box of the program goes through here, so tests can answer boxes in advance and every
// box also leaves one line on standard error (useful when nobody is watching the screen).
class MessageBox final {
public:
    MessageBox() = delete;

    // A modal box with the stop icon and one OK button. Echoes "caption: text" to standard error first.
    // Without a GUI application object only the echo happens.
    static void showError(QWidget *owner, const QString &caption, const QString &text);

    // Tests: when a handler is set, boxes call it instead of opening (still echoed to stderr).
    using Handler = std::function<void(const QString &caption, const QString &text)>;
    static void setHandler(Handler handler); // empty handler restores real boxes

    // The stderr line for a box, without the line break: "<application>: caption: text", with the
    // text's line breaks and other control characters turned into spaces or escapes.
    static QString echoLine(const QString &caption, const QString &text);
    // Writes echoLine() and a line break to standard error.
    static void echo(const QString &caption, const QString &text);
};
