#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ms_os_descriptors.h"

namespace kantrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kGuid = "{D76DB6D7-355B-4BEA-85C5-DFDB5E33D106}";

void Put16(Bytes& b, std::size_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::size_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
// UTF-16LE with a terminating zero; each "|" becomes a zero character (a string list).
Bytes Utf16(const std::string& text) {
    Bytes b;
    for (char c : text)
        Put16(b, c == '|' ? 0 : static_cast<unsigned char>(c));
    Put16(b, 0);
    return b;
}
void Append(Bytes& b, const Bytes& more) {
    b.insert(b.end(), more.begin(), more.end());
}

// MS OS 2.0 pieces.
Bytes RegistryProperty(const std::string& name, const std::string& data, std::uint16_t type = 7) {
    const Bytes n = Utf16(name), d = Utf16(data);
    Bytes b;
    Put16(b, 10 + n.size() + d.size());
    Put16(b, 0x04);
    Put16(b, type);
    Put16(b, n.size());
    Append(b, n);
    Put16(b, d.size());
    Append(b, d);
    return b;
}
Bytes CompatibleIdWinUsb() {
    Bytes b;
    Put16(b, 20);
    Put16(b, 0x03);
    for (char c : std::string("WINUSB\0\0", 8))
        b.push_back(static_cast<std::uint8_t>(c));
    b.resize(20, 0);
    return b;
}
Bytes FunctionSubset(std::uint8_t firstInterface, const Bytes& features) {
    Bytes b;
    Put16(b, 8);
    Put16(b, 0x02);
    b.push_back(firstInterface);
    b.push_back(0);
    Put16(b, 8 + features.size());
    Append(b, features);
    return b;
}
Bytes DescriptorSet(const Bytes& body) {
    Bytes b;
    Put16(b, 10);
    Put16(b, 0x00);
    Put32(b, 0x06030000); // Windows 8.1
    Put16(b, 10 + body.size());
    Append(b, body);
    return b;
}
Bytes Bos(std::uint8_t vendorCode, std::uint16_t setLength, bool msOs = true) {
    Bytes cap = {28, 0x10, 0x05, 0x00};
    const Bytes uuid = msOs ? Bytes{0xDF, 0x60, 0xDD, 0xD8, 0x89, 0x45, 0xC7, 0x4C,
                                    0x9C, 0xD2, 0x65, 0x9D, 0x9E, 0x64, 0x8A, 0x9F}
                            : Bytes(16, 0x11);
    Append(cap, uuid);
    Put32(cap, 0x06030000);
    Put16(cap, setLength);
    cap.push_back(vendorCode);
    cap.push_back(0);
    const Bytes usb20Extension = {7, 0x10, 0x02, 0x06, 0, 0, 0};
    Bytes bos = {5, 0x0F};
    Put16(bos, 5 + usb20Extension.size() + cap.size());
    bos.push_back(2);
    Append(bos, usb20Extension);
    Append(bos, cap);
    return bos;
}

// MS OS 1.0 pieces.
Bytes MsOs10String(std::uint8_t vendorCode) {
    Bytes b = {0x12, 0x03};
    const Bytes sig = Utf16("MSFT100");
    b.insert(b.end(), sig.begin(), sig.end() - 2);
    b.push_back(vendorCode);
    b.push_back(0);
    return b;
}
Bytes ExtendedProperty(const std::string& name, const std::string& data, std::uint32_t type = 7) {
    const Bytes n = Utf16(name), d = Utf16(data);
    Bytes b;
    Put32(b, 14 + n.size() + d.size());
    Put32(b, type);
    Put16(b, n.size());
    Append(b, n);
    Put32(b, d.size());
    Append(b, d);
    return b;
}
Bytes ExtendedProperties(const std::vector<Bytes>& sections) {
    Bytes body;
    for (const Bytes& s : sections)
        Append(body, s);
    Bytes b;
    Put32(b, 10 + body.size());
    Put16(b, 0x0100);
    Put16(b, 0x0005);
    Put16(b, sections.size());
    Append(b, body);
    return b;
}

TEST(MsOs20, PlatformCapabilityGivesVendorCodeAndSetLength) {
    const auto location = FindMsOs20DescriptorSet(Bos(0x21, 0xB2));
    ASSERT_TRUE(location);
    EXPECT_EQ(location->vendorCode, 0x21);
    EXPECT_EQ(location->totalLength, 0xB2);
}

TEST(MsOs20, BosWithoutTheCapabilityOrBroken) {
    Bytes shortened = Bos(0x21, 0xB2);
    shortened.resize(20);
    Bytes badLength = Bos(0x21, 0xB2);
    badLength[5] = 0; // the first capability claims a length of 0
    struct Case {
        const char* what;
        Bytes bos;
    } cases[] = {
        {"other platform", Bos(0x21, 0xB2, false)}, {"cut short", shortened},
        {"zero-length capability", badLength},      {"empty", {}},
        {"not a BOS", Bytes{5, 0x02, 5, 0, 0}},     {"set too small", Bos(0x21, 4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(FindMsOs20DescriptorSet(c.bos));
    }
}

TEST(MsOs20, DescriptorSetNamesTheGuid) {
    Bytes features = CompatibleIdWinUsb();
    Append(features, RegistryProperty("DeviceInterfaceGUIDs", kGuid + "|"));
    struct Case {
        const char* layout;
        Bytes set;
        std::vector<std::string> guids;
    } cases[] = {
        {"whole device", DescriptorSet(features), {kGuid}},
        {"function at interface 0", DescriptorSet(FunctionSubset(0, features)), {kGuid}},
        {"function at interface 1 only", DescriptorSet(FunctionSubset(1, features)), {}},
        {"single GUID property", DescriptorSet(RegistryProperty("DeviceInterfaceGUID", kGuid, 1)), {kGuid}},
        {"two GUIDs",
         DescriptorSet(RegistryProperty("DeviceInterfaceGUIDs", "{1}|" + kGuid + "|")),
         {"{1}", kGuid}},
        {"other property", DescriptorSet(RegistryProperty("Label", kGuid)), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        EXPECT_EQ(MsOs20InterfaceGuids(c.set), c.guids);
    }
}

TEST(MsOs20, BrokenLengthsNameNothing) {
    const Bytes good = DescriptorSet(RegistryProperty("DeviceInterfaceGUIDs", kGuid + "|"));
    Bytes cut = good;
    cut.resize(good.size() - 3);
    Bytes zeroLength = good;
    zeroLength[10] = zeroLength[11] = 0;
    Bytes nameTooLong = good;
    nameTooLong[16] = 0xFF; // wPropertyNameLength beyond the descriptor
    for (const Bytes& set : {cut, zeroLength, nameTooLong})
        EXPECT_TRUE(MsOs20InterfaceGuids(set).empty());
}

TEST(MsOs10, StringDescriptorGivesTheVendorCode) {
    EXPECT_EQ(MsOs10VendorCode(MsOs10String(0x4D)), 0x4D);
    Bytes other = MsOs10String(0x4D);
    other[2] = 'X';
    EXPECT_FALSE(MsOs10VendorCode(other));
    EXPECT_FALSE(MsOs10VendorCode(Bytes{0x12, 0x03}));
}

TEST(MsOs10, ExtendedPropertiesNameTheGuid) {
    struct Case {
        const char* what;
        Bytes properties;
        std::vector<std::string> guids;
    } cases[] = {
        {"list", ExtendedProperties({ExtendedProperty("DeviceInterfaceGUIDs", kGuid + "|")}), {kGuid}},
        {"single", ExtendedProperties({ExtendedProperty("DeviceInterfaceGUID", kGuid, 1)}), {kGuid}},
        {"after another property",
         ExtendedProperties({ExtendedProperty("Label", "Tensolog", 1),
                             ExtendedProperty("DeviceInterfaceGUIDs", kGuid + "|")}),
         {kGuid}},
        {"none", ExtendedProperties({ExtendedProperty("Label", kGuid, 1)}), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(MsOs10InterfaceGuids(c.properties), c.guids);
    }
    Bytes overCounted = ExtendedProperties({ExtendedProperty("DeviceInterfaceGUIDs", kGuid + "|")});
    overCounted[8] = 2; // wCount says two sections, only one is there
    EXPECT_TRUE(MsOs10InterfaceGuids(overCounted).empty());
    Bytes wrongIndex = ExtendedProperties({ExtendedProperty("DeviceInterfaceGUIDs", kGuid + "|")});
    wrongIndex[6] = 4;
    EXPECT_TRUE(MsOs10InterfaceGuids(wrongIndex).empty());
}

TEST(Guid, ComparisonIgnoresCaseAndBraces) {
    struct Case {
        std::string a, b;
        bool same;
    } cases[] = {
        {kGuid, kGuid, true},
        {"{d76db6d7-355b-4bea-85c5-dfdb5e33d106}", kGuid, true},
        {"D76DB6D7-355B-4BEA-85C5-DFDB5E33D106", kGuid, true},
        {"{D76DB6D7-355B-4BEA-85C5-DFDB5E33D107}", kGuid, false},
        {"{}", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a);
        EXPECT_EQ(SameGuid(c.a, c.b), c.same);
    }
}

} // namespace
} // namespace kantrel
