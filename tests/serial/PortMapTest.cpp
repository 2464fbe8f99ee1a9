// The port map file and port discovery over a sysfs tree built in a
// temporary folder, plus map entries that point at real pseudo-terminals.
#include "serial/PortMap.h"
#include "PtyPair.h"
#include "serial/ComSetupApi.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace lumex;
using testsupport::PtyPair;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path &p)
{
    std::ifstream in(p);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const fs::path &p, const std::string &text)
{
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
}

// A fake machine: <root>/sys, <root>/dev and <root>/config/ports.ini.
class FakeMachine : public testing::Test
{
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("serial-portmap-" + std::to_string(::getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "sys" / "class" / "tty");
        fs::create_directories(root / "dev");
        mapPath = (root / "config" / "ports.ini").string();
    }
    void TearDown() override { fs::remove_all(root); }

    TSysfsRoots Roots() const { return {(root / "sys").string(), (root / "dev").string()}; }
    TPortEnumerator Enumerator() const { return TPortEnumerator(mapPath, Roots()); }

    // A USB-serial cable: USB device with a product text, an interface, and
    // the tty below it; optionally a by-id link in /dev/serial/by-id.
    void AddUsbTty(const std::string &name, const std::string &product, const std::string &byId = {})
    {
        const fs::path usb = root / "sys" / "devices" / "usb1" / ("1-" + name);
        WriteFile(usb / "idVendor", "0403\n");
        if (!product.empty())
            WriteFile(usb / "product", product + "\n");
        const fs::path port = usb / "1-1:1.0" / name;
        fs::create_directories(port);
        AddClassEntry(name, port);
        if (!byId.empty()) {
            fs::create_directories(root / "dev" / "serial" / "by-id");
            fs::create_directory_symlink("../../" + name, root / "dev" / "serial" / "by-id" / byId);
        }
    }

    // An on-board UART; `type` 0 is an empty 8250 slot.
    void AddUart(const std::string &name, const std::string &type)
    {
        const fs::path dev = root / "sys" / "devices" / "platform" / "serial8250";
        fs::create_directories(dev);
        AddClassEntry(name, dev, type);
    }

    void AddClassEntry(const std::string &name, const fs::path &device, const std::string &type = {})
    {
        const fs::path tty = root / "sys" / "devices" / "virtual-ttys" / name;
        fs::create_directories(tty);
        fs::create_directory_symlink(device, tty / "device");
        if (!type.empty())
            WriteFile(tty / "type", type + "\n");
        fs::create_directory_symlink(tty, root / "sys" / "class" / "tty" / name);
        WriteFile(root / "dev" / name, ""); // stands in for the device node
    }

    fs::path root;
    std::string mapPath;
};

} // namespace

TEST(PortMapFile, ParsesEntriesAndReportsBadLines)
{
    const auto r =
        ParsePortMap("\xEF\xBB\xBF; comment\n[Other]\nCOM1=/dev/ignored\n[ports]\r\n"
                     "COM3 = /dev/serial/by-id/usb-A \r\ncom10=/dev/ttyUSB1\nCOM0=/dev/x\nCOM256=/dev/x\n"
                     "COMx=/dev/x\nCOM4=relative\nCOM5=\nnoequals\nCOM3=/dev/again\nCOM6=/dev/ttyUSB1\n[bad\n");
    EXPECT_EQ(r.Entries, (std::map<int, std::string>{{3, "/dev/serial/by-id/usb-A"}, {10, "/dev/ttyUSB1"}}));
    ASSERT_EQ(r.Problems.size(), 9u);
    EXPECT_EQ(r.Problems.front(), "line 7: key is not COM1 to COM255");
    EXPECT_EQ(r.Problems.back(), "line 15: unclosed section header");
}

TEST(PortMapFile, SavesAtomicallyAndLoadsBack)
{
    const fs::path dir = fs::temp_directory_path() / ("serial-mapfile-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    const std::string path = (dir / "nested" / "ports.ini").string();
    TPortMap map(path);
    ASSERT_TRUE(map.Load()); // missing file = empty map
    EXPECT_TRUE(map.Entries().empty());
    map.Set(3, "/dev/serial/by-id/usb-A");
    map.Set(12, "/dev/ttyACM0");
    ASSERT_TRUE(map.Save());
    EXPECT_EQ(ReadFile(path), "[Ports]\nCOM3=/dev/serial/by-id/usb-A\nCOM12=/dev/ttyACM0\n");
    // Only the map is left in the folder: no temporary files.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "nested"), fs::directory_iterator()), 1);

    TPortMap again(path);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.Entries(), map.Entries());
    EXPECT_FALSE(again.Changed());
    // A device gets one number: setting its path elsewhere moves it.
    again.Set(4, "/dev/ttyACM0");
    EXPECT_EQ(again.Entries(), (std::map<int, std::string>{{3, "/dev/serial/by-id/usb-A"}, {4, "/dev/ttyACM0"}}));
    EXPECT_TRUE(again.Changed());
    fs::remove_all(dir);
}

TEST(PortMapFile, AssignsUartNumbersThenLowestFreeFromThree)
{
    TPortMap map("/nonexistent/ports.ini");
    EXPECT_EQ(map.Assign("/dev/ttyS0", 0), 1);
    EXPECT_EQ(map.Assign("/dev/usb-a"), 3);
    EXPECT_EQ(map.Assign("/dev/ttyS2", 2), 4); // COM3 is taken
    EXPECT_EQ(map.Assign("/dev/usb-b"), 5);
    EXPECT_EQ(map.Assign("/dev/usb-a"), 3); // known devices keep theirs
    EXPECT_EQ(map.Assign("/dev/ttyS1", 1), 2);
    for (int n = 6; n <= 255; ++n)
        map.Set(n, "/dev/filler" + std::to_string(n));
    EXPECT_EQ(map.Assign("/dev/one-too-many"), 0);
}

TEST(PortNames, NumberAndNumericSort)
{
    EXPECT_EQ(PortNumberOfName("COM12"), 12);
    EXPECT_EQ(PortNumberOfName("COM"), 0);
    EXPECT_EQ(PortNumberOfName("COMx"), 0);
    std::vector<std::string> names{"COM10", "COM9", "COM1", "COM100", "COM3"};
    SortPortNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"COM1", "COM3", "COM9", "COM10", "COM100"}));
}

TEST_F(FakeMachine, FirstSeenDevicesAreNumberedAndKeepTheirNumbers)
{
    AddUart("ttyS0", "4");
    AddUart("ttyS1", "0"); // empty slot
    AddUsbTty("ttyUSB0", "USB-Serial Controller", "usb-Maker_Cable_A1-if00-port0");
    AddUsbTty("ttyACM0", "");

    auto ports = Enumerator().Enumerate();
    ASSERT_EQ(ports.size(), 3u);
    // Kernel-name order: ttyACM0, ttyS0, ttyUSB0.
    EXPECT_EQ(ports[0].Name, "COM3");
    EXPECT_EQ(ports[0].FriendlyName, "USB Serial Port (COM3)");
    EXPECT_EQ(ports[0].DevicePath, (root / "dev" / "ttyACM0").string());
    EXPECT_EQ(ports[1].Name, "COM1"); // ttyS0, numbered before the USB devices
    EXPECT_EQ(ports[1].FriendlyName, "Serial Port (COM1)");
    EXPECT_EQ(ports[1].DevicePath, (root / "dev" / "ttyS0").string());
    EXPECT_EQ(ports[2].Name, "COM4");
    EXPECT_EQ(ports[2].FriendlyName, "USB-Serial Controller (COM4)");
    const std::string byId = (root / "dev" / "serial" / "by-id" / "usb-Maker_Cable_A1-if00-port0").string();
    EXPECT_EQ(ports[2].DevicePath, byId);
    EXPECT_EQ(ReadFile(mapPath), "[Ports]\nCOM1=" + (root / "dev" / "ttyS0").string() +
                                     "\nCOM3=" + (root / "dev" / "ttyACM0").string() + "\nCOM4=" + byId + "\n");

    // The cable comes back as ttyUSB1 after a reboot: same by-id, same COM4.
    fs::remove_all(root / "sys");
    fs::remove_all(root / "dev");
    fs::create_directories(root / "sys" / "class" / "tty");
    AddUsbTty("ttyUSB1", "USB-Serial Controller", "usb-Maker_Cable_A1-if00-port0");
    ports = Enumerator().Enumerate();
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].Name, "COM4");
    EXPECT_EQ(ports[0].DevicePath, byId);

    // A second cable gets the lowest number no device holds, not COM3.
    AddUsbTty("ttyUSB0", "Other Cable", "usb-Other_B2-if00-port0");
    ports = Enumerator().Enumerate();
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].Name, "COM5");
    EXPECT_EQ(ports[0].FriendlyName, "Other Cable (COM5)");
}

TEST_F(FakeMachine, HandWrittenEntryForADeviceNodeIsKept)
{
    AddUsbTty("ttyUSB0", "Cable");
    WriteFile(mapPath, "[Ports]\nCOM7=" + (root / "dev" / "ttyUSB0").string() + "\n");
    const auto ports = Enumerator().Enumerate();
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].Name, "COM7");
}

TEST_F(FakeMachine, MapEntriesPointingAtPtysAreListedInNumericOrder)
{
    PtyPair nine, ten;
    const std::string link9 = nine.Link((root / "link9").string());
    const std::string link10 = ten.Link((root / "link10").string());
    WriteFile(mapPath, "[Ports]\nCOM10=" + link10 + "\nCOM9=" + link9 + "\nCOM8=" + (root / "gone").string() + "\n");

    std::vector<std::string> names, friendly;
    Enumerator().ListPorts(names, &friendly);
    EXPECT_EQ(names, (std::vector<std::string>{"COM9", "COM10"}));
    EXPECT_EQ(friendly, (std::vector<std::string>{"Serial Port (COM9)", "Serial Port (COM10)"}));

    // Without friendly names the list is sorted by number.
    AddUart("ttyS11", "4"); // would be COM12, listed first in device order
    Enumerator().ListPorts(names, &friendly);
    EXPECT_EQ(names, (std::vector<std::string>{"COM12", "COM9", "COM10"}));
    Enumerator().ListPorts(names, nullptr);
    EXPECT_EQ(names, (std::vector<std::string>{"COM9", "COM10", "COM12"}));
}

TEST_F(FakeMachine, NothingFoundGivesEmptyLists)
{
    std::vector<std::string> names{"stale"}, friendly{"stale"};
    Enumerator().ListPorts(names, &friendly);
    EXPECT_TRUE(names.empty());
    EXPECT_TRUE(friendly.empty());
    EXPECT_FALSE(fs::exists(mapPath)); // nothing new, nothing written
}
