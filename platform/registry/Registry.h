#pragma once
// Registry values kept in a small INI file under the user's configuration
// folder ($XDG_CONFIG_HOME or ~/.config, "pictavo/registry.ini"): one
// section per key path, one line per value.

#include <cstdint>
#include <optional>
#include <string>

// key: a full path such as "HKEY_LOCAL_MACHINE\SOFTWARE\Vendor\Product".
// Creates the file, section and value as needed; false when it cannot be written.
bool RegistryWriteDWord(const std::string& key, const std::string& name, std::uint32_t value);
std::optional<std::uint32_t> RegistryReadDWord(const std::string& key, const std::string& name);
// The file in use; SetRegistryFile points it elsewhere (empty = the default).
std::string RegistryFile();
void SetRegistryFile(const std::string& path);
