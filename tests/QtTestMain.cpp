// Qt tests run on the offscreen platform under one QApplication.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Q_INIT_RESOURCE(lockwell);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Lockwell");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
