#include "extract/ExtractLog.h"

#include <archive.h>

#include <cstdio>
#include <string>

#include "extract/ExtractResult.h"

namespace extract {

void LogBanner() {
    std::string banner = "\nOrvik package extraction, 7z decoder: ";
    banner += archive_version_string();
    banner += " (7-Zip reader)\n\n";
    LogText(banner);
}

void LogText(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void LogError(std::string_view text) {
    LogText("\nERROR: ");
    LogText(text);
    LogText("\n");
}

void LogFlush() {
    std::fflush(stdout);
}

void LogResult(int result) {
    switch (result) {
        case kResultOk:
            LogText("\nEverything is Ok\n");
            break;
        case kResultMemory:
            LogError("can not allocate memory");
            break;
        case kResultCrc:
            LogError("CRC error");
            break;
        case kResultUnsupported:
            LogError("decoder doesn't support this archive");
            break;
        default:
            LogText("\nERROR #" + std::to_string(result) + "\n");
            break;
    }
    LogFlush();
}

}  // namespace extract
