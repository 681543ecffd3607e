#include "contract/PowerRefreshService.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

// Checks the installed Debian package (scripts/test-package runs these after `apt-get install`).
// Skipped where the package is not installed.

namespace ampwell {
namespace {

std::string commandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
        ::pclose(pipe);
    }
    return output;
}

bool packageInstalled() {
    return commandOutput("dpkg-query -W -f='${db:Status-Status}' ampwell 2>/dev/null") == "installed";
}

#define SKIP_UNLESS_INSTALLED() \
    if (!packageInstalled()) GTEST_SKIP() << "the ampwell package is not installed"

TEST(InstalledPackage, ShipsTheProgramsUnitsRuleManualPagesAndDesktopFilesAndNothingElse) {
    SKIP_UNLESS_INSTALLED();
    std::set<std::string> files;
    std::istringstream listing(commandOutput("dpkg -L ampwell"));
    for (std::string path; std::getline(listing, path);) {
        struct stat status {};
        if (::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) files.insert(path);  // /lib may be a link
    }
    std::set<std::string> expected{
        "/usr/bin/ampwell",
        "/usr/libexec/ampwell/ampwelld",
        "/usr/lib/ampwell/ampwell.sha256",
        "/lib/systemd/system/ampwelld.socket",
        "/lib/systemd/system/ampwelld.service",
        "/lib/systemd/system/ampwell-metrics.service",
        "/etc/default/ampwell-metrics",
        "/lib/udev/rules.d/70-ampwell.rules",
        "/usr/share/man/man1/ampwell.1.gz",
        "/usr/share/man/man8/ampwelld.8.gz",
        "/usr/share/doc/ampwell/copyright",
        "/usr/share/doc/ampwell/changelog.gz",
        "/usr/share/metainfo/local.ampwell.metainfo.xml",
        "/etc/xdg/autostart/ampwell.desktop",
        "/usr/share/applications/ampwell.desktop",
        "/usr/share/icons/hicolor/scalable/apps/ampwell.svg",
        "/usr/share/locale/en/LC_MESSAGES/ampwell.mo",
    };
    EXPECT_EQ(files, expected);
}

void expectOwnedByRootWithMode(const std::string& path, mode_t mode) {
    struct stat status {};
    ASSERT_EQ(::lstat(path.c_str(), &status), 0) << path;
    EXPECT_TRUE(S_ISREG(status.st_mode)) << path;
    EXPECT_EQ(status.st_uid, 0u) << path;
    EXPECT_EQ(status.st_gid, 0u) << path;
    EXPECT_EQ(status.st_mode & 07777, mode) << path;
    EXPECT_TRUE(PowerRefreshService::isProtectedRegularFile(path)) << path;
}

TEST(InstalledPackage, TheDaemonItsUnitsAndWhatItReadsAreRootsAlone) {
    SKIP_UNLESS_INSTALLED();
    // The paths the application checks before it asks the daemon (a /usr prefix).
    expectOwnedByRootWithMode("/usr/libexec/ampwell/ampwelld", 0755);
    expectOwnedByRootWithMode("/usr/lib/systemd/system/ampwelld.socket", 0644);
    expectOwnedByRootWithMode("/usr/lib/systemd/system/ampwelld.service", 0644);
    expectOwnedByRootWithMode("/usr/lib/ampwell/ampwell.sha256", 0644);
    expectOwnedByRootWithMode("/etc/ampwell/ampwelld.conf", 0644);
    expectOwnedByRootWithMode("/usr/bin/ampwell", 0755);
}

TEST(InstalledPackage, TheDigestTheDaemonReadsIsTheInstalledStrippedClients) {
    SKIP_UNLESS_INSTALLED();
    std::string recorded;
    std::ifstream("/usr/lib/ampwell/ampwell.sha256") >> recorded;
    EXPECT_EQ(recorded + "  /usr/bin/ampwell\n", commandOutput("sha256sum /usr/bin/ampwell"));
    // Stripped: the symbol table is gone, so the digest above is of the final bytes.
    EXPECT_EQ(commandOutput("readelf -S /usr/bin/ampwell | grep -c '[.]symtab'"), "0\n");
}

}  // namespace
}  // namespace ampwell
