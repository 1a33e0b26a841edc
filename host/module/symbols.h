// The functions a module file's own symbol table names, found by their
// offset from the module's base once loaded: ELF (.symtab, else .dynsym) and
// PE32+ (the COFF symbol table GNU ld keeps unless told to strip). Either
// format is read on any platform. Names stay as the compiler mangled them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace host::module {

class FunctionSymbols {
public:
    // Throws std::runtime_error for a file that cannot be read or is neither
    // format; a stripped module gives an empty table.
    static FunctionSymbols read(const std::filesystem::path& file);

    // The function holding the call that returns to `returnOffset`: the byte
    // before a return address is still the call's. Empty when none does.
    std::string_view caller_at(std::uint64_t returnOffset) const;
    std::size_t size() const { return functions_.size(); }

private:
    struct Function {
        std::uint64_t start = 0, end = 0;  // end 0: up to the next function
        std::string name;
    };
    void add(std::uint64_t start, std::uint64_t size, std::string name);
    void finish();  // sorts, and ends each sizeless function at the next
    void read_elf(std::string_view bytes);
    void read_pe(std::string_view bytes);

    std::vector<Function> functions_;
};

}  // namespace host::module
