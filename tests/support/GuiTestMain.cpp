#include <gtest/gtest.h>

#include <QApplication>

#include "support/PostgresServer.h"
#include "support/TestEnvironment.h"

int main(int argc, char** argv) {
    tavrel::test::isolateEnvironment();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    tavrel::test::PostgresServer::stopShared();
    return status;
}
