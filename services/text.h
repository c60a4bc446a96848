// Text helpers on UTF-8 texts (std::string, no zero bytes), working on bytes:
// "|", "\\", "=" and A-Z never occur inside a multi-byte character, so fields,
// counts and case rules hold. Positions, counts and field numbers are in
// bytes and count from 1. None of them fails.
#pragma once

#include <cstdint>
#include <string>

namespace brindorel {

std::string TextField(const std::string& text, std::int32_t field, const std::string& separator);
std::int32_t CountOccurrences(const std::string& text, const std::string& searched);
std::string ReplaceAll(const std::string& text, const std::string& searched, const std::string& replacement);
std::string RemoveAll(const std::string& text, const std::string& searched);
std::string LeftPart(const std::string& text, std::int32_t count);
std::string RightPart(const std::string& text, std::int32_t count);
std::string MiddlePart(const std::string& text, std::int32_t start, std::int32_t count);
std::string TrimSpaces(const std::string& text);
// a-z raised to A-Z; every other byte stays.
std::string UpperCase(const std::string& text);
std::int32_t TextToNumber(const std::string& text);
std::string NumberToText(std::int32_t number);
std::string UnsignedToText(std::uint32_t number);
std::string PathExtension(const std::string& path);
std::string PathFileName(const std::string& path);
std::string PathFolderPart(const std::string& path);

// Case folding that joins only A-Z with a-z (INI names, list sorting).
bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b);

}  // namespace brindorel
