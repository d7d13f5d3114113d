// Escaping user text for CSV, TSV and XML. XML gets the most care: a reader refuses the whole
// document for one malformed byte, so UTF-8 is decoded strictly (no overlong forms, no
// surrogates, nothing past U+10FFFF) and whatever fails becomes U+FFFD.
#include "db/text_escape.h"

#include <cstdint>

namespace ucac2 {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::uint32_t kMaxCodePoint = 0x10FFFF;
constexpr std::uint32_t kFirstSurrogate = 0xD800;
constexpr std::uint32_t kLastSurrogate = 0xDFFF;
constexpr std::uint32_t kFirstNonCharacter = 0xFFFE;  // U+FFFE and U+FFFF are not XML
constexpr std::uint32_t kLastNonCharacter = 0xFFFF;
constexpr std::uint32_t kFirstPrintable = 0x20;
constexpr unsigned kContinuationMask = 0xC0;  // a continuation byte is 10xxxxxx
constexpr unsigned kContinuation = 0x80;

/// A UTF-8 lead byte's pattern: its mask, its value, the sequence's length and the smallest
/// code point that needs that length.
struct Lead {
  unsigned mask, value;
  std::size_t length;
  std::uint32_t smallest;
};
constexpr Lead kLeads[] = {
    {0x80, 0x00, 1, 0}, {0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};

// The length of the well-formed character at `text[i]`, its code point in `code`; 0 when
// the bytes are not UTF-8.
std::size_t Decode(std::string_view text, std::size_t i, std::uint32_t* code) {
  const auto byte = static_cast<unsigned char>(text[i]);
  for (const Lead& lead : kLeads) {
    if ((byte & lead.mask) != lead.value) continue;
    if (i + lead.length > text.size()) return 0;
    std::uint32_t value = byte & ~lead.mask & 0xFF;
    for (std::size_t k = 1; k < lead.length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & kContinuationMask) != kContinuation) return 0;
      value = value << 6 | (next & ~kContinuationMask & 0xFF);
    }
    const bool surrogate = value >= kFirstSurrogate && value <= kLastSurrogate;
    if (value < lead.smallest || value > kMaxCodePoint || surrogate) return 0;
    *code = value;
    return lead.length;
  }
  return 0;
}

}  // namespace

void AppendCsvText(std::string_view text, std::string& out) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(text);
    return;
  }
  out += '"';
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void AppendTsvText(std::string_view text, std::string& out) {
  for (const char c : text) out += c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
}

void AppendXmlText(std::string_view text, std::string& out) {
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t code = 0;
    const std::size_t length = Decode(text, i, &code);
    if (length == 0) {
      out += kReplacement;
      ++i;
      continue;
    }
    switch (code) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        if ((code < kFirstPrintable && code != '\t' && code != '\n' && code != '\r') ||
            code == kFirstNonCharacter || code == kLastNonCharacter) {
          out += kReplacement;
        } else {
          out.append(text.substr(i, length));
        }
    }
    i += length;
  }
}

}  // namespace ucac2
