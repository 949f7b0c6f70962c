// The output folder of an extraction, and the files and folders created inside it.
//
// Entry names are relative paths with '/' between levels; a backslash is an ordinary
// character. Every level is reached from the output folder through directory handles that
// never follow a symbolic link, so nothing an archive names, and no link already standing in
// the tree, leads outside the output folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "extract/UniqueFd.h"

namespace extract {

class OutputTree {
public:
    // Opens `folder`; Valid() is false when it is not an existing folder.
    explicit OutputTree(const std::string& folder);
    bool Valid() const { return m_root.Valid(); }

    // An absolute name, or one with a ".." level, would leave the output folder.
    static bool IsSafeName(std::string_view name);

    // Creates the folders of every level of `name` before its last '/', left to right
    // (mode 0755, failures ignored: existing folders are fine). Returns the handle of the
    // folder that holds the last level and sets `leaf` to that level's name, or returns -1
    // when a level is not a folder or is a symbolic link. The handle stays valid until the
    // next call.
    int MakeParents(std::string_view name, std::string_view& leaf);

    // A folder entry: its parents and the folder itself; failures are ignored.
    void MakeFolder(std::string_view name);

    // A file entry: creates the file for writing, replacing an existing file (its content
    // is truncated) or a symbolic link (the link itself, never its target). Returns an
    // invalid handle when the file cannot be created. `parent` and `leaf` name the file
    // until the next call, so that a file left incomplete can be removed.
    UniqueFd CreateFile(std::string_view name, int& parent, std::string_view& leaf);

private:
    struct Level {
        std::string name;
        UniqueFd fd;
    };
    UniqueFd m_root;
    // The folder chain of the previous entry, kept open: archives list the files of one
    // folder together, so most entries reuse all of it.
    std::vector<Level> m_chain;
};

}  // namespace extract
