#include "tools/FormText.h"

#include <cctype>
#include <stdexcept>

#include "widgets/CodePage.h"
#include "widgets/FormStream.h"

namespace form_text {

namespace {

class Parser {
 public:
  explicit Parser(const std::string& AText) : FText(AText) {}

  Object ParseRoot() {
    Object root = ParseObject();
    SkipSpace();
    if (FPos != FText.size()) Fail("text after the last 'end'");
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& AMessage) const {
    throw std::runtime_error("line " + std::to_string(FLine) + ": " + AMessage);
  }
  void SkipSpace() {
    while (FPos < FText.size()) {
      const char c = FText[FPos];
      if (c == '\n') ++FLine;
      if (!std::isspace(static_cast<unsigned char>(c))) break;
      ++FPos;
    }
  }
  bool IsWordChar(char c) const {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
  }
  std::string Word() {
    SkipSpace();
    const std::size_t start = FPos;
    while (FPos < FText.size() && IsWordChar(FText[FPos])) ++FPos;
    if (start == FPos) Fail("a name was expected");
    return FText.substr(start, FPos - start);
  }
  void Expect(char c) {
    SkipSpace();
    if (FPos >= FText.size() || FText[FPos] != c) Fail(std::string("'") + c + "' was expected");
    ++FPos;
  }
  bool PeekWord(const char* AWord) {
    SkipSpace();
    const std::string w(AWord);
    return FText.compare(FPos, w.size(), w) == 0 &&
           (FPos + w.size() >= FText.size() || !IsWordChar(FText[FPos + w.size()]));
  }

  Object ParseObject() {
    if (Word() != "object") Fail("'object' was expected");
    Object object;
    object.Name = Word();
    Expect(':');
    object.ClassName = Word();
    for (;;) {
      if (PeekWord("end")) {
        Word();
        return object;
      }
      if (PeekWord("object")) {
        object.Children.push_back(ParseObject());
        continue;
      }
      Property property;
      property.Name = Word();
      Expect('=');
      property.Val = ParseValue();
      object.Properties.push_back(std::move(property));
    }
  }

  static void AppendUtf8(std::string& AOut, unsigned ACode) {
    if (ACode < 0x80) {
      AOut += static_cast<char>(ACode);
    } else if (ACode < 0x800) {
      AOut += static_cast<char>(0xC0 | (ACode >> 6));
      AOut += static_cast<char>(0x80 | (ACode & 0x3F));
    } else if (ACode < 0x10000) {
      AOut += static_cast<char>(0xE0 | (ACode >> 12));
      AOut += static_cast<char>(0x80 | ((ACode >> 6) & 0x3F));
      AOut += static_cast<char>(0x80 | (ACode & 0x3F));
    } else {
      AOut += static_cast<char>(0xF0 | (ACode >> 18));
      AOut += static_cast<char>(0x80 | ((ACode >> 12) & 0x3F));
      AOut += static_cast<char>(0x80 | ((ACode >> 6) & 0x3F));
      AOut += static_cast<char>(0x80 | (ACode & 0x3F));
    }
  }

  // 'quoted' pieces ('' is a quote) and #code characters, joined directly or
  // with '+' across lines.
  std::string ParseString() {
    std::string text;
    for (;;) {
      SkipSpace();
      if (FPos < FText.size() && FText[FPos] == '\'') {
        ++FPos;
        for (;;) {
          if (FPos >= FText.size() || FText[FPos] == '\n') Fail("unterminated string");
          if (FText[FPos] == '\'') {
            if (FPos + 1 < FText.size() && FText[FPos + 1] == '\'') {
              text += '\'';
              FPos += 2;
              continue;
            }
            ++FPos;
            break;
          }
          text += FText[FPos++];
        }
      } else if (FPos < FText.size() && FText[FPos] == '#') {
        ++FPos;
        const std::size_t start = FPos;
        while (FPos < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos]))) ++FPos;
        if (start == FPos || FPos - start > 7) Fail("a character code was expected after '#'");
        const unsigned code = static_cast<unsigned>(std::stoul(FText.substr(start, FPos - start)));
        if (code > 0x10FFFF) Fail("character code out of range");
        AppendUtf8(text, code);
      } else {
        Fail("a string was expected");
      }
      if (FPos < FText.size() && (FText[FPos] == '\'' || FText[FPos] == '#')) continue;
      SkipSpace();
      if (FPos < FText.size() && FText[FPos] == '+') {
        ++FPos;
        continue;
      }
      return text;
    }
  }

  Value ParseValue() {
    SkipSpace();
    if (FPos >= FText.size()) Fail("a value was expected");
    Value value;
    const char c = FText[FPos];
    if (c == '\'' || c == '#') {
      value.Type = Value::Kind::String;
      value.Text = ParseString();
    } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
      const std::size_t start = FPos++;
      while (FPos < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos]))) ++FPos;
      try {
        value.Integer = std::stoll(FText.substr(start, FPos - start));
      } catch (const std::exception&) {
        Fail("bad number");
      }
      value.Type = Value::Kind::Integer;
    } else if (c == '[') {
      ++FPos;
      value.Type = Value::Kind::Set;
      SkipSpace();
      if (FPos < FText.size() && FText[FPos] == ']') {
        ++FPos;
        return value;
      }
      for (;;) {
        value.Elements.push_back(Word());
        SkipSpace();
        if (FPos < FText.size() && FText[FPos] == ',') {
          ++FPos;
          continue;
        }
        Expect(']');
        return value;
      }
    } else {
      const std::string word = Word();
      if (word == "True" || word == "False") {
        value.Type = Value::Kind::Boolean;
        value.Boolean = word == "True";
      } else if (word == "nil") {
        value.Type = Value::Kind::Nil;
      } else {
        value.Type = Value::Kind::Ident;
        value.Text = word;
      }
    }
    return value;
  }

  const std::string& FText;
  std::size_t FPos = 0;
  int FLine = 1;
};

void ShortString(std::string& AOut, const std::string& AText) {
  if (AText.size() > 255) throw std::runtime_error("name too long: " + AText);
  AOut += static_cast<char>(AText.size());
  AOut += AText;
}

void Integer(std::string& AOut, std::int64_t AValue, TValueType AType, int ABytes) {
  AOut += static_cast<char>(AType);
  for (int i = 0; i < ABytes; ++i) AOut += static_cast<char>((AValue >> (8 * i)) & 0xFF);
}

void WriteValue(std::string& AOut, const Value& AValue) {
  switch (AValue.Type) {
    case Value::Kind::Integer: {
      const std::int64_t v = AValue.Integer;
      // The smallest that fits.
      if (v >= INT8_MIN && v <= INT8_MAX)
        Integer(AOut, v, vaInt8, 1);
      else if (v >= INT16_MIN && v <= INT16_MAX)
        Integer(AOut, v, vaInt16, 2);
      else if (v >= INT32_MIN && v <= INT32_MAX)
        Integer(AOut, v, vaInt32, 4);
      else
        Integer(AOut, v, vaInt64, 8);
      break;
    }
    case Value::Kind::String: {
      const std::string encoded = Utf8ToCp950(AValue.Text);
      if (encoded.size() <= 255) {
        AOut += static_cast<char>(vaString);
        ShortString(AOut, encoded);
      } else {
        Integer(AOut, static_cast<std::int64_t>(encoded.size()), vaLString, 4);
        AOut += encoded;
      }
      break;
    }
    case Value::Kind::Ident:
      AOut += static_cast<char>(vaIdent);
      ShortString(AOut, AValue.Text);
      break;
    case Value::Kind::Boolean:
      AOut += static_cast<char>(AValue.Boolean ? vaTrue : vaFalse);
      break;
    case Value::Kind::Set:
      AOut += static_cast<char>(vaSet);
      for (const std::string& e : AValue.Elements) ShortString(AOut, e);
      AOut += '\0';
      break;
    case Value::Kind::Nil:
      AOut += static_cast<char>(vaNil);
      break;
  }
}

void WriteObject(std::string& AOut, const Object& AObject) {
  ShortString(AOut, AObject.ClassName);
  ShortString(AOut, AObject.Name);
  for (const Property& p : AObject.Properties) {
    ShortString(AOut, p.Name);
    WriteValue(AOut, p.Val);
  }
  AOut += '\0';
  for (const Object& child : AObject.Children) WriteObject(AOut, child);
  AOut += '\0';
}

}  // namespace

Object Parse(const std::string& AText) { return Parser(AText).ParseRoot(); }

std::string ToBinary(const Object& ARoot) {
  std::string out = "TPF0";
  WriteObject(out, ARoot);
  return out;
}

}  // namespace form_text
