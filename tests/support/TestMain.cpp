#include "platform/Platform.h"
#include "support/fake/FakePlatform.h"

#include <QApplication>
#include <gtest/gtest.h>

// Every test program runs inside a QApplication so that widgets, fonts, the
// clipboard and queued signals behave as in the application.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("ZorvTests"));
    QApplication::setApplicationName(QStringLiteral("ZorvTests"));
    // Unit tests run on synthetic screens; desktop tests load the real backend.
    if (qgetenv("ZORV_PLATFORM") == "fake")
        zorv::Platform::install(std::make_unique<zorv::FakePlatform>());
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    zorv::Platform::shutDown(); // as the application does, before the X connection closes
    return status;
}
