#include "support/Download.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    Download::initialise();
    TestEnvironment::isolateUserFolders();
    TestEnvironment::clearProxies();
    int result = 0;
    {
        QCoreApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    return TestEnvironment::finish(result);
}
