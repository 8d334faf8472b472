// The plug-in's dynamic symbol table holds exactly the 27 exports.
#include <elf.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "loaded_plugin.h"

namespace {

std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (image.size() < sizeof(Elf32_Ehdr)) return names;
    const auto* header = reinterpret_cast<const Elf32_Ehdr*>(image.data());
    EXPECT_EQ(header->e_ident[EI_CLASS], ELFCLASS32);
    EXPECT_EQ(header->e_machine, EM_386);
    const auto* sections = reinterpret_cast<const Elf32_Shdr*>(image.data() + header->e_shoff);
    for (int i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM) continue;
        const char* strings = image.data() + sections[sections[i].sh_link].sh_offset;
        const auto* symbols = reinterpret_cast<const Elf32_Sym*>(image.data() + sections[i].sh_offset);
        const size_t count = sections[i].sh_size / sizeof(Elf32_Sym);
        for (size_t s = 1; s < count; ++s) {
            const int binding = ELF32_ST_BIND(symbols[s].st_info);
            if (symbols[s].st_shndx == SHN_UNDEF || binding == STB_LOCAL) continue;
            names.insert(strings + symbols[s].st_name);
        }
    }
    return names;
}

}  // namespace

TEST(ExportTable, ExactlyTheTwentySevenExports) {
    const std::set<std::string> expected = {
        "DeleteMsg",        "FreeAttachment",    "FreeFolderList",    "FreeMailMsg",
        "GetAllMsgs",       "GetFolderList",     "GetMessageAttachment", "GetMsg",
        "GetMsgHeaders",    "GetMsgIds",         "HostSupportsPartialMessages", "IMAP4AddFolder",
        "IMAP4Append",      "IMAP4Commit",       "IMAP4CopyMessage",  "IMAP4DeleteFolder",
        "IMAP4RenameFolder", "IMAP4SelectFolder", "IMAP4SetSeenFlag", "Initialize",
        "Logoff",           "Logon",             "SendMsg",           "SetMsg",
        "SetMsgPriority",   "SetMsgReadStatus",  "Uninitialize",
    };
    ASSERT_EQ(expected.size(), 27u);
    EXPECT_EQ(DefinedDynamicSymbols(LoadedPlugin::Path()), expected);
}
