#pragma once
// The readable text form of a window layout and its conversion to the binary
// form stream the program embeds.

#include <cstdint>
#include <string>
#include <vector>

namespace form_text {

struct Value {
  enum class Kind { Integer, String, Ident, Boolean, Set, Nil };
  Kind Type = Kind::Nil;
  std::int64_t Integer = 0;
  bool Boolean = false;
  std::string Text;  // UTF-8 string, or the identifier
  std::vector<std::string> Elements;
};

struct Property {
  std::string Name;
  Value Val;
};

struct Object {
  std::string Name;
  std::string ClassName;
  std::vector<Property> Properties;
  std::vector<Object> Children;
};

// Parses "object Name: TClass ... end" text; throws std::runtime_error with
// the line number on a syntax error.
Object Parse(const std::string& AText);

// The binary stream: "TPF0" and the object record, strings in code page 950.
std::string ToBinary(const Object& ARoot);

}  // namespace form_text
