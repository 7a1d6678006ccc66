// Reads the headers of Windows executables and checks that they are built hardened: ASLR
// (high-entropy on x64) with the relocations it needs, DEP, no section both writable and
// executable, imports only from Windows' own DLLs, and the stack protector linked in.
//
//   zan_pe_check FILE...     exit 0 all hold, 1 one does not, 77 a file is missing (not built)

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// DLLs the loader takes from the system folder whatever the program's folder holds (the known
// DLLs), API sets, and comctl32, which the manifest takes from the side-by-side store.
const char* const kSystemDlls[] = {"kernel32.dll", "user32.dll",  "gdi32.dll",   "advapi32.dll",
                                   "shell32.dll",  "ole32.dll",   "oleaut32.dll", "msvcrt.dll",
                                   "comdlg32.dll", "shlwapi.dll", "shcore.dll",  "psapi.dll",
                                   "imm32.dll",    "ws2_32.dll",  "rpcrt4.dll",  "combase.dll",
                                   "sechost.dll",  "comctl32.dll"};

// What the toolchain's stack protector prints when it finds a smashed stack: its failure
// handler is linked in only when functions were compiled with the protector.
const char kStackProtector[] = "*** stack smashing detected ***";
const char kCommonControlsManifest[] = "Microsoft.Windows.Common-Controls";

constexpr std::uint16_t kDynamicBase = 0x0040, kHighEntropyVa = 0x0020, kNxCompat = 0x0100;
constexpr std::uint16_t kRelocsStripped = 0x0001;
constexpr std::uint32_t kMemExecute = 0x20000000, kMemWrite = 0x80000000;

class Image {
 public:
  explicit Image(std::vector<std::uint8_t> bytes) : b_(std::move(bytes)) {}

  bool Has(std::size_t offset, std::size_t size) const {
    return offset <= b_.size() && size <= b_.size() - offset;
  }
  std::uint32_t U16(std::size_t offset) const {
    return Has(offset, 2) ? b_[offset] | b_[offset + 1] << 8 : 0;
  }
  std::uint32_t U32(std::size_t offset) const {
    return Has(offset, 4) ? U16(offset) | U16(offset + 2) << 16 : 0;
  }
  std::string Text(std::size_t offset) const {
    std::string s;
    while (offset < b_.size() && b_[offset] && s.size() < 260) s += static_cast<char>(b_[offset++]);
    return s;
  }
  bool Contains(const std::string& text) const {
    return std::search(b_.begin(), b_.end(), text.begin(), text.end()) != b_.end();
  }

 private:
  std::vector<std::uint8_t> b_;
};

struct Section {
  std::string name;
  std::uint32_t rva, size, raw, raw_size, flags;
};

class Checker {
 public:
  Checker(const Image& image, const std::string& path) : img_(image), path_(path) {}

  bool Run() {
    const std::uint32_t pe = img_.U32(0x3C);
    if (img_.U16(0) != 0x5A4D || img_.U32(pe) != 0x00004550) return Fail("not a PE file");
    const std::size_t coff = pe + 4;
    const std::uint32_t sections = img_.U16(coff + 2);
    const std::uint32_t optional_size = img_.U16(coff + 16);
    const std::uint32_t characteristics = img_.U16(coff + 18);
    const std::size_t opt = coff + 20;
    const bool pe32plus = img_.U16(opt) == 0x20B;
    if (!pe32plus && img_.U16(opt) != 0x10B) return Fail("unknown optional header");
    const std::uint32_t dll_flags = img_.U16(opt + 70);
    const std::size_t dirs = opt + (pe32plus ? 112 : 96);
    const std::uint32_t dir_count = img_.U32(opt + (pe32plus ? 108 : 92));
    for (std::uint32_t i = 0; i < sections; ++i) {
      const std::size_t h = opt + optional_size + 40 * i;
      sections_.push_back({img_.Text(h).substr(0, 8), img_.U32(h + 12), img_.U32(h + 8),
                           img_.U32(h + 20), img_.U32(h + 16), img_.U32(h + 36)});
    }
    auto dir = [&](std::uint32_t index, std::uint32_t field) {
      return index < dir_count ? img_.U32(dirs + 8 * index + 4 * field) : 0;
    };

    report_ = pe32plus ? "PE32+" : "PE32";
    if (!(dll_flags & kDynamicBase)) Fail("no ASLR (DYNAMIC_BASE)");
    if ((characteristics & kRelocsStripped) || dir(5, 1) == 0) Fail("no relocations: ASLR cannot move it");
    if (pe32plus && !(dll_flags & kHighEntropyVa)) Fail("no high-entropy ASLR");
    if (!(dll_flags & kNxCompat)) Fail("no DEP (NX_COMPAT)");
    report_ += pe32plus ? ", high-entropy ASLR" : ", ASLR";
    report_ += ", DEP";
    for (const Section& s : sections_) {
      if ((s.flags & kMemWrite) && (s.flags & kMemExecute)) Fail("section " + s.name + " is writable and executable");
    }
    report_ += ", no writable code";

    std::vector<std::string> dlls = ImportedDlls(dir(1, 0), 20, 12);
    for (const std::string& dll : ImportedDlls(dir(13, 0), 32, 4)) dlls.push_back(dll);
    report_ += ", imports";
    for (const std::string& dll : dlls) {
      report_ += " " + dll;
      std::string lower = dll;
      std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
      const bool api_set = lower.rfind("api-ms-win-", 0) == 0;
      if (!api_set && std::find(std::begin(kSystemDlls), std::end(kSystemDlls), lower) == std::end(kSystemDlls)) {
        Fail("imports " + dll + ", which the loader may take from the program's folder");
      }
      if (lower == "comctl32.dll" && !img_.Contains(kCommonControlsManifest)) {
        Fail("imports comctl32.dll without the manifest that takes it from the side-by-side store");
      }
    }
    if (!img_.Contains(kStackProtector)) Fail("no stack protector (-fstack-protector-strong)");
    report_ += ", stack protector";
    std::printf("figure: hardening %s: %s\n", Shown().c_str(), ok_ ? report_.c_str() : "FAILED");
    return ok_;
  }

 private:
  std::size_t Offset(std::uint32_t rva) const {
    for (const Section& s : sections_) {
      if (rva >= s.rva && rva < s.rva + std::max(s.size, s.raw_size)) return s.raw + (rva - s.rva);
    }
    return static_cast<std::size_t>(-1);
  }
  // The DLL names of an import table of `entry`-byte descriptors, the name's RVA at `name_at`.
  std::vector<std::string> ImportedDlls(std::uint32_t table, std::size_t entry, std::size_t name_at) const {
    std::vector<std::string> dlls;
    if (!table) return dlls;
    for (std::size_t d = Offset(table); img_.Has(d, entry) && dlls.size() < 256; d += entry) {
      const std::uint32_t name = img_.U32(d + name_at);
      if (!name) break;
      dlls.push_back(img_.Text(Offset(name)));
    }
    return dlls;
  }
  // The path from the build folder on.
  std::string Shown() const {
    const std::size_t build = path_.rfind("/build/");
    return build == std::string::npos ? path_ : path_.substr(build + 7);
  }
  bool Fail(const std::string& what) {
    std::printf("%s: %s\n", Shown().c_str(), what.c_str());
    ok_ = false;
    return false;
  }

  const Image& img_;
  std::string path_;
  std::vector<Section> sections_;
  std::string report_;
  bool ok_ = true;
};

}  // namespace

int main(int argc, char** argv) {
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    if (!file) {
      std::printf("%s: not built (the test command builds every preset first)\n", argv[i]);
      return 77;
    }
    const Image image(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
    ok = Checker(image, argv[i]).Run() && ok;
  }
  return ok ? 0 : 1;
}
