#include <gtest/gtest.h>

#include "SetupDriver.h"
#include "support/InstallSupport.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

class SetupDriverTest : public ::testing::Test {
protected:
    void SetUp() override { ResetProductKey(); }
    void TearDown() override { ResetProductKey(); }
};

} // namespace

TEST_F(SetupDriverTest, CancelAnsweredYesEndsTheSetup)
{
    e2e::SetupDriver driver;
    ASSERT_TRUE(driver.Start(BuildPath("setup.exe")));
    EXPECT_EQ(e2e::WindowText(driver.MainWindow()), "Setup - ZAV");
    EXPECT_TRUE(driver.IsVisible(e2e::classes::Welcome));

    ASSERT_TRUE(PostMessageA(driver.MainWindow(), WM_COMMAND, MAKEWPARAM(e2e::ids::Cancel, BN_CLICKED), 0));
    e2e::MessageBoxInfo box;
    ASSERT_EQ(driver.WaitForMessageBoxOrExit(10000, box), e2e::WaitResult::MessageBox);
    EXPECT_EQ(box.caption, "Exit Setup");
    EXPECT_EQ(box.text, "Setup is not complete. If you quit the program will not be installed\n\nExit setup?");
    EXPECT_EQ(box.owner, driver.MainWindow());
    EXPECT_TRUE(box.hasIcon);
    ASSERT_TRUE(driver.Answer(box, IDYES));
    DWORD code = 1;
    ASSERT_TRUE(driver.WaitForExit(10000, &code));
    EXPECT_EQ(code, 0u);
}
