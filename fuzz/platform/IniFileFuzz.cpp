// Any bytes as a settings file: reading, rewriting and reading back must hold.
#include "platform/inifile/IniFile.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TIniFile ini("/nonexistent/pictavo-fuzz.ini");
    ini.LoadFromText(std::string(reinterpret_cast<const char*>(data), size));
    TStringList sections, keys;
    ini.ReadSections(sections);
    for (const std::string& section : sections) {
        ini.ReadSection(section, keys);
        for (const std::string& key : keys) (void)ini.ReadInteger(section, key, 0);
    }
    ini.WriteString("Location", "SaveInFolder", "/x");
    TIniFile again("/nonexistent/pictavo-fuzz.ini");
    again.LoadFromText(ini.ToText());
    if (again.ReadString("Location", "SaveInFolder", "") != "/x") __builtin_trap();
    return 0;
}
