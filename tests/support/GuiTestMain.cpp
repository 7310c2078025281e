#include "support/Download.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    Download::initialise();
    TestEnvironment::isolateUserFolders();
    TestEnvironment::clearProxies();
    TestEnvironment::keepFeedsLocal();
    TestEnvironment::markInstallReported();
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    return TestEnvironment::finish(result);
}
