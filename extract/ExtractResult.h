// Result codes of one extraction. The numbers are those the installer's extraction log has
// always printed ("ERROR #n"), so they stay fixed.
#pragma once

namespace extract {

enum ExtractResult : int {
    kResultOk = 0,
    kResultData = 1,         // corrupt compressed data
    kResultMemory = 2,       // "can not allocate memory"
    kResultCrc = 3,          // "CRC error"
    kResultUnsupported = 4,  // "decoder doesn't support this archive"
    kResultInputEof = 6,     // the archive ends too early
    kResultRead = 8,         // reading the archive failed
    kResultFail = 11,        // output file errors, unusable entry names
    kResultArchive = 16,     // corrupt archive database
    kResultNoArchive = 17,   // not a 7z archive
};

}  // namespace extract
