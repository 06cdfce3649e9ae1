#include "platform/Platform.h"
#include "support/fake/FakePlatform.h"

#include <QApplication>
#include <cstdio>
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
    int status = RUN_ALL_TESTS();
    // Under `make test` a test that skips because its environment is missing
    // fails instead: a green run must mean that the tests ran.
    const int skipped = ::testing::UnitTest::GetInstance()->skipped_test_count();
    if (skipped > 0 && qEnvironmentVariableIsSet("ZORV_NO_SKIPS")) {
        std::fprintf(stderr, "%d test(s) skipped; with ZORV_NO_SKIPS set that is a failure.\n",
                     skipped);
        status = 1;
    }
    zorv::Platform::shutDown(); // as the application does, before the X connection closes
    return status;
}
