#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

// gtest_discover_tests runs this binary at build time, where no display may exist, so the
// offscreen platform is the default unless the caller chose one.
int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
