// korvel: records how a laptop battery charges or drains during a named test.
#include "dm.h"
#include "mu.h"
#include "platform/application.h"
#include "platform/exception.h"

#include <QIcon>

int main(int argc, char *argv[])
{
    // With X shared-memory images every repaint (the elapsed time, once a second) ends in a round trip
    // to the X server before the next paint: a wake-up and two context switches a second for a 3 KB
    // image. Plain image requests cost no more here and need no reply.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    Application application(argc, argv);
    // The classic look the window's layout was drawn for.
    Application::setStyle(QStringLiteral("Windows"));
    Application::setWindowIcon(QIcon(QStringLiteral(":/korvel.png")));
    try {
        application.setTitle(QStringLiteral("Varnholt Pellomir"));
        application.createForm(Form1);
        application.createForm(DataModule2);
    } catch (const Exception &error) {
        application.showStartupFailure(error);
        application.destroyOwned();
        return 1;
    } catch (const std::exception &error) {
        application.showStartupFailure(EComponentError(QString::fromLocal8Bit(error.what())));
        application.destroyOwned();
        return 1;
    }
    return application.run();
}
