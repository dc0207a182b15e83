// A small zip writer for tests: builds archives in memory, including damaged ones (lying sizes,
// bad CRCs, mismatched local headers, comments, prepended and trailing bytes).
#pragma once

#include <stdlib.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace korva::test {

inline std::string Deflate(const std::string& data, int level = 6) {
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  std::string out(deflateBound(&zs, uLong(data.size())) + 16, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = uInt(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = uInt(out.size());
  int r = deflate(&zs, Z_FINISH);
  deflateEnd(&zs);
  if (r != Z_STREAM_END) throw std::runtime_error("deflate");
  out.resize(zs.total_out);
  return out;
}

inline std::uint32_t Crc32(const std::string& s) {
  return std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(s.data()), uInt(s.size())));
}

struct TZipMember {
  TZipMember(std::string name, std::string data, int method = 8)
      : Name(std::move(name)), Data(std::move(data)), Method(method) {}
  std::string Name;
  std::string Data;
  int Method = 8;  // 0 stored, 8 deflated; any other number stores the bytes under that number
  std::string Comment;
  std::string Extra;
  std::uint8_t Host = 3;
  std::uint8_t Version = 20;
  std::uint16_t Flags = 0;
  bool DataDescriptor = false;  // flag bit 3, zeros in the local header, descriptor after the data
  // Lies written into both headers (or only the central one).
  std::optional<std::uint32_t> Crc, CompSize, Size;
  std::optional<std::uint32_t> CentralSize;
  std::optional<std::string> LocalName;
  std::optional<std::uint16_t> LocalMethod;
  std::optional<std::uint32_t> LocalOffset;  // stored offset of the local header
  std::optional<std::string> RawData;        // the bytes written as member data, as they are
};

struct TZipOptions {
  std::string Prefix;       // bytes before the archive (offsets not adjusted, like a copied stub)
  bool AdjustOffsets = false;  // store offsets counted from the start of the file instead
  std::string Comment;      // archive comment
  std::string Trailing;     // bytes after the comment
  std::optional<std::uint16_t> CommentLength;
  std::optional<std::uint32_t> DirOffset, DirSize;
  std::optional<std::uint16_t> EntryCount;
  std::uint16_t Disk = 0, DirDisk = 0;
  std::string DirPadding;   // bytes between the last central header and the end record
};

class TBytes {
 public:
  std::string S;
  void U8(std::uint8_t v) { S.push_back(char(v)); }
  void U16(std::uint16_t v) {
    U8(std::uint8_t(v));
    U8(std::uint8_t(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(std::uint16_t(v));
    U16(std::uint16_t(v >> 16));
  }
  void Str(const std::string& s) { S += s; }
};

inline std::string BuildZip(const std::vector<TZipMember>& members, const TZipOptions& o = {}) {
  TBytes body;  // local headers and data
  TBytes dir;
  const std::uint32_t base = o.AdjustOffsets ? std::uint32_t(o.Prefix.size()) : 0;
  for (const TZipMember& m : members) {
    const std::string packed = m.RawData ? *m.RawData : m.Method == 8 ? Deflate(m.Data) : m.Data;
    const std::uint32_t crc = m.Crc.value_or(Crc32(m.Data));
    const std::uint32_t csize = m.CompSize.value_or(std::uint32_t(packed.size()));
    const std::uint32_t usize = m.Size.value_or(std::uint32_t(m.Data.size()));
    const std::uint16_t flags = std::uint16_t(m.Flags | (m.DataDescriptor ? 0x08 : 0));
    const std::uint32_t offset = m.LocalOffset.value_or(base + std::uint32_t(body.S.size()));
    const std::string localName = m.LocalName.value_or(m.Name);
    body.U32(0x04034B50);
    body.U16(m.Version);
    body.U16(flags);
    body.U16(m.LocalMethod.value_or(std::uint16_t(m.Method)));
    body.U32(0x21000000);  // 1996-08-00 00:00
    body.U32(m.DataDescriptor ? 0 : crc);
    body.U32(m.DataDescriptor ? 0 : csize);
    body.U32(m.DataDescriptor ? 0 : usize);
    body.U16(std::uint16_t(localName.size()));
    body.U16(std::uint16_t(m.Extra.size()));
    body.Str(localName);
    body.Str(m.Extra);
    body.Str(packed);
    if (m.DataDescriptor) {
      body.U32(0x08074B50);
      body.U32(crc);
      body.U32(csize);
      body.U32(usize);
    }
    dir.U32(0x02014B50);
    dir.U8(m.Version);
    dir.U8(m.Host);
    dir.U16(20);
    dir.U16(flags);
    dir.U16(std::uint16_t(m.Method));
    dir.U32(0x21000000);
    dir.U32(crc);
    dir.U32(csize);
    dir.U32(m.CentralSize.value_or(usize));
    dir.U16(std::uint16_t(m.Name.size()));
    dir.U16(std::uint16_t(m.Extra.size()));
    dir.U16(std::uint16_t(m.Comment.size()));
    dir.U16(0);
    dir.U16(0);
    dir.U32(m.Name.empty() || m.Name.back() != '/' ? 0x81A40000 : 0x41ED0010);
    dir.U32(offset);
    dir.Str(m.Name);
    dir.Str(m.Extra);
    dir.Str(m.Comment);
  }
  dir.Str(o.DirPadding);
  TBytes end;
  end.U32(0x06054B50);
  end.U16(o.Disk);
  end.U16(o.DirDisk);
  end.U16(o.EntryCount.value_or(std::uint16_t(members.size())));
  end.U16(o.EntryCount.value_or(std::uint16_t(members.size())));
  end.U32(o.DirSize.value_or(std::uint32_t(dir.S.size())));
  end.U32(o.DirOffset.value_or(base + std::uint32_t(body.S.size())));
  end.U16(o.CommentLength.value_or(std::uint16_t(o.Comment.size())));
  end.Str(o.Comment);
  return o.Prefix + body.S + dir.S + end.S + o.Trailing;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), std::streamsize(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path);
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class TTempDir {
 public:
  TTempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "korva-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
    FPath = tmpl + "/";
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& Path() const { return FPath; }
  std::string operator/(const std::string& name) const { return FPath + name; }
  std::string Write(const std::string& name, const std::string& bytes) const {
    WriteFile(FPath + name, bytes);
    return FPath + name;
  }

 private:
  std::string FPath;
};

// Text that compresses like an HTML page.
inline std::string HtmlLikeText(std::size_t size, unsigned seed = 1) {
  static const char* words[] = {"<p>", "the", "archive", "member", "</p>\n", "<a href=\"page.html\">", "link",
                                "</a>", "korva", "viewer", "table", "<td>", "</td>", "style", "class=\"x\"",
                                "width", "42", "documentation", "\n", "<br>"};
  std::string s;
  s.reserve(size + 32);
  std::uint32_t x = seed * 2654435761u + 1;
  while (s.size() < size) {
    x = x * 1664525u + 1013904223u;
    s += words[(x >> 16) % (sizeof(words) / sizeof(words[0]))];
    s += ' ';
  }
  s.resize(size);
  return s;
}

}  // namespace korva::test
