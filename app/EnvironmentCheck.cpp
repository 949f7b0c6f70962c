#include "app/EnvironmentCheck.h"

#include <sys/stat.h>

#include <cstdio>
#include <thread>

#include "app/ClientLaunch.h"

namespace {

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool VersionsEqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool ClientFilePresent(std::string_view installDir, std::string_view startName) {
    const std::string path = ClientExecutablePath(installDir, startName);
    std::FILE* file = std::fopen(path.c_str(), "re");
    if (file == nullptr) {
        return false;
    }
    // A C stream opens a folder here too; a folder is no client executable.
    struct stat st {};
    const bool isFile = fstat(fileno(file), &st) == 0 && !S_ISDIR(st.st_mode);
    std::fclose(file);
    return isFile;
}

int DecideFromRecord(const std::optional<StoredClientRecord>& record,
                     const std::string& offeredVersion, std::string& installDir,
                     std::string& startName, std::string& installedVersion,
                     const std::function<bool()>& clientPresent) {
    if (!record) {
        return 3;
    }
    if (record->installDir) {
        installDir = *record->installDir;
    }
    if (record->startName) {
        startName = *record->startName;
    }
    if (!record->version) {
        return 3;
    }
    if (!clientPresent()) {
        return 3;
    }
    installedVersion = *record->version;
    return VersionsEqualIgnoringCase(offeredVersion, installedVersion) ? 2 : 5;
}

void WaitUntilElapsed(std::chrono::steady_clock::time_point start,
                      std::chrono::milliseconds duration) {
    std::this_thread::sleep_until(start + duration);
}
