#include "platform/user_record.h"

#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/linux/xdg_dirs.h"

namespace platform {
namespace {

constexpr const char* kVendorFolder = "Orvik";
constexpr const char* kFileName = "RizurUR.conf";
constexpr const char* kGroup = "RizurUR";
constexpr const char* kTempPrefix = ".RizurUR.conf.tmp-";
// A record is a few hundred bytes; anything far larger is not one.
constexpr std::size_t kMaxFileSize = 1 << 20;

struct KeyFileDeleter {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFilePtr = std::unique_ptr<GKeyFile, KeyFileDeleter>;

struct GFreeDeleter {
    void operator()(void* p) const { g_free(p); }
};
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;

struct StrvDeleter {
    void operator()(gchar** v) const { g_strfreev(v); }
};

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

std::string FolderPath() {
    return xdg::ConfigHome() + "/" + kVendorFolder;
}

enum class Load { Ok, Missing, Corrupt, Unreadable };

// Reads the file the way both readers and writers see it.
Load LoadRecordFile(const std::string& path, GKeyFile* file, std::string* rawBytes) {
    Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        if (errno == ENOENT) {
            return Load::Missing;
        }
        return Load::Unreadable;
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return Load::Unreadable;  // a folder, a device or a pipe in the record's place
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxFileSize) {
        return Load::Corrupt;
    }
    std::string bytes;
    char buffer[8192];
    for (;;) {
        const ssize_t n = read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Load::Unreadable;
        }
        if (n == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > kMaxFileSize) {
            return Load::Corrupt;
        }
    }
    if (rawBytes != nullptr) {
        *rawBytes = bytes;
    }
    GError* error = nullptr;
    if (!g_key_file_load_from_data(
            file, bytes.data(), bytes.size(),
            static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS),
            &error)) {
        g_clear_error(&error);
        return Load::Corrupt;
    }
    return Load::Ok;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Writes `bytes` to `path` through a temporary file in the same folder: complete on disk
// before it takes the name, so a crash leaves the old file or the new one.
bool ReplaceFile(const std::string& folder, const std::string& path, const std::string& bytes,
                 std::optional<mode_t> mode) {
    std::string temp = folder + "/" + kTempPrefix + "XXXXXX";
    Fd fd(g_mkstemp_full(temp.data(), O_RDWR | O_CLOEXEC, 0644));
    if (fd.get() < 0) {
        return false;
    }
    bool ok = WriteAll(fd.get(), bytes.data(), bytes.size());
    if (ok && mode) {
        fchmod(fd.get(), *mode & 07777);
    }
    ok = ok && fsync(fd.get()) == 0;
    ok = close(fd.release()) == 0 && ok;
    ok = ok && rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    Fd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        fsync(dir.get());
    }
    return true;
}

// Temporary files of a writer that died before its rename; only called under the lock,
// when no other writer can be between its mkstemp and its rename.
void RemoveStaleTemporaries(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        if (std::strncmp(entry->d_name, kTempPrefix, std::strlen(kTempPrefix)) == 0) {
            unlinkat(dirfd(dir), entry->d_name, 0);
        }
    }
    closedir(dir);
}

void KeepCorruptCopy(const std::string& folder, const std::string& path, const std::string& bytes) {
    const std::string copy = path + ".corrupt";
    unlink(copy.c_str());
    if (link(path.c_str(), copy.c_str()) == 0) {
        return;
    }
    if (!bytes.empty()) {
        ReplaceFile(folder, copy, bytes, std::nullopt);
    }
}

// GLib keeps a value's raw text as it stood in the file and writes it back unchanged, but a
// carriage return that ends it would then end its line and be dropped as part of a CRLF on
// the next read. Such values are stored again through the escaping setter, which writes the
// character as a backslash and an r; values that do not read as text stay as they are (they
// read as missing before and after).
void EscapeTrailingCarriageReturns(GKeyFile* file) {
    std::unique_ptr<gchar*, StrvDeleter> groups(g_key_file_get_groups(file, nullptr));
    for (gchar** group = groups.get(); group != nullptr && *group != nullptr; ++group) {
        std::unique_ptr<gchar*, StrvDeleter> keys(
            g_key_file_get_keys(file, *group, nullptr, nullptr));
        for (gchar** key = keys.get(); key != nullptr && *key != nullptr; ++key) {
            GCharPtr raw(g_key_file_get_value(file, *group, *key, nullptr));
            const std::size_t length = raw != nullptr ? std::strlen(raw.get()) : 0;
            if (length == 0 || raw.get()[length - 1] != '\r') {
                continue;
            }
            GError* error = nullptr;
            GCharPtr text(g_key_file_get_string(file, *group, *key, &error));
            if (error != nullptr) {
                g_clear_error(&error);  // GLib returns the text even then, escapes kept raw
                continue;
            }
            g_key_file_set_string(file, *group, *key, text.get());
        }
    }
}

std::string ValidText(const std::string& text) {
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
        return text;
    }
    GCharPtr valid(g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
    return valid.get();
}

}  // namespace

std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = 1;
        if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
        } else if (lead >= 0xE0) {
            length = 3;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            length = 2;
        }
        if (length > 1 &&
            (i + length > utf8.size() ||
             !g_utf8_validate(utf8.data() + i, static_cast<gssize>(length), nullptr))) {
            length = 1;  // stray byte: one unit, as a replacement character would be
        }
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return units;
}

std::optional<std::string> RecordKey::ReadValue(std::string_view name) const {
    for (const auto& [key, value] : m_values) {
        if (key == name) {
            if (Utf16Length(value) > kMaxRecordValueUnits) {
                return std::nullopt;  // does not fit the reader's buffer
            }
            return value;
        }
    }
    return std::nullopt;
}

std::string RecordFilePath() {
    return FolderPath() + "/" + kFileName;
}

std::optional<RecordKey> OpenRecord() {
    KeyFilePtr file(g_key_file_new());
    if (LoadRecordFile(RecordFilePath(), file.get(), nullptr) != Load::Ok ||
        !g_key_file_has_group(file.get(), kGroup)) {
        return std::nullopt;
    }
    RecordKey key;
    std::unique_ptr<gchar*, StrvDeleter> names(
        g_key_file_get_keys(file.get(), kGroup, nullptr, nullptr));
    for (gchar** name = names.get(); name != nullptr && *name != nullptr; ++name) {
        GError* error = nullptr;
        GCharPtr value(g_key_file_get_string(file.get(), kGroup, *name, &error));
        if (error != nullptr) {
            g_clear_error(&error);  // not UTF-8 or a broken escape: reads as missing
            continue;
        }
        key.m_values.emplace_back(*name, value.get());
    }
    return key;
}

bool WriteRecord(std::span<const RecordValue> values) {
    const std::string folder = FolderPath();
    const std::string path = RecordFilePath();
    if (g_mkdir_with_parents(folder.c_str(), 0755) != 0) {
        return false;
    }
    // The lock file is never removed: removing it would let two writers lock different files.
    Fd lock(open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (lock.get() < 0) {
        return false;
    }
    while (flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    RemoveStaleTemporaries(folder);

    KeyFilePtr file(g_key_file_new());
    std::string oldBytes;
    std::optional<mode_t> mode;
    switch (LoadRecordFile(path, file.get(), &oldBytes)) {
        case Load::Ok:
            EscapeTrailingCarriageReturns(file.get());
            break;
        case Load::Missing:
            break;
        case Load::Corrupt:
            // Not a key file: nothing in it can be merged, but its bytes are kept.
            KeepCorruptCopy(folder, path, oldBytes);
            file.reset(g_key_file_new());
            break;
        case Load::Unreadable:
            return false;
    }
    if (struct stat st{}; stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode;  // a user who made the record private keeps it private
    }
    for (const auto& [name, value] : values) {
        g_key_file_set_string(file.get(), kGroup, name.c_str(), ValidText(value).c_str());
    }
    gsize length = 0;
    GCharPtr data(g_key_file_to_data(file.get(), &length, nullptr));
    if (data == nullptr) {
        return false;
    }
    return ReplaceFile(folder, path, std::string(data.get(), length), mode);
}

}  // namespace platform
