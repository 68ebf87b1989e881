// Path splitting and the judgement of an opened entry, for the link-safe path code.
#include "app/system/link_checks.h"

namespace calorix {
namespace {

bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool UsableName(std::wstring_view name) {
  return !name.empty() && name != L"." && name != L".." &&
         name.find_first_of(L":/") == std::wstring_view::npos;
}

}  // namespace

std::optional<DrivePath> SplitDrivePath(std::wstring_view path) {
  if (path.size() < 3 || !IsDriveLetter(path[0]) || path[1] != L':' || path[2] != L'\\')
    return std::nullopt;
  DrivePath split{std::wstring(path.substr(0, 3)), {}};
  std::wstring_view rest = path.substr(3);
  if (!rest.empty() && rest.back() == L'\\') rest.remove_suffix(1);
  while (!rest.empty()) {
    const std::size_t end = rest.find(L'\\');
    const std::wstring_view name = rest.substr(0, end);
    if (!UsableName(name)) return std::nullopt;
    split.names.emplace_back(name);
    rest = end == std::wstring_view::npos ? std::wstring_view() : rest.substr(end + 1);
    if (end != std::wstring_view::npos && rest.empty()) return std::nullopt;  // doubled at the end
  }
  return split;
}

std::wstring JoinDrivePath(const DrivePath& path, std::size_t count) {
  std::wstring joined = path.root;
  for (std::size_t i = 0; i < count && i < path.names.size(); ++i) {
    if (i > 0) joined += L'\\';
    joined += path.names[i];
  }
  return joined;
}

std::wstring_view PlainFinalPath(std::wstring_view path) {
  constexpr std::wstring_view kVerbatim = L"\\\\?\\";
  if (path.substr(0, kVerbatim.size()) == kVerbatim) path.remove_prefix(kVerbatim.size());
  if (path.size() > 3 && path.back() == L'\\') path.remove_suffix(1);
  return path;
}

Opened Judge(const OpenedFacts& facts, std::wstring_view expected, bool file,
             bool (*same)(std::wstring_view, std::wstring_view)) {
  if (facts.path_attributes == kNoAttributes) return Opened::kUnreadable;
  if ((facts.path_attributes | facts.handle_attributes) & kAttributeReparsePoint) {
    if (facts.reparse_tag == kTagMountPoint) return Opened::kJunction;
    // Wine shows a Unix link by path without a tag; it is a symbolic link all the same.
    if (facts.reparse_tag == kTagSymbolicLink || facts.reparse_tag == 0)
      return Opened::kSymbolicLink;
    return Opened::kReparsePoint;
  }
  if (file && facts.link_count != 1) return Opened::kSeveralNames;
  if (!same(PlainFinalPath(facts.final_path), PlainFinalPath(expected))) return Opened::kElsewhere;
  return Opened::kItself;
}

const char* OpenedText(Opened opened) {
  switch (opened) {
    case Opened::kItself:
      return "";
    case Opened::kUnreadable:
      return "cannot be read";
    case Opened::kJunction:
      return "is a junction";
    case Opened::kSymbolicLink:
      return "is a link";
    case Opened::kReparsePoint:
      return "is a reparse point";
    case Opened::kSeveralNames:
      return "has more than one name";
    case Opened::kElsewhere:
      return "leads elsewhere";
  }
  return "";
}

}  // namespace calorix
