#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vellumark::fuzz {

// The entry functions of the fuzz targets. Each takes one input, drives the code under test
// with it and checks the properties that must hold for any input. The result is empty when
// they hold, else what broke; the fuzz targets abort on it, the regression suite asserts it.
// A crash or a sanitizer report is a failure in both.

// Catalog loading: the reader over memory and over the file, the entry visitor against the
// loaded tree, the reader's byte copy (the XML export) and a save/load round trip.
std::string CatalogLoad(const std::uint8_t* data, std::size_t size);
// The search over one catalog file, and the matcher over the loaded records, against a plain
// reference of the matching rules; the first bytes hold the switches and the three patterns.
std::string CatalogSearch(const std::uint8_t* data, std::size_t size);
// The configuration file read through every typed view, then saved and read again.
std::string ConfigRead(const std::uint8_t* data, std::size_t size);
// Mask lists, item names and paths, library item resolution, the stored form, number and
// date parsing; the input is a list of texts.
std::string NameRules(const std::uint8_t* data, std::size_t size);

// The search index's segment files: segments built from the input's entries read back exactly,
// and any bytes (a damaged or foreign file) are refused or read without going out of bounds.
std::string IndexSegment(const std::uint8_t* data, std::size_t size);

using Entry = std::string (*)(const std::uint8_t*, std::size_t);

}  // namespace vellumark::fuzz
