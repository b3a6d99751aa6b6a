#include "platform/ms_os_descriptors.h"

#include <algorithm>
#include <array>

namespace kantrel {

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint8_t kBosType = 0x0F;
constexpr std::uint8_t kDeviceCapabilityType = 0x10;
constexpr std::uint8_t kPlatformCapability = 0x05;
constexpr std::array<std::uint8_t, 16> kMsOs20PlatformUuid = {0xDF, 0x60, 0xDD, 0xD8, 0x89, 0x45, 0xC7, 0x4C,
                                                              0x9C, 0xD2, 0x65, 0x9D, 0x9E, 0x64, 0x8A, 0x9F};
constexpr std::uint16_t kFunctionSubsetHeader = 0x02;
constexpr std::uint16_t kRegistryProperty = 0x04;

std::uint16_t Word(Bytes b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t DWord(Bytes b, std::size_t at) {
    return static_cast<std::uint32_t>(Word(b, at)) | static_cast<std::uint32_t>(Word(b, at + 2)) << 16;
}

// UTF-16LE text as ASCII, split at its zero characters; other characters become '?'.
std::vector<std::string> Utf16Strings(Bytes b) {
    std::vector<std::string> strings(1);
    for (std::size_t at = 0; at + 1 < b.size(); at += 2) {
        const std::uint16_t unit = Word(b, at);
        if (unit == 0) {
            strings.emplace_back();
        } else {
            strings.back().push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
        }
    }
    std::erase_if(strings, [](const std::string& s) { return s.empty(); });
    return strings;
}

bool EqualsAsciiIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

// The GUIDs in a property, when the property is one that names interface GUIDs.
std::vector<std::string> GuidsOfProperty(Bytes name, Bytes data) {
    const auto names = Utf16Strings(name);
    if (names.size() != 1)
        return {};
    if (!EqualsAsciiIgnoreCase(names[0], "DeviceInterfaceGUIDs") &&
        !EqualsAsciiIgnoreCase(names[0], "DeviceInterfaceGUID"))
        return {};
    return Utf16Strings(data);
}

std::string_view WithoutBraces(std::string_view g) {
    if (g.size() >= 2 && g.front() == '{' && g.back() == '}')
        return g.substr(1, g.size() - 2);
    return g;
}

} // namespace

std::optional<MsOs20SetLocation> FindMsOs20DescriptorSet(Bytes bos) {
    if (bos.size() < 5 || bos[0] < 5 || bos[1] != kBosType)
        return std::nullopt;
    const std::size_t total = std::min<std::size_t>(Word(bos, 2), bos.size());
    for (std::size_t at = bos[0]; at + 3 <= total;) {
        const std::size_t length = bos[at];
        if (length < 3 || at + length > total)
            return std::nullopt;
        const Bytes cap = bos.subspan(at, length);
        if (cap[1] == kDeviceCapabilityType && cap[2] == kPlatformCapability && length >= 20 + 8 &&
            std::equal(kMsOs20PlatformUuid.begin(), kMsOs20PlatformUuid.end(), cap.begin() + 4)) {
            // The first descriptor-set entry; its total length must hold at least a header.
            const std::uint16_t setLength = Word(cap, 24);
            if (setLength < 10)
                return std::nullopt;
            return MsOs20SetLocation{cap[26], setLength};
        }
        at += length;
    }
    return std::nullopt;
}

std::vector<std::string> MsOs20InterfaceGuids(Bytes set) {
    std::vector<std::string> guids;
    bool forInterfaceZero = true; // features before any function subset cover the device
    for (std::size_t at = 0; at + 4 <= set.size();) {
        const std::size_t length = Word(set, at);
        if (length < 4 || at + length > set.size())
            return {};
        const Bytes d = set.subspan(at, length);
        const std::uint16_t type = Word(d, 2);
        if (type == kFunctionSubsetHeader && length >= 5)
            forInterfaceZero = d[4] == 0;
        if (type == kRegistryProperty && forInterfaceZero && length >= 8) {
            const std::size_t nameLength = Word(d, 6);
            const std::size_t dataLengthAt = 8 + nameLength;
            if (dataLengthAt + 2 > length)
                return {};
            const std::size_t dataLength = Word(d, dataLengthAt);
            if (dataLengthAt + 2 + dataLength > length)
                return {};
            for (auto& g : GuidsOfProperty(d.subspan(8, nameLength), d.subspan(dataLengthAt + 2, dataLength)))
                guids.push_back(std::move(g));
        }
        at += length;
    }
    return guids;
}

std::optional<std::uint8_t> MsOs10VendorCode(Bytes s) {
    static constexpr std::array<std::uint8_t, 14> kSignature = {'M', 0,   'S', 0,   'F', 0,   'T',
                                                                0,   '1', 0,   '0', 0,   '0', 0};
    if (s.size() < 18 || s[0] < 18 || s[1] != 0x03)
        return std::nullopt;
    if (!std::equal(kSignature.begin(), kSignature.end(), s.begin() + 2))
        return std::nullopt;
    return s[16];
}

std::vector<std::string> MsOs10InterfaceGuids(Bytes p) {
    if (p.size() < 10 || Word(p, 6) != kMsOs10ExtendedPropertiesIndex)
        return {};
    const std::size_t total = std::min<std::size_t>(DWord(p, 0), p.size());
    const std::size_t count = Word(p, 8);
    std::vector<std::string> guids;
    std::size_t at = 10;
    for (std::size_t i = 0; i < count; ++i) {
        if (at + 14 > total)
            return {};
        const std::size_t size = DWord(p, at);
        if (size < 14 || at + size > total)
            return {};
        const Bytes section = p.subspan(at, size);
        const std::size_t nameLength = Word(section, 8);
        const std::size_t dataLengthAt = 10 + nameLength;
        if (dataLengthAt + 4 > size)
            return {};
        const std::size_t dataLength = DWord(section, dataLengthAt);
        if (dataLengthAt + 4 + dataLength > size)
            return {};
        for (auto& g :
             GuidsOfProperty(section.subspan(10, nameLength), section.subspan(dataLengthAt + 4, dataLength)))
            guids.push_back(std::move(g));
        at += size;
    }
    return guids;
}

bool SameGuid(std::string_view a, std::string_view b) {
    return EqualsAsciiIgnoreCase(WithoutBraces(a), WithoutBraces(b)) && !WithoutBraces(a).empty();
}

bool NamesGuid(const std::vector<std::string>& guids, std::string_view guid) {
    return std::any_of(guids.begin(), guids.end(), [&](const std::string& g) { return SameGuid(g, guid); });
}

} // namespace kantrel
