#include "app/ClientLaunch.h"

#include "app/ClientShortcuts.h"
#include "platform/launcher.h"

std::string ClientExecutablePath(std::string_view installDir, std::string_view startName) {
    std::string path(installDir);
    path += '/';
    path += startName;
    return path;
}

void RecordAndLaunch(const ClientRecord& record) {
    WriteClientRecord(record);
    const std::string executable = ClientExecutablePath(record.installDir, record.startName);
    CreateClientShortcuts(executable);
    platform::StartDetached(executable);
}
