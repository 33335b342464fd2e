// File names and file access shared by the data and configuration readers
// and writers: the type after the first "." of the file's own name, the
// companion ".cfg", suggested save names, capped reads and safe writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvan {

// Index of the first "." in the file's own name (after the last "/"), or
// npos. A folder such as "~/my.project/" does not count.
std::size_t FirstDotOfName(std::string_view path);

// The path up to, not including, that first "."; empty when the name has none.
std::string NameBeforeFirstDot(std::string_view path);

// The text after that first ".", upper-cased; empty when there is none.
std::string TypeAfterFirstDot(std::string_view path);

// The configuration that goes with a data file: its name up to the first
// "." plus ".cfg".
std::string CompanionCfgName(std::string_view dataPath);

// Larger files are refused rather than read: no data or record file we
// read comes anywhere near this.
inline constexpr std::size_t MaxFileBytes = 16u * 1024u * 1024u;

enum class TReadStatus { Ok, Missing, CantOpen, TooLarge };

// Reads at most `limit` bytes from the start of the file. With
// `refuseLonger`, a file longer than `limit` gives TooLarge instead.
TReadStatus ReadFileBytes(const std::string& path, std::size_t limit, bool refuseLonger,
                          std::vector<uint8_t>& out);

// Writes the whole file to a temporary file in the same folder, flushes it
// to disk and renames it over `path`, so a crash or a full disk never
// leaves a half-written file where a good one stood. False (and `path`
// untouched) when any step fails.
bool WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes);

// How the loaders reach files; tests and fuzz targets substitute their own.
class TFileAccess {
  public:
    virtual ~TFileAccess() = default;
    virtual bool Exists(const std::string& path) const = 0;
    virtual TReadStatus Read(const std::string& path, std::size_t limit, bool refuseLonger,
                             std::vector<uint8_t>& out) const = 0;
};

// The real file system.
const TFileAccess& RealFiles();

} // namespace orvan
