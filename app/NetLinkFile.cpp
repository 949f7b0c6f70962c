#include "app/NetLinkFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/message_box.h"
#include "platform/resources.h"

bool WriteNetLinkData(const std::string& path, std::span<const std::uint8_t> data,
                      const std::function<void()>& onWriteFailure) {
    if (data.empty()) {
        return false;
    }
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = true;
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n =
            pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    // A file system may report a lost write only when the file is closed.
    ok = close(fd) == 0 && ok;
    if (!ok && onWriteFailure) {
        onWriteFailure();
    }
    return ok;
}

bool WriteNetLinkFile(const std::string& path) {
    const auto block = platform::FindResource("DATA", 152);
    if (!block) {
        return false;
    }
    return WriteNetLinkData(path, *block, [] { platform::ShowMessageBox(nullptr, "写入失败!"); });
}
