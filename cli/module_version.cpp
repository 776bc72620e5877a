#include "cli/module_version.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "formats/file_bytes.h"
#include "mesh/input_error.h"

namespace tarvel::cli {

namespace {

/// Little-endian reads that give nothing past the end of the file.
class Bytes {
public:
    explicit Bytes(std::span<const std::byte> file) : file_(file) {}
    bool has(std::uint64_t at, std::uint64_t count) const {
        return at <= file_.size() && count <= file_.size() - at;
    }
    std::uint64_t le(std::uint64_t at, int size) const {
        std::uint64_t value = 0;
        if (!has(at, static_cast<std::uint64_t>(size))) {
            return 0;
        }
        for (int k = size - 1; k >= 0; --k) {
            value = value << 8 | std::to_integer<std::uint64_t>(file_[at + k]);
        }
        return value;
    }
    std::uint32_t u16(std::uint64_t at) const { return static_cast<std::uint32_t>(le(at, 2)); }
    std::uint32_t u32(std::uint64_t at) const { return static_cast<std::uint32_t>(le(at, 4)); }
    std::uint64_t size() const { return file_.size(); }

private:
    std::span<const std::byte> file_;
};

std::optional<ModuleVersion> fromNoteText(const Bytes& bytes, std::uint64_t at,
                                          std::uint64_t size) {
    std::string text;
    for (std::uint64_t k = 0; k < size; ++k) {
        text.push_back(static_cast<char>(bytes.le(at + k, 1)));
    }
    const std::size_t split = text.find('\0');
    if (split == std::string::npos) {
        return std::nullopt;
    }
    ModuleVersion version;
    version.fileVersion = text.substr(0, split);
    version.fileVersionText = text.substr(split + 1, text.find('\0', split + 1) - split - 1);
    return version;
}

/// The "Tarvel" note of type 1 in any SHT_NOTE section of a little-endian ELF file.
std::optional<ModuleVersion> elfVersion(const Bytes& bytes) {
    const bool wide = bytes.le(4, 1) == 2;
    if (bytes.le(5, 1) != 1) {
        return std::nullopt;
    }
    const std::uint64_t sectionTable = wide ? bytes.le(0x28, 8) : bytes.u32(0x20);
    const std::uint32_t entrySize = bytes.u16(wide ? 0x3A : 0x2E);
    const std::uint32_t sections = bytes.u16(wide ? 0x3C : 0x30);
    for (std::uint32_t s = 0; s < sections; ++s) {
        const std::uint64_t header = sectionTable + std::uint64_t{s} * entrySize;
        if (!bytes.has(header, entrySize) || bytes.u32(header + 4) != 7) {
            continue;
        }
        std::uint64_t at = wide ? bytes.le(header + 0x18, 8) : bytes.u32(header + 0x10);
        const std::uint64_t size = wide ? bytes.le(header + 0x20, 8) : bytes.u32(header + 0x14);
        if (!bytes.has(at, size)) {
            continue;
        }
        const std::uint64_t end = at + size;
        while (at + 12 <= end) {
            const std::uint64_t nameSize = bytes.u32(at);
            const std::uint64_t descSize = bytes.u32(at + 4);
            const std::uint32_t type = bytes.u32(at + 8);
            const std::uint64_t name = at + 12;
            const std::uint64_t desc = name + (nameSize + 3) / 4 * 4;
            if (desc + descSize > end) {
                break;
            }
            std::string owner;
            for (std::uint64_t k = 0; k + 1 < nameSize; ++k) {
                owner.push_back(static_cast<char>(bytes.le(name + k, 1)));
            }
            if (type == 1 && owner == "Tarvel") {
                return fromNoteText(bytes, desc, descSize);
            }
            at = desc + (descSize + 3) / 4 * 4;
        }
    }
    return std::nullopt;
}

/// Text of `count` UTF-16 code units at `at`, each taken as one byte (the keys and version
/// texts are ASCII).
std::string utf16(const Bytes& bytes, std::uint64_t at, std::uint64_t count) {
    std::string text;
    for (std::uint64_t k = 0; k < count; ++k) {
        const std::uint32_t unit = bytes.u16(at + 2 * k);
        if (unit == 0) {
            break;
        }
        text.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return text;
}

std::uint64_t align4(std::uint64_t at) {
    return (at + 3) / 4 * 4;
}

/// One version-information block: its length, value length, key and where its value and
/// children start.
struct Block {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::uint32_t valueLength = 0;
    std::string key;
    std::uint64_t value = 0;
};

Block blockAt(const Bytes& bytes, std::uint64_t at, std::uint64_t limit) {
    Block block;
    block.start = at;
    block.end = std::min(limit, at + std::max<std::uint32_t>(bytes.u16(at), 6));
    block.valueLength = bytes.u16(at + 2);
    std::uint64_t key = at + 6;
    while (key + 2 <= block.end && bytes.u16(key) != 0) {
        block.key.push_back(static_cast<char>(bytes.u16(key) & 0x7F));
        key += 2;
    }
    block.value = align4(key + 2);
    return block;
}

/// The file version and the FileVersion text of a VS_VERSIONINFO block at `at`.
std::optional<ModuleVersion> versionInfo(const Bytes& bytes, std::uint64_t at, std::uint64_t size) {
    const Block root = blockAt(bytes, at, at + size);
    if (root.key != "VS_VERSION_INFO" || bytes.u32(root.value) != 0xFEEF04BD) {
        return std::nullopt;
    }
    ModuleVersion version;
    const std::uint32_t high = bytes.u32(root.value + 8);
    const std::uint32_t low = bytes.u32(root.value + 12);
    version.fileVersion = std::to_string(high >> 16) + '.' + std::to_string(high & 0xFFFF) + '.' +
                          std::to_string(low >> 16) + '.' + std::to_string(low & 0xFFFF);
    // StringFileInfo > each string table > "FileVersion".
    for (std::uint64_t child = align4(root.value + root.valueLength); child + 6 < root.end;) {
        const Block info = blockAt(bytes, child, root.end);
        if (info.key == "StringFileInfo") {
            for (std::uint64_t table = info.value; table + 6 < info.end;) {
                const Block strings = blockAt(bytes, table, info.end);
                for (std::uint64_t entry = strings.value; entry + 6 < strings.end;) {
                    const Block value = blockAt(bytes, entry, strings.end);
                    if (value.key == "FileVersion") {
                        version.fileVersionText = utf16(bytes, value.value, value.valueLength);
                    }
                    entry = align4(value.end);
                    if (value.end <= value.start) {
                        break;
                    }
                }
                table = align4(strings.end);
                if (strings.end <= strings.start) {
                    break;
                }
            }
        }
        child = align4(info.end);
        if (info.end <= info.start) {
            break;
        }
    }
    return version;
}

/// A virtual address of a PE file as a file offset, through the section that holds it (of the
/// `sections` section headers at `sectionTable`).
std::optional<std::uint64_t> fileOffsetOf(const Bytes& bytes, std::uint64_t sectionTable,
                                          std::uint32_t sections, std::uint64_t rva) {
    for (std::uint32_t s = 0; s < sections; ++s) {
        const std::uint64_t header = sectionTable + std::uint64_t{s} * 40;
        const std::uint64_t address = bytes.u32(header + 12);
        const std::uint64_t size = std::max(bytes.u32(header + 8), bytes.u32(header + 16));
        if (rva >= address && rva < address + size) {
            return rva - address + bytes.u32(header + 20);
        }
    }
    return std::nullopt;
}

/// The first RT_VERSION resource of a PE file.
std::optional<ModuleVersion> peVersion(const Bytes& bytes) {
    const std::uint64_t pe = bytes.u32(0x3C);
    if (bytes.u32(pe) != 0x00004550) {
        return std::nullopt;
    }
    const std::uint32_t sections = bytes.u16(pe + 6);
    const std::uint32_t optionalSize = bytes.u16(pe + 20);
    const std::uint64_t optional = pe + 24;
    const bool wide = bytes.u16(optional) == 0x20B;
    const std::uint64_t directories = optional + (wide ? 112 : 96);
    const std::uint32_t resourceRva = bytes.u32(directories + 2 * std::uint64_t{8});
    if (resourceRva == 0) {
        return std::nullopt;
    }
    const std::uint64_t sectionTable = optional + optionalSize;
    const auto offsetOf = [&](std::uint64_t rva) {
        return fileOffsetOf(bytes, sectionTable, sections, rva);
    };
    const std::optional<std::uint64_t> root = offsetOf(resourceRva);
    if (!root) {
        return std::nullopt;
    }
    // Type 16 (RT_VERSION), then the first name and the first language.
    std::uint64_t directory = *root;
    for (int level = 0; level < 3; ++level) {
        const std::uint32_t named = bytes.u16(directory + 12);
        const std::uint32_t numbered = bytes.u16(directory + 14);
        std::optional<std::uint32_t> next;
        for (std::uint32_t e = 0; e < named + numbered && e < 4096; ++e) {
            const std::uint64_t entry = directory + 16 + std::uint64_t{e} * 8;
            if (level == 0 && bytes.u32(entry) != 16) {
                continue;
            }
            next = bytes.u32(entry + 4);
            break;
        }
        if (!next) {
            return std::nullopt;
        }
        const bool isDirectory = (*next & 0x80000000u) != 0;
        const std::uint64_t target = *root + (*next & 0x7FFFFFFFu);
        if (level < 2 && !isDirectory) {
            return std::nullopt;
        }
        if (level == 2) {
            const std::optional<std::uint64_t> data = offsetOf(bytes.u32(target));
            if (isDirectory || !data) {
                return std::nullopt;
            }
            return versionInfo(bytes, *data, bytes.u32(target + 4));
        }
        directory = target;
    }
    return std::nullopt;
}

}  // namespace

std::optional<ModuleVersion> readModuleVersion(std::span<const std::byte> file) {
    const Bytes bytes(file);
    if (bytes.u32(0) == 0x464C457F) {  // "\x7fELF"
        return elfVersion(bytes);
    }
    if (bytes.u16(0) == 0x5A4D) {  // "MZ"
        return peVersion(bytes);
    }
    return std::nullopt;
}

std::optional<ModuleVersion> readModuleVersion(const std::filesystem::path& path) {
    try {
        const std::vector<std::byte> file = formats::readFileBytes(path);
        return readModuleVersion(file);
    } catch (const standin::InputError&) {
        return std::nullopt;
    }
}

}  // namespace tarvel::cli
