#include "tests/support/Recipes.h"
#include "tests/support/Files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace testsupport {

namespace fs = std::filesystem;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

bool ReplaceInFile(const std::string& path, const std::string& from, const std::string& to) {
    std::string text = Slurp(path);
    const size_t at = text.find(from);
    if (at == std::string::npos)
        return false;
    WriteText(path, text.replace(at, from.size(), to));
    return true;
}

int QuietShell(const std::string& command) {
    return std::system((command + " </dev/null >/dev/null 2>&1").c_str());
}

bool MakeMinisignKey(const std::string& dir, const std::string& name) {
    return QuietShell("minisign -G -W -p '" + dir + "/" + name + ".pub' -s '" + dir + "/" + name +
                      ".sec'") == 0;
}

std::string MinisignKeyIdOf(const std::string& publicKey) {
    const std::string text = Slurp(publicKey);
    const std::string mark = "minisign public key ";
    const size_t at = text.find(mark);
    if (at == std::string::npos)
        return "";
    const size_t start = at + mark.size();
    std::string id = text.substr(start, text.find_first_of(" \n", start) - start);
    // minisign writes the number without leading zeros; Korvane shows all 16 digits.
    return std::string(id.size() < 16 ? 16 - id.size() : 0, '0') + id;
}

bool MinisignSign(const std::string& secretKey, const std::string& file,
                  const std::string& options) {
    return QuietShell("minisign -S -s '" + secretKey + "' -m '" + file + "' " + options) == 0;
}

bool MakeRecipeStation(const std::string& dir, const std::string& publicKey) {
    std::error_code error;
    fs::create_directories(dir + "/keys", error);
    fs::copy_file(publicKey, dir + "/keys/A.pub", fs::copy_options::overwrite_existing, error);
    WriteText(dir + "/station.toml", "keys = \"keys\"\n");
    fs::permissions(dir, fs::perms(0755), error);
    fs::permissions(dir + "/keys", fs::perms(0755), error);
    fs::permissions(dir + "/keys/A.pub", fs::perms(0644), error);
    fs::permissions(dir + "/station.toml", fs::perms(0644), error);
    return !error;
}

std::string StationFileSetting(const std::string& dir) {
    return "KORVANE_STATION_FILE=" + dir + "/station.toml";
}

} // namespace testsupport
