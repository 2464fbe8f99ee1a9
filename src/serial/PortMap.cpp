#include "serial/PortMap.h"

#include "common/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <set>
#include <system_error>
#include <unistd.h>

namespace lumex {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxFileSize = 1 << 20;
constexpr std::size_t kMaxPathLength = 4096;

std::string_view Trim(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// "COM<n>" with n from 1 to 255; 0 otherwise.
int PortNumberOfKey(std::string_view key)
{
    if (key.size() < 4 || key.size() > 6 || !EqualsNoCase(key.substr(0, 3), "COM"))
        return 0;
    int n = 0;
    for (char c : key.substr(3)) {
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + (c - '0');
    }
    return n >= kMinPortNumber && n <= kMaxPortNumber ? n : 0;
}

bool IsUsablePath(std::string_view path)
{
    if (path.empty() || path.size() > kMaxPathLength || path.front() != '/')
        return false;
    for (char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

std::string LineProblem(std::size_t line, const std::string &what)
{
    return "line " + std::to_string(line) + ": " + what;
}

std::string ErrnoText(const std::string &what, const std::string &path, int code)
{
    return what + " " + path + ": " + std::generic_category().message(code);
}

std::string HomeFolder()
{
    if (const char *home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd *pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return ".";
}

} // namespace

std::string DefaultSettingsFolder()
{
    // Only an absolute XDG_CONFIG_HOME counts, as the base-directory rules say.
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return std::string(xdg) + "/Lumex2";
    return HomeFolder() + "/.config/Lumex2";
}

std::string DefaultPortMapPath()
{
    return DefaultSettingsFolder() + "/ports.ini";
}

TPortMapParseResult ParsePortMap(std::string_view text)
{
    TPortMapParseResult result;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::set<std::string> paths;
    bool inPorts = false;
    std::size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        const auto end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']') {
                result.Problems.push_back(LineProblem(lineNo, "unclosed section header"));
                inPorts = false;
                continue;
            }
            inPorts = EqualsNoCase(Trim(line.substr(1, line.size() - 2)), "Ports");
            continue;
        }
        if (!inPorts)
            continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            result.Problems.push_back(LineProblem(lineNo, "no '=' in entry"));
            continue;
        }
        const int number = PortNumberOfKey(Trim(line.substr(0, eq)));
        if (number == 0) {
            result.Problems.push_back(LineProblem(lineNo, "key is not COM1 to COM255"));
            continue;
        }
        const std::string_view value = Trim(line.substr(eq + 1));
        if (!IsUsablePath(value)) {
            result.Problems.push_back(LineProblem(lineNo, "value is not an absolute device path"));
            continue;
        }
        std::string path(value);
        if (result.Entries.count(number) != 0) {
            result.Problems.push_back(LineProblem(lineNo, "COM" + std::to_string(number) + " appears twice"));
            continue;
        }
        if (!paths.insert(path).second) {
            result.Problems.push_back(LineProblem(lineNo, "device already has a number"));
            continue;
        }
        result.Entries.emplace(number, std::move(path));
    }
    return result;
}

std::string FormatPortMap(const std::map<int, std::string> &entries)
{
    std::string text = "[Ports]\n";
    for (const auto &[number, path] : entries)
        text += "COM" + std::to_string(number) + "=" + path + "\n";
    return text;
}

TPortMap::TPortMap(std::string filePath) : filePath_(std::move(filePath)) {}

bool TPortMap::Load(std::string *error)
{
    entries_.clear();
    problems_.clear();
    changed_ = false;
    RemoveStaleTemporaries(filePath_);
    std::FILE *f = std::fopen(filePath_.c_str(), "rb");
    if (!f) {
        if (errno == ENOENT)
            return true;
        if (error)
            *error = ErrnoText("Cannot open", filePath_, errno);
        return false;
    }
    std::string text;
    char chunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0 && text.size() <= kMaxFileSize)
        text.append(chunk, n);
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError || text.size() > kMaxFileSize) {
        if (error)
            *error = readError ? "Cannot read " + filePath_ : filePath_ + " is too large for a port map";
        return false;
    }
    auto parsed = ParsePortMap(text);
    entries_ = std::move(parsed.Entries);
    problems_ = std::move(parsed.Problems);
    return true;
}

bool TPortMap::Save(std::string *error) const
{
    // The settings folder may not exist yet on a fresh account.
    const fs::path target(filePath_);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string problem;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        problem = "Cannot create folder " + folder.string() + ": " + ec.message();
    } else {
        try {
            WriteFileAtomically(filePath_, FormatPortMap(entries_));
            return true;
        } catch (const EFileWriteError &e) {
            problem = e.what();
        }
    }
    if (error)
        *error = problem;
    return false;
}

std::optional<std::string> TPortMap::PathOf(int number) const
{
    const auto it = entries_.find(number);
    if (it == entries_.end())
        return std::nullopt;
    return it->second;
}

std::optional<int> TPortMap::NumberOf(const std::string &path) const
{
    for (const auto &[number, p] : entries_) {
        if (p == path)
            return number;
    }
    return std::nullopt;
}

void TPortMap::Set(int number, const std::string &path)
{
    if (number < kMinPortNumber || number > kMaxPortNumber)
        return;
    // One number per device: a path moves rather than being listed twice.
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->second == path && it->first != number) {
            it = entries_.erase(it);
            changed_ = true;
        } else
            ++it;
    }
    auto &slot = entries_[number];
    if (slot != path) {
        slot = path;
        changed_ = true;
    }
}

void TPortMap::Remove(int number)
{
    if (entries_.erase(number) != 0)
        changed_ = true;
}

int TPortMap::Assign(const std::string &stablePath, int uartIndex)
{
    if (const auto known = NumberOf(stablePath))
        return *known;
    int number = 0;
    if (uartIndex >= 0 && uartIndex < kMaxPortNumber && entries_.count(uartIndex + 1) == 0)
        number = uartIndex + 1;
    for (int n = kFirstFreePortNumber; number == 0 && n <= kMaxPortNumber; ++n) {
        if (entries_.count(n) == 0)
            number = n;
    }
    if (number != 0)
        Set(number, stablePath);
    return number;
}

std::string DefaultPortResolver(int portNumber)
{
    TPortMap map;
    if (map.Load()) {
        if (auto path = map.PathOf(portNumber))
            return *path;
    }
    if (portNumber < kMinPortNumber)
        return {};
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

} // namespace lumex
