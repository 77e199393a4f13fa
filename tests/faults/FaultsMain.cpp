// Entry point of the catalogue fault tests: a mount namespace of their own,
// made before any thread starts so that every thread of the program lives in
// it, then one QApplication (offscreen) for all the tests. The file systems
// the tests mount (a small one to fill up, read-only views) are seen by this
// process alone and vanish with it.
#include "FaultsSupport.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>

namespace {

bool isolated = false;

} // namespace

bool mountsAllowed()
{
    return isolated;
}

int main(int argc, char* argv[])
{
    isolated = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
