// UTF-16LE to UTF-8 and back, for reports from RegShot's Unicode builds.
#pragma once

#include <cstdint>

// Decodes `length` bytes of UTF-16LE, up to the first zero unit, into `text`
// as zero-terminated UTF-8 (room for three bytes a unit, and the zero), and
// sets `units` to the count of units decoded. False when the text cannot be
// carried exactly: a lone surrogate, or an odd last byte.
bool utf16_to_utf8(const char* bytes, std::uint32_t length, char* text, std::uint32_t& units);

// Encodes UTF-8 from `text` up to `end` as UTF-16LE into `bytes`, as much as
// fits in `capacity` bytes; advances `text` past what it encoded and returns
// the bytes written.
std::uint32_t utf8_to_utf16(const char*& text, const char* end, char* bytes, std::uint32_t capacity);
