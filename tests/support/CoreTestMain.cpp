#include <gtest/gtest.h>

#include <QCoreApplication>

#include "support/PostgresServer.h"
#include "support/TestEnvironment.h"

int main(int argc, char** argv) {
    tavrel::test::isolateEnvironment();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    tavrel::test::PostgresServer::stopShared();
    return status;
}
