// Recognising a device that looks like the instrument, what the operator is told about
// one that could not be opened, and the udev rule that grants access to it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/usb_access.h"

namespace kantrel {
namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(UsbIds, ListFromTheEnvironmentVariable) {
    struct Case {
        std::string text;
        std::vector<UsbId> ids;
    } cases[] = {
        {"1234:5678,abcd:0001", {{0x1234, 0x5678}, {0xABCD, 0x0001}}},
        {" 1234:5678 , ABCD:1 ", {{0x1234, 0x5678}, {0xABCD, 0x0001}}},
        {"1234", {}},
        {"xyz:1,1:2", {{0x0001, 0x0002}}},
        {"12345:1", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseUsbIds(c.text), c.ids);
    }
}

TEST(UsbIds, OneIdAndItsText) {
    struct Case {
        std::string text;
        std::optional<UsbId> id;
        std::string formatted;
    } cases[] = {
        {"1234:5678", UsbId{0x1234, 0x5678}, "1234:5678"},
        {"ABCD:1", UsbId{0xABCD, 0x0001}, "abcd:0001"},
        {"0:0", UsbId{0, 0}, "0000:0000"},
        {"1234:5678,abcd:0001", std::nullopt, ""},
        {"1234", std::nullopt, ""},
        {"1234:", std::nullopt, ""},
        {":5678", std::nullopt, ""},
        {"12345:1", std::nullopt, ""},
        {"1234:567g", std::nullopt, ""},
        {" 1234:5678", std::nullopt, ""},
        {"", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto id = ParseUsbId(c.text);
        EXPECT_EQ(id, c.id);
        if (id) {
            EXPECT_EQ(FormatUsbId(*id), c.formatted);
        }
    }
}

TEST(InstrumentLayout, BulkOutAndBulkInAtIndexOneAndTwo) {
    using P = PipeInfo;
    const auto bulk = PipeType::Bulk, interrupt = PipeType::Interrupt;
    struct Case {
        const char* layout;
        std::vector<PipeInfo> pipes;
        bool instrument;
    } cases[] = {
        {"OUT, IN, IN", {P{bulk, 0x01, 0}, P{bulk, 0x81, 1}, P{bulk, 0x82, 2}}, true},
        {"IN at 0, IN, IN, OUT at 3",
         {P{bulk, 0x83, 0}, P{bulk, 0x81, 1}, P{bulk, 0x82, 2}, P{bulk, 0x02, 3}},
         true},
        {"interrupt IN beside",
         {P{bulk, 0x01, 0}, P{bulk, 0x81, 1}, P{bulk, 0x82, 2}, P{interrupt, 0x83, 3}},
         true},
        {"no bulk OUT", {P{bulk, 0x83, 0}, P{bulk, 0x81, 1}, P{bulk, 0x82, 2}}, false},
        {"OUT at index 2", {P{bulk, 0x81, 0}, P{bulk, 0x82, 1}, P{bulk, 0x01, 2}}, false},
        {"interrupt at index 2", {P{bulk, 0x01, 0}, P{bulk, 0x81, 1}, P{interrupt, 0x82, 2}}, false},
        {"only two endpoints", {P{bulk, 0x01, 0}, P{bulk, 0x81, 1}}, false},
        {"no endpoints", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        EXPECT_EQ(HasInstrumentLayout(c.pipes), c.instrument);
    }
}

TEST(UnopenedDevicesHint, NamesEachDeviceAndTheFix) {
    const UnopenedDevice noPermission{
        1, 2, {0x1234, 0x00ab}, true, "Access denied (insufficient permissions)"};
    const UnopenedDevice samePair{3, 17, {0x1234, 0x00ab}, true, ""};
    const UnopenedDevice busy{1, 5, {0xabcd, 0x0001}, false, "Resource busy"};
    const std::string command = "sudo kantrel731 --udev-rule 1234:00ab --install";
    struct Case {
        const char* situation;
        std::vector<UnopenedDevice> devices;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    } cases[] = {
        {"none", {}, {}, {"Tensolog"}},
        {"one without permission",
         {noPermission},
         {"A USB device that looks like the Tensolog", "bus 001, address 002, ID 1234:00ab", "no permission",
          command + "\n", "start the program again"},
         {"another program", "Access denied"}},
        {"one that fails otherwise",
         {busy},
         {"bus 001, address 005, ID abcd:0001 (Resource busy)", "unplug the instrument"},
         {"--udev-rule"}},
        {"two of one kind and one busy",
         {noPermission, samePair, busy},
         {"USB devices that look like the Tensolog were found", "bus 001, address 002",
          "bus 003, address 017", "bus 001, address 005", command, "unplug the instrument"},
         {"--udev-rule abcd:0001"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        const std::string hint = UnopenedDevicesHint(c.devices, "kantrel731");
        EXPECT_EQ(hint.empty(), c.devices.empty());
        for (const std::string& part : c.present)
            EXPECT_TRUE(Contains(hint, part)) << part << " in\n" << hint;
        for (const std::string& part : c.absent)
            EXPECT_FALSE(Contains(hint, part)) << part << " in\n" << hint;
    }
    // One command per device type, however many such devices are plugged in.
    const std::string twice = UnopenedDevicesHint(std::vector{noPermission, samePair}, "kantrel731");
    EXPECT_EQ(twice.find(command), twice.rfind(command));
}

TEST(UdevRuleProgram, BareNameOnRootsPathElseFullPath) {
    struct Case {
        std::string executable;
        std::string command;
    } cases[] = {
        {"/usr/bin/kantrel731", "kantrel731"},
        {"/usr/local/bin/kantrel731-record", "kantrel731"},
        {"/opt/kantrel/bin/kantrel731", "/opt/kantrel/bin/kantrel731"},
        {"/home/ann/Kantrel 731/bin/kantrel731", "'/home/ann/Kantrel 731/bin/kantrel731'"},
        {"/home/ann's/bin/kantrel731", "'/home/ann'\\''s/bin/kantrel731'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.executable);
        EXPECT_EQ(UdevRuleProgram(c.executable), c.command);
    }
}

TEST(UdevRule, GrantsTheSeatUserTheDeviceWithThatId) {
    const std::string rule = UdevRuleText({0x1234, 0x00AB});
    // udev compares the sysfs attributes as text: four lower-case hex digits.
    EXPECT_TRUE(Contains(rule, "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"1234\", "
                               "ATTR{idProduct}==\"00ab\", TAG+=\"uaccess\"\n"));
    // Every other line is a comment.
    std::size_t lines = 0, comments = 0;
    for (std::size_t at = 0; at < rule.size(); at = rule.find('\n', at) + 1) {
        ++lines;
        comments += rule[at] == '#';
    }
    EXPECT_EQ(comments, lines - 1);
    EXPECT_EQ(rule.back(), '\n');
    EXPECT_TRUE(Contains(rule, "/etc/udev/rules.d/70-kantrel731-1234-00ab.rules"));

    // Read before 73-seat-late.rules, which acts on the "uaccess" tag.
    const std::string name = UdevRuleFileName({0x1234, 0x00AB});
    EXPECT_EQ(name, "70-kantrel731-1234-00ab.rules");
    EXPECT_LT(name, "73-seat-late.rules");
}

} // namespace
} // namespace kantrel
