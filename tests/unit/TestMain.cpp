#include "config/Policy.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The machine's own policy never reaches a test; those about the policy name their file.
    gPolicyFile = QStringLiteral("/nonexistent/velmar-unit-tests/policy.ini");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
