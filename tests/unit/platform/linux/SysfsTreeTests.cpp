#include "platform/linux/SysfsTree.hpp"
#include "tests/unit/platform/linux/TempTree.hpp"

#include <gtest/gtest.h>

namespace ampwell::platform::linux_ {
namespace {

TEST(SysfsTree, LinksResolveInsideTheTreeAndNeverLeaveIt) {
    TempTree temp;
    auto fake = temp.sysfs();
    fake.addDirectory("devices/pci/usb1/1-1", {{"product", "iPad"}});
    fake.addLink("devices/pci/usb1/1-1", "port", "devices/pci/usb1/1-0:1.0/usb1-port1");
    std::filesystem::create_directories(temp.root() + "/bus");
    std::filesystem::create_directory_symlink("../../../../..", temp.root() + "/devices/pci/usb1/1-1/escape");
    std::filesystem::create_directory_symlink("/etc", temp.root() + "/bus/absolute");
    std::filesystem::create_directory_symlink(temp.root() + "/devices/pci", temp.root() + "/bus/inside");

    SysfsTree tree(temp.root() + "/");
    EXPECT_EQ(tree.link("devices/pci/usb1/1-1/port"), std::optional<std::string>("devices/pci/usb1/1-0:1.0/usb1-port1"));
    EXPECT_EQ(tree.link("devices/pci/usb1/1-1/escape"), std::nullopt);
    EXPECT_EQ(tree.link("bus/absolute"), std::nullopt);
    EXPECT_EQ(tree.link("bus/inside"), std::optional<std::string>("devices/pci"));
    EXPECT_EQ(tree.link("devices/pci/usb1/1-1/product"), std::nullopt);  // not a link
}

TEST(SysfsTree, AttributesLoseOneTrailingLineBreakAndMissingOnesAreAbsent) {
    TempTree temp;
    auto fake = temp.sysfs();
    fake.addDirectory("devices/d", {{"product", " Name with blanks "}, {"empty", ""}});
    fake.setAttribute("devices/d", "uevent", "A=1\nB=2\n");
    SysfsTree tree(temp.root());
    EXPECT_EQ(tree.attribute("devices/d/product"), std::optional<std::string>(" Name with blanks "));
    EXPECT_EQ(tree.attribute("devices/d/empty"), std::optional<std::string>(""));
    EXPECT_EQ(tree.attribute("devices/d/uevent"), std::optional<std::string>("A=1\nB=2"));
    EXPECT_EQ(tree.attribute("devices/d/serial"), std::nullopt);
    EXPECT_EQ(tree.list("devices"), std::vector<std::string>{"d"});
    EXPECT_TRUE(tree.list("devices/none").empty());
}

TEST(SysfsTree, ADirectoryMadeAgainHasAnotherIdentity) {
    TempTree temp;
    auto fake = temp.sysfs();
    SysfsTree tree(temp.root());
    fake.addDirectory("devices/d");
    const auto first = tree.identity("devices/d");
    ASSERT_TRUE(first);
    EXPECT_EQ(tree.identity("devices/d"), first);
    fake.removeDevice("devices/d");
    EXPECT_FALSE(tree.identity("devices/d"));
    fake.addDirectory("devices/d");
    EXPECT_NE(tree.identity("devices/d"), first);
}

TEST(SysfsTree, PathPieces) {
    EXPECT_EQ(joinPath("a/b", "c"), "a/b/c");
    EXPECT_EQ(joinPath("", "c"), "c");
    EXPECT_EQ(baseName("a/b/port3"), "port3");
    EXPECT_EQ(parentPath("a/b/port3"), "a/b");
    EXPECT_EQ(parentPath("port3"), "");
    EXPECT_TRUE(SysfsTree().isSystemTree());
}

}  // namespace
}  // namespace ampwell::platform::linux_
