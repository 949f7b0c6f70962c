// The writing side of an extraction: creates the folders and files of the entries a
// PieceQueue delivers, in order, and writes their log lines.
#pragma once

#include <sys/types.h>

#include <string>

#include "extract/OutputTree.h"
#include "extract/PieceQueue.h"
#include "extract/UniqueFd.h"

namespace extract {

class EntryWriter {
public:
    EntryWriter(OutputTree& tree, PieceQueue& queue) : m_tree(tree), m_queue(queue) {}

    // Handles pieces until Finish (kResultOk), a Fail piece (its result) or an output
    // failure (kResultFail, kResultMemory); on any failure it closes the queue so the
    // decoding side stops.
    int Run();

private:
    int Handle();
    int Begin(const Piece& piece);
    int Write(const Piece& piece);
    void Abandon();

    OutputTree& m_tree;
    PieceQueue& m_queue;
    // The file entry being written.
    std::string m_name;
    mode_t m_mode = 0;
    UniqueFd m_file;
    int m_parent = -1;
    std::string m_leaf;
};

}  // namespace extract
