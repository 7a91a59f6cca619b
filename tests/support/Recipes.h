// Recipes as an engineer makes them for a test: keys and signatures from the real minisign
// tool, a station file and key folder in the test's own folder (never /etc/korvane).
#pragma once

#include <string>

namespace testsupport {

// Writes text to path, replacing what was there.
void WriteText(const std::string& path, const std::string& text);
// Replaces the first `from` in the file with `to`; false when it holds no `from`.
bool ReplaceInFile(const std::string& path, const std::string& from, const std::string& to);
// Runs a shell command with no input and its output dropped; its exit status.
int QuietShell(const std::string& command);

// Makes the key pair DIR/NAME.pub and DIR/NAME.sec with `minisign -G`, without a password.
bool MakeMinisignKey(const std::string& dir, const std::string& name);
// The key id that `minisign -G` wrote into a public key file's comment, as 16 hex digits.
std::string MinisignKeyIdOf(const std::string& publicKey);
// Signs file into file.minisig with the secret key and minisign's options (-l, -t COMMENT).
bool MinisignSign(const std::string& secretKey, const std::string& file,
                  const std::string& options = "");

// A station in dir: dir/keys holding publicKey as A.pub, and dir/station.toml naming it, with
// modes that satisfy the trust rule whatever the umask.
bool MakeRecipeStation(const std::string& dir, const std::string& publicKey);
// The environment setting that points korvane at dir/station.toml.
std::string StationFileSetting(const std::string& dir);

} // namespace testsupport
