// Character-set registry: the fixed table of single-byte character sets and its two lookups.
//
//   GetCharsetId(name)  name or alias -> charset id. Never fails: a name that matches nothing
//                       gives 0 (kCharsetIdUnknown), which is also the id of ISO-8859-1.
//   GetCharsetName(id)  charset id -> primary name. An id without a primary record (1000,
//                       negative ids, 60 to 99, above 104) gives the empty string.
//
// Names match when they have the same length and every UTF-16 code unit is equal after "A".."Z"
// are mapped to "a".."z"; nothing else is folded, trimmed or normalised. Both lookups are
// stateless, allocate nothing and may be called in any order.
//
// Ids 0 to 59 are written into statistics files, so each of them must keep naming the same
// character set for good: new sets may only be added after the last id, never inserted.

#ifndef KESTOANALYZER_CHARSET_CHARSET_REGISTRY_H_
#define KESTOANALYZER_CHARSET_CHARSET_REGISTRY_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

// Charset ids with a meaning beyond the table. The UTF ids and "auto" are recognised so that the
// option parser can refuse them by name; none of them can be learnt or detected.
inline constexpr int32_t kCharsetIdUnknown = 0;  // what a name that matches nothing resolves to
inline constexpr int32_t kCharsetIdIso88591 = 0;
inline constexpr int32_t kDefaultCharsetId = 14;        // ISO-8859-15
inline constexpr int32_t kSingleByteCharsetCount = 60;  // ids 0 to 59
inline constexpr int32_t kCharsetIdUtf8 = 100;
inline constexpr int32_t kCharsetIdUtf16 = 101;
inline constexpr int32_t kCharsetIdUtf16Be = 102;
inline constexpr int32_t kCharsetIdUtf32 = 103;
inline constexpr int32_t kCharsetIdUtf32Be = 104;
inline constexpr int32_t kCharsetIdAuto = 1000;

// Size of the name buffers callers format file names and report lines with; every name that
// GetCharsetName returns is far shorter.
inline constexpr std::size_t kCharsetNameBufferSize = 64;

// One record of the registry. A primary record carries the primary name and the description;
// an alias record carries another accepted name of the same id and an empty description.
// Both strings are NUL-terminated within their arrays.
struct CharsetEntry {
  char16_t Name[32];
  char16_t Description[48];
  int32_t Id;
  bool Primary;
};

// 187 named records followed by one terminator with an empty name; scans stop at the first empty
// name. Grouped by id in ascending order, each group's primary record first, then its aliases.
// Lookups take the first match in this order, which matters for the one name stored twice.
inline constexpr std::size_t kCharsetTableSize = 188;
extern const CharsetEntry CharsetTable[kCharsetTableSize];

// The id of the first UTF name, "auto" or table record that matches `name`, in that order;
// kCharsetIdUnknown (0) when nothing matches. `name` is compared as exactly the code units
// given, so an embedded NUL is an ordinary character that no stored name contains.
int32_t GetCharsetId(std::u16string_view name);

// The primary name of `id`: a view of static storage, valid for the whole run. For 100 to 104
// it is the lower-case "utf-8", "utf-16", "utf-16be", "utf-32" or "utf-32be"; for ids without a
// primary record it is empty. Alias names are never returned.
std::u16string_view GetCharsetName(int32_t id);

#endif  // KESTOANALYZER_CHARSET_CHARSET_REGISTRY_H_
