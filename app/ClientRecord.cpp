#include "app/ClientRecord.h"

#include <array>

#include "platform/user_record.h"

bool WriteClientRecord(const ClientRecord& record) {
    const std::array<platform::RecordValue, 3> values = {{
        {kRecordInstallDir, record.installDir},
        {kRecordStart, record.startName},
        {kRecordVersion, record.version},
    }};
    return platform::WriteRecord(values);
}

std::optional<StoredClientRecord> ReadClientRecord() {
    const std::optional<platform::RecordKey> key = platform::OpenRecord();
    if (!key) {
        return std::nullopt;
    }
    return StoredClientRecord{key->ReadValue(kRecordInstallDir), key->ReadValue(kRecordStart),
                              key->ReadValue(kRecordVersion)};
}
