// The shipped library must export exactly one symbol. Reads the dynamic
// symbol table of the built file, for whatever ABI this test was built for.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "lbs_consumer_plugin.h"

namespace {

std::vector<char> read_file(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Names of the symbols the file defines for other objects to use.
std::set<std::string> defined_dynamic_symbols(const std::vector<char> &file)
{
    std::set<std::string> names;
    if (file.size() < sizeof(ElfW(Ehdr)))
        return names;
    const auto *eh = reinterpret_cast<const ElfW(Ehdr) *>(file.data());
    if (std::memcmp(eh->e_ident, ELFMAG, SELFMAG) != 0 || eh->e_shoff + eh->e_shnum * sizeof(ElfW(Shdr)) > file.size())
        return names;
    const auto *sh = reinterpret_cast<const ElfW(Shdr) *>(file.data() + eh->e_shoff);
    for (int i = 0; i < eh->e_shnum; ++i) {
        if (sh[i].sh_type != SHT_DYNSYM)
            continue;
        const ElfW(Shdr) &strtab = sh[sh[i].sh_link];
        const auto *sym = reinterpret_cast<const ElfW(Sym) *>(file.data() + sh[i].sh_offset);
        size_t count = sh[i].sh_size / sizeof(ElfW(Sym));
        for (size_t k = 0; k < count; ++k) {
            unsigned bind = ELF32_ST_BIND(sym[k].st_info); // same macro shape for both classes
            if (sym[k].st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK))
                continue;
            names.insert(file.data() + strtab.sh_offset + sym[k].st_name);
        }
    }
    return names;
}

TEST(Exports, OnlyTheInterfaceEntryIsExported)
{
    std::vector<char> file = read_file(LBS_PLUGIN_PATH);
    ASSERT_FALSE(file.empty()) << LBS_PLUGIN_PATH;
    EXPECT_EQ(defined_dynamic_symbols(file), std::set<std::string>{"get_lbs_consumer_plugin_interface"});
}

TEST(Exports, LoadsBySonameAndHandsOutTheTable)
{
    void *handle = dlopen(LBS_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    using entry_fn = const lbs_consumer_plugin_interface_s *(*)();
    auto entry = reinterpret_cast<entry_fn>(dlsym(handle, "get_lbs_consumer_plugin_interface"));
    ASSERT_NE(entry, nullptr);
    const lbs_consumer_plugin_interface_s *table = entry();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table, entry());
    EXPECT_NE(table->init, nullptr);
    EXPECT_NE(table->deinit, nullptr);
    EXPECT_NE(table->request, nullptr);
    EXPECT_EQ(dlsym(handle, "lbs_consumer_plugin_pre_init"), nullptr);
    EXPECT_EQ(dlsym(handle, "lbs_util_is_file_exist"), nullptr);
    dlclose(handle);
}

} // namespace
