#include "platform/Platform.h"

#include <QApplication>
#include <gtest/gtest.h>

// Every test program runs inside a QApplication so that widgets, fonts, the
// clipboard and queued signals behave as in the application.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("ZorvTests"));
    QApplication::setApplicationName(QStringLiteral("ZorvTests"));
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    zorv::Platform::shutDown(); // as the application does, before the X connection closes
    return status;
}
