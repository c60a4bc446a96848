#include "tools/pack/pack_package.h"

#include <algorithm>

#include "package/block_encoder.h"
#include "package/content_hash.h"
#include "tools/pack/pack_compress.h"

namespace brindorel::pack {

std::vector<std::uint8_t> BlockForm(const std::uint8_t* data, std::size_t size, int level) {
  std::vector<std::uint8_t> block = CompressBlock(data, size, level);
  // The decoder stops at the end code: a byte behind it changes nothing but
  // the stored size.
  if (block.size() == size) block.push_back(0);
  return block;
}

bool WritePackage(const std::vector<SourceEntry>& entries, int level, std::vector<std::uint8_t>& out,
                  std::string& error, void (*progress)(std::size_t, std::size_t, const std::string&),
                  unsigned jobs) {
  const std::uint64_t start = out.size();
  if (start > kFormatLimit) {
    error = "the executable in front of the package is larger than 4 GiB";
    return false;
  }
  // The checksum record goes first, between what stands before the package
  // and D; it is filled in once the table is known.
  const std::uint64_t recordSize = ChecksumRecordSize(entries.size() + 1);
  out.resize(static_cast<std::size_t>(start + recordSize));
  ChecksumRecord record;
  EntryList table;
  std::uint64_t offset = out.size();
  // Every block is made first, on all the threads asked for; the result is
  // the same whatever their number.
  std::vector<CompressInput> inputs;
  std::vector<std::size_t> blockOf(entries.size(), SIZE_MAX);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const SourceEntry& source = entries[i];
    if (source.data.size() > kFormatLimit) {
      error = source.name + ": larger than the format's 4 GiB limit";
      return false;
    }
    if (source.storeAsIs || source.data.empty()) continue;
    blockOf[i] = inputs.size();
    inputs.push_back({source.data.data(), source.data.size()});
  }
  if (progress != nullptr) progress(0, entries.size(), inputs.empty() ? "" : entries.front().name);
  std::vector<std::vector<std::uint8_t>> blocks = CompressBlocks(inputs, level, jobs);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const SourceEntry& source = entries[i];
    if (progress != nullptr) progress(i, entries.size(), source.name);
    std::vector<std::uint8_t> stored;
    if (blockOf[i] == SIZE_MAX) {
      stored = source.data;
    } else {
      stored = std::move(blocks[blockOf[i]]);
      // A block never comes out as long as its data (that would read as
      // stored bytes); the decoder ignores a byte behind the end code.
      if (stored.size() == source.data.size()) stored.push_back(0);
    }
    PackageEntry entry;
    entry.name = source.name;
    entry.type = source.type;
    entry.size = static_cast<std::uint32_t>(source.data.size());
    entry.storedSize = static_cast<std::uint32_t>(stored.size());
    entry.dataOffset = static_cast<std::uint32_t>(offset);
    entry.creationTime = source.creationTime;
    entry.lastWriteTime = source.lastWriteTime;
    table.push_back(entry);
    // A nested package stored as it is gets no hash of its own: the
    // installer checks it entry by entry when it installs it.
    record.entryHashes.push_back(source.storeAsIs || source.data.empty()
                                     ? 0
                                     : HashBytes(source.data.data(), source.data.size()));
    out.insert(out.end(), stored.begin(), stored.end());
    offset += stored.size();
    if (offset > kFormatLimit) {
      error = "the package passes the format's 4 GiB limit at " + source.name;
      return false;
    }
  }
  if (progress != nullptr) progress(entries.size(), entries.size(), "");
  PackageEntry named;
  named.name = kChecksumsEntryName;
  named.type = kEntryChecksums;
  named.size = static_cast<std::uint32_t>(recordSize);
  named.dataOffset = static_cast<std::uint32_t>(start);
  table.push_back(named);
  record.entryHashes.push_back(0);
  std::vector<std::uint8_t> tableBytes = SerializeEntryTable(table);
  record.tableHash = HashBytes(tableBytes.data(), tableBytes.size());
  const std::vector<std::uint8_t> recordBytes = SerializeChecksumRecord(record);
  std::copy(recordBytes.begin(), recordBytes.end(), out.begin() + static_cast<std::ptrdiff_t>(start));
  std::vector<std::uint8_t> storedTable = BlockForm(tableBytes.data(), tableBytes.size(), level);
  if (tableBytes.size() > kFormatLimit - 8 || offset + storedTable.size() + kTrailerSize > kFormatLimit) {
    error = "the package's entry table passes the format's 4 GiB limit";
    return false;
  }
  out.insert(out.end(), storedTable.begin(), storedTable.end());
  PackageTrailer trailer;
  trailer.tableSize = static_cast<std::uint32_t>(tableBytes.size());
  trailer.tableStoredSize = static_cast<std::uint32_t>(storedTable.size());
  trailer.dataStart = static_cast<std::uint32_t>(start + recordSize);
  trailer.magic = kPackageMagic;
  auto trailerBytes = SerializeTrailer(trailer);
  out.insert(out.end(), trailerBytes.begin(), trailerBytes.end());
  return true;
}

bool HasSignature(const std::vector<std::uint8_t>& file) {
  std::uint64_t end = 0;
  return SignedImagePackageEnd(file.data(), file.size() < 4096 ? file.size() : 4096, file.size(), end);
}

bool FileSource::Open(const std::filesystem::path& path, std::string& error) {
  file_.open(path, std::ios::binary);
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!file_ || ec) {
    error = path.u8string() + ": cannot be read";
    return false;
  }
  size_ = size;
  return true;
}

bool FileSource::ReadAt(std::uint64_t position, std::uint8_t* out, std::size_t size) {
  if (position > size_ || size > size_ - position) return false;
  file_.clear();
  file_.seekg(static_cast<std::streamoff>(position));
  file_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
  return file_.good() && static_cast<std::size_t>(file_.gcount()) == size;
}

ReadResult ReadPackageFrom(PackageSource& source, bool keepData) {
  ReadResult result;
  PackageLayout layout;
  result.problemCode = OpenPackage(source, layout);
  result.trailer = layout.trailer;
  result.signedImage = layout.signedImage;
  result.tableStoredAsIs = layout.tableStoredAsIs;
  if (result.problemCode != PackageProblem::None) {
    result.problem = PackageProblemText(result.problemCode);
    return result;
  }
  result.found = true;
  ByteBuffer data;
  for (const LocatedEntry& located : layout.entries) {
    ReadEntry read;
    read.entry = located.entry;
    read.located = located;
    read.state = ReadEntryData(source, located, data);
    read.decoded = EntryUsable(read.state);
    if (keepData && read.decoded) read.data.assign(data.data(), data.data() + data.size());
    data.Release();
    result.entries.push_back(std::move(read));
  }
  return result;
}

ReadResult ReadPackageBytes(const std::vector<std::uint8_t>& file) {
  MemorySource source(file.data(), file.size());
  return ReadPackageFrom(source, true);
}

}  // namespace brindorel::pack
