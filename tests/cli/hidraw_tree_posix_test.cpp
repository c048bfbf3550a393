// treadlectl on fake hidraw trees of several foot switches, some of them broken.
#if defined(__linux__)

#include "cli/runner_fixture.h"
#include "device/hidraw_platform.h"
#include "support/fake_hidraw_tree.h"

namespace treadle::cli {
namespace {

using treadle::testing::FakeTree;
using treadle::testing::Node;

class HidrawTree : public Runner {
  protected:
    HidrawTree() {
        systemPlatform_ = [this] { return std::make_unique<HidrawPlatform>(tree_->Roots()); };
    }
    std::unique_ptr<FakeTree> tree_ = std::make_unique<FakeTree>();
};

// With three foot switches of which one's configuration interface cannot be used, --all once
// said "2 of 2 devices done" and exit 0, while list showed the third as unusable.
TEST_F(HidrawTree, AllCountsTheFootSwitchItCouldNotOpen) {
    const struct {
        const char* name;
        std::function<void(FakeTree&, int)> breakIt;
    } faults[] = {
        {"node gone", [](FakeTree& t, int n) { fs::remove(t.DevNode(n)); }},
        {"node a folder",
         [](FakeTree& t, int n) {
             fs::remove(t.DevNode(n));
             fs::create_directory(t.DevNode(n));
         }},
        {"descriptor empty",
         [](FakeTree& t, int n) {
             std::ofstream(t.Roots().sysfs + "/class/hidraw/hidraw" + std::to_string(n) + "/device/report_descriptor",
                           std::ios::trunc);
         }},
    };
    for (const auto& fault : faults) {
        tree_.reset();
        tree_ = std::make_unique<FakeTree>();
        tree_->AddFootSwitch(0);
        tree_->AddFootSwitch(3);
        tree_->AddFootSwitch(6);
        fault.breakIt(*tree_, 8);
        ASSERT_EQ(Run({"list"}), kExitOk) << fault.name;
        EXPECT_NE(out_.str().find(tree_->DevPath(8) + "\t"), std::string::npos) << fault.name << "\n" << out_.str();

        EXPECT_EQ(Run({"--all", "set", "1", "a"}), kExitFailed) << fault.name;
        EXPECT_NE(out_.str().find("2 of 3 devices done"), std::string::npos) << fault.name << ": " << out_.str();
        EXPECT_NE(err_.str().find(tree_->DevPath(8) + ": cannot open the device: "), std::string::npos)
            << fault.name << ": " << err_.str();
        EXPECT_EQ(tree_->NodeBytes(2).size(), 3u * 8u) << fault.name << ": the first was written";
        EXPECT_EQ(tree_->NodeBytes(5).size(), 3u * 8u) << fault.name << ": the second was written";
    }
}

}  // namespace
}  // namespace treadle::cli

#endif
