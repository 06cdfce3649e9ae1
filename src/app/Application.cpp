#include "app/Application.h"

#include <QApplication>

namespace zorv {

int runApplication(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return 0;
}

} // namespace zorv
