#include "platform/registry/Registry.h"
#include "platform/core/AsciiCase.h"
#include "platform/core/Trim.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

namespace {

std::mutex& registryMutex()
{
    static std::mutex m;
    return m;
}
std::string& overridePath()
{
    static std::string path;
    return path;
}

std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Index range of a section's lines: [first, end) after its header; npos when absent.
std::pair<std::size_t, std::size_t> findSection(const std::vector<std::string>& lines, const std::string& key)
{
    const std::string wanted = AsciiLower(key);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string t = Trim(lines[i]);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']' && AsciiLower(t.substr(1, t.size() - 2)) == wanted) {
            std::size_t end = i + 1;
            while (end < lines.size()) {
                const std::string u = Trim(lines[end]);
                if (!u.empty() && u.front() == '[') break;
                ++end;
            }
            return {i + 1, end};
        }
    }
    return {std::string::npos, std::string::npos};
}

bool isValueLine(const std::string& line, const std::string& name)
{
    const auto eq = line.find('=');
    return eq != std::string::npos && AsciiLower(Trim(line.substr(0, eq))) == AsciiLower(name);
}

}  // namespace

std::string RegistryFile()
{
    std::lock_guard lock(registryMutex());
    if (!overridePath().empty()) return overridePath();
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = ".";
    return base + "/pictavo/registry.ini";
}

void SetRegistryFile(const std::string& path)
{
    std::lock_guard lock(registryMutex());
    overridePath() = path;
}

bool RegistryWriteDWord(const std::string& key, const std::string& name, std::uint32_t value)
{
    const std::string path = RegistryFile();
    std::lock_guard lock(registryMutex());
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::vector<std::string> lines = readLines(path);
    const std::string entry = name + "=" + std::to_string(value);
    auto [first, end] = findSection(lines, key);
    if (first == std::string::npos) {
        if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
        lines.push_back("[" + key + "]");
        lines.push_back(entry);
    } else {
        bool replaced = false;
        for (std::size_t i = first; i < end && !replaced; ++i)
            if (isValueLine(lines[i], name)) {
                lines[i] = entry;
                replaced = true;
            }
        if (!replaced) lines.insert(lines.begin() + std::ptrdiff_t(first), entry);
    }
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines) out << line << '\n';
        if (!out.flush()) return false;
    }
    std::filesystem::rename(temp, path, ec);
    return !ec;
}

std::optional<std::uint32_t> RegistryReadDWord(const std::string& key, const std::string& name)
{
    const std::string path = RegistryFile();
    std::lock_guard lock(registryMutex());
    const std::vector<std::string> lines = readLines(path);
    auto [first, end] = findSection(lines, key);
    if (first == std::string::npos) return std::nullopt;
    for (std::size_t i = first; i < end; ++i)
        if (isValueLine(lines[i], name)) {
            const std::string v = Trim(lines[i].substr(lines[i].find('=') + 1));
            char* stop = nullptr;
            const unsigned long n = std::strtoul(v.c_str(), &stop, 10);
            if (v.empty() || *stop) return std::nullopt;
            return std::uint32_t(n);
        }
    return std::nullopt;
}
