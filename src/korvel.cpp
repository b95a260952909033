// korvel: records how a laptop battery charges or drains during a named test.
#include "dm.h"
#include "mu.h"
#include "platform/application.h"
#include "platform/exception.h"

#include <QIcon>

int main(int argc, char *argv[])
{
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
