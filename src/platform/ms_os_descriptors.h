#pragma once

// Finding the instrument's device-interface GUID in the Microsoft OS descriptors that a
// WinUSB device carries. All multi-byte fields are little-endian; texts are UTF-16LE.
//
// MS OS 2.0, announced in the BOS descriptor by a platform capability:
//
//   BOS header      bLength 5, bDescriptorType 0x0F, wTotalLength, bNumDeviceCaps
//   capability      bLength, bDescriptorType 0x10, bDevCapabilityType 0x05 (platform),
//                   bReserved, UUID D8DD60DF-4589-4CC7-9CD2-659D9E648A9F (16 bytes),
//                   then 8-byte entries: dwWindowsVersion, wMSOSDescriptorSetTotalLength,
//                   bMS_VendorCode, bAltEnumCode
//
//   The descriptor set is read with the control request 0xC0 / bMS_VendorCode,
//   wValue 0, wIndex 7. It is a run of descriptors, each starting wLength, wDescriptorType:
//     0x00 set header        (10 bytes)
//     0x01 configuration subset header (8)
//     0x02 function subset header (8): bFirstInterface at offset 4; the features after
//          it belong to the function that starts at that interface
//     0x04 registry property: wPropertyDataType, wPropertyNameLength, PropertyName,
//          wPropertyDataLength, PropertyData
//
// MS OS 1.0, announced by the string descriptor 0xEE:
//
//   bLength 0x12, bDescriptorType 0x03, "MSFT100" (14 bytes UTF-16LE), bMS_VendorCode, bPad
//
//   Extended properties are read with the control request 0xC1 / bMS_VendorCode,
//   wValue = interface (0), wIndex 5:
//     header   dwLength, bcdVersion 0x0100, wIndex 5, wCount
//     section  dwSize, dwPropertyDataType, wPropertyNameLength, bPropertyName,
//              dwPropertyDataLength, bPropertyData
//
// A property named "DeviceInterfaceGUIDs" (a list, REG_MULTI_SZ) or "DeviceInterfaceGUID"
// (REG_SZ) names the GUIDs. A descriptor that is cut short or whose lengths do not add
// up names nothing.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kantrel {

inline constexpr std::string_view kTensologInterfaceGuid = "{D76DB6D7-355B-4BEA-85C5-DFDB5E33D106}";

inline constexpr std::uint8_t kMsOs20DescriptorIndex = 7;
inline constexpr std::uint8_t kMsOs10StringIndex = 0xEE;
inline constexpr std::uint16_t kMsOs10ExtendedPropertiesIndex = 5;

struct MsOs20SetLocation {
    std::uint8_t vendorCode = 0;
    std::uint16_t totalLength = 0;
};

std::optional<MsOs20SetLocation> FindMsOs20DescriptorSet(std::span<const std::uint8_t> bos);
// The GUIDs named for interface 0 (or for the whole device) in an MS OS 2.0 set.
std::vector<std::string> MsOs20InterfaceGuids(std::span<const std::uint8_t> set);

std::optional<std::uint8_t> MsOs10VendorCode(std::span<const std::uint8_t> stringDescriptor);
std::vector<std::string> MsOs10InterfaceGuids(std::span<const std::uint8_t> extendedProperties);

// Equal GUIDs, whatever the case of their hex digits and with or without braces.
bool SameGuid(std::string_view a, std::string_view b);
bool NamesGuid(const std::vector<std::string>& guids, std::string_view guid);

} // namespace kantrel
