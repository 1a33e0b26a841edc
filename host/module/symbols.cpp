#include "module/symbols.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace host::module {

namespace {

// A little-endian field at `at`; throws past the end of the file.
template <class T>
T field(std::string_view bytes, std::uint64_t at) {
    if (at > bytes.size() || bytes.size() - at < sizeof(T))
        throw std::runtime_error("module file cut short");
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= T(T(std::uint8_t(bytes[at + i])) << (8 * i));
    return value;
}

std::string text_at(std::string_view bytes, std::uint64_t at) {
    if (at >= bytes.size()) throw std::runtime_error("symbol name outside the file");
    const std::string_view rest = bytes.substr(at);
    return std::string(rest.substr(0, rest.find('\0')));
}

constexpr std::uint32_t kElfSymtab = 2, kElfDynsym = 11;
constexpr std::uint8_t kElfFunction = 2;
constexpr std::uint16_t kCoffFunction = 0x20;  // "function" in the type's derived part

}  // namespace

FunctionSymbols FunctionSymbols::read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    FunctionSymbols symbols;
    if (bytes.starts_with("\x7f"
                          "ELF"))
        symbols.read_elf(bytes);
    else if (bytes.starts_with("MZ"))
        symbols.read_pe(bytes);
    else
        throw std::runtime_error(file.string() + " is neither an ELF nor a PE module");
    symbols.finish();
    return symbols;
}

// ELF64: a shared object's symbol values are offsets from its load base.
void FunctionSymbols::read_elf(std::string_view bytes) {
    if (field<std::uint8_t>(bytes, 4) != 2) throw std::runtime_error("not a 64-bit ELF module");
    const auto sections = field<std::uint64_t>(bytes, 0x28);
    const auto entrySize = field<std::uint16_t>(bytes, 0x3A);
    const auto count = field<std::uint16_t>(bytes, 0x3C);
    const auto section = [&](std::uint32_t index) {
        return sections + std::uint64_t(index) * entrySize;
    };
    for (const std::uint32_t wanted : {kElfSymtab, kElfDynsym}) {
        for (std::uint16_t i = 0; i < count; ++i) {
            if (field<std::uint32_t>(bytes, section(i) + 4) != wanted) continue;
            const auto table = field<std::uint64_t>(bytes, section(i) + 0x18);
            const auto size = field<std::uint64_t>(bytes, section(i) + 0x20);
            const auto names = field<std::uint64_t>(
                bytes, section(field<std::uint32_t>(bytes, section(i) + 0x28)) + 0x18);
            for (std::uint64_t at = table; at + 24 <= table + size; at += 24) {
                if ((field<std::uint8_t>(bytes, at + 4) & 0xF) != kElfFunction) continue;
                const auto value = field<std::uint64_t>(bytes, at + 8);
                if (value == 0) continue;  // undefined: another module's
                add(value, field<std::uint64_t>(bytes, at + 16),
                    text_at(bytes, names + field<std::uint32_t>(bytes, at)));
            }
        }
        if (!functions_.empty()) return;
    }
}

// PE32+: each COFF symbol's value is an offset into its section, whose
// relative virtual address is its offset from the image base.
void FunctionSymbols::read_pe(std::string_view bytes) {
    const auto header = field<std::uint32_t>(bytes, 0x3C);
    if (field<std::uint32_t>(bytes, header) != 0x4550) throw std::runtime_error("not a PE module");
    const std::uint64_t coff = header + 4;
    const auto sectionCount = field<std::uint16_t>(bytes, coff + 2);
    const auto table = field<std::uint32_t>(bytes, coff + 8);
    const auto symbolCount = field<std::uint32_t>(bytes, coff + 12);
    const std::uint64_t sections = coff + 20 + field<std::uint16_t>(bytes, coff + 16);
    const std::uint64_t strings = table + std::uint64_t(symbolCount) * 18;
    if (table == 0) return;
    for (std::uint32_t i = 0; i < symbolCount;
         i += 1 + field<std::uint8_t>(bytes, table + i * 18ull + 17)) {
        const std::uint64_t at = table + i * 18ull;
        const auto sectionNumber = field<std::int16_t>(bytes, at + 12);
        if (field<std::uint16_t>(bytes, at + 14) != kCoffFunction || sectionNumber < 1 ||
            sectionNumber > sectionCount)
            continue;
        const auto rva = field<std::uint32_t>(bytes, sections + (sectionNumber - 1) * 40ull + 12);
        std::string name = field<std::uint32_t>(bytes, at) == 0
                               ? text_at(bytes, strings + field<std::uint32_t>(bytes, at + 4))
                               : text_at(bytes.substr(0, at + 8), at);
        add(std::uint64_t(rva) + field<std::uint32_t>(bytes, at + 8), 0, std::move(name));
    }
}

void FunctionSymbols::add(std::uint64_t start, std::uint64_t size, std::string name) {
    functions_.push_back(Function{start, size == 0 ? 0 : start + size, std::move(name)});
}

void FunctionSymbols::finish() {
    std::ranges::sort(functions_, {}, &Function::start);
    for (std::size_t i = 0; i < functions_.size(); ++i) {
        if (functions_[i].end != 0) continue;
        functions_[i].end = i + 1 < functions_.size() ? functions_[i + 1].start : ~0ull;
    }
}

std::string_view FunctionSymbols::caller_at(std::uint64_t returnOffset) const {
    if (returnOffset == 0) return {};
    const std::uint64_t at = returnOffset - 1;
    const auto after = std::ranges::upper_bound(functions_, at, {}, &Function::start);
    // Aliases share a start and a sized function may leave a gap: the nearest
    // few before it are looked at.
    const auto first = after - std::min<std::ptrdiff_t>(after - functions_.begin(), 8);
    for (auto it = after; it != first;) {
        --it;
        if (at < it->end) return it->name;
    }
    return {};
}

}  // namespace host::module
