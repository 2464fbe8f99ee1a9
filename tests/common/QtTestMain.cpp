// The entry of the widget tests: Qt without a display and without a user
// locale, so the catalogue must switch languages on its own.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (const char *name : {"LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        ::unsetenv(name);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
