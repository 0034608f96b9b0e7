#pragma once

#include "core/catalog_tree.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vellumark::fuzz {

// A folder of this process for the files the targets write, made once and reused by every
// run (a fresh folder per run would cost more than the code under test).
const std::string& ScratchFolder();
// Writes the bytes to the file, replacing it; aborts when that fails, since no finding of a
// run without its input would mean anything.
void PutFile(const std::string& path, std::string_view bytes);
// The file's bytes; empty when it cannot be read.
std::string ReadWhole(const std::string& path);
// Removes a folder with everything in it, without following links.
void RemoveTree(const std::string& path);

// Takes a fuzz input apart: single bytes and texts of a one-byte length.
class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size)
    {
    }
    bool Empty() const { return rest_.empty(); }
    std::uint8_t Byte();
    std::string_view Text();
    std::string_view Rest();

private:
    std::string_view rest_;
};

// Every record of the tree in pre-order with its level and its eleven fields, one line each;
// two trees are equal when their dumps are.
std::string DumpTree(const CatalogTree& tree);
// The first line where two dumps differ, for the failure text.
std::string FirstDifference(const std::string& a, const std::string& b);

}  // namespace vellumark::fuzz
