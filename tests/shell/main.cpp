// The registration runs helper programs through QProcess, which wants an event loop's
// application object; no window is ever shown, so the core one does.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Lockwell");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
